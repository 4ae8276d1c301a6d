#include <gtest/gtest.h>

#include "bformat/WavHeader.h"
#include "support/TestWav.h"

namespace halvane {
namespace {

using test::Frame4;
using test::Layout;
using test::MakeWav;
using test::WavFormat;

TEST(ReadWavHeader, FindsFormatAndDataInEveryLayout)
{
    const std::vector<Frame4> frames = {{1, 2, 3, 4}, {5, 6, 7, 8}};
    struct Row {
        const char* name;
        Layout layout;
        std::int64_t dataStart;
        bool walked;
    };
    for (const Row& row : {Row{"data header at byte 97", Layout::Data97, 105, true},
                           Row{"canonical 44-byte header", Layout::Canonical44, 45, true},
                           Row{"no RIFF frame: fixed positions", Layout::NotRiff, 105, false}}) {
        SCOPED_TRACE(row.name);
        WavFormat format;
        format.layout = row.layout;
        const auto bytes = MakeWav(frames, format);
        const WavHeader h = ReadWavHeader(bytes);
        EXPECT_EQ(h.Channels, 4);
        EXPECT_EQ(h.SampleRate, 48000);
        EXPECT_EQ(h.BlockAlign, 16);
        EXPECT_EQ(h.BitsPerSample, 32);
        EXPECT_EQ(h.DataSize, 32);
        EXPECT_EQ(h.DataStart, row.dataStart);
        EXPECT_EQ(h.ChunkListWalked, row.walked);
        const Frame f = ReadFrame(bytes, FramePosition(h, 0, 1) - h.BlockAlign, 32);
        EXPECT_EQ(f.W, 1);
        EXPECT_EQ(f.X, 4);
    }
}

TEST(ReadWavHeader, WalksOddSizedChunksAndChunksAfterTheData)
{
    // RIFF, an odd-sized "LIST" chunk (padded), fmt, data: the walk must skip the pad byte.
    auto bytes = MakeWav({{7, 0, 0, 0}}, {.layout = Layout::Canonical44});
    std::vector<std::byte> list = {std::byte('L'), std::byte('I'), std::byte('S'), std::byte('T'),
                                   std::byte(3),   std::byte(0),   std::byte(0),   std::byte(0),
                                   std::byte('a'), std::byte('b'), std::byte('c'), std::byte(0)};
    bytes.insert(bytes.begin() + 12, list.begin(), list.end());
    const WavHeader h = ReadWavHeader(bytes);
    EXPECT_TRUE(h.ChunkListWalked);
    EXPECT_EQ(h.DataStart, 45 + 12);
    EXPECT_EQ(ReadFrame(bytes, h.DataStart, 32).W, 7);
}

TEST(ReadWavHeader, ShortFilesReadZerosPastTheirEnd)
{
    const auto full = MakeWav({{1, 1, 1, 1}});
    for (std::size_t length : {0, 3, 20, 35, 36, 50, 103, 104}) {
        SCOPED_TRACE(length);
        const std::vector<std::byte> shortFile(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(length));
        const WavHeader h = ReadWavHeader(shortFile);
        if (length < 24) {
            EXPECT_EQ(h.Channels, 0);
        }
        if (length < 35) {
            EXPECT_EQ(h.BitsPerSample, 0);
        }
        if (length <= 100) {
            EXPECT_EQ(h.DataSize, 0);
        }
        EXPECT_EQ(ReadFrame(shortFile, 200, 32).W, 0);
    }
}

TEST(TestWavHeader, RejectsChannelsFirstThenBits)
{
    struct Row {
        const char* name;
        int channels;
        int bits;
        const char* message;  // nullptr: accepted
    };
    const Row rows[] = {
        {"stereo 16-bit", 2, 16, kNotFourChannelsMessage},
        {"six channels 32-bit", 6, 32, kNotFourChannelsMessage},
        {"stereo 24-bit: channels tested first", 2, 24, kNotFourChannelsMessage},
        {"four channels 24-bit", 4, 24, kNotSixteenOrThirtyTwoBitsMessage},
        {"four channels 8-bit", 4, 8, kNotSixteenOrThirtyTwoBitsMessage},
        {"four channels 16-bit", 4, 16, nullptr},
        {"four channels 32-bit", 4, 32, nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        WavHeader h;
        h.Channels = static_cast<std::int16_t>(row.channels);
        h.BitsPerSample = static_cast<std::int16_t>(row.bits);
        const auto verdict = TestWavHeader(h);
        if (row.message == nullptr)
            EXPECT_FALSE(verdict.has_value());
        else
            EXPECT_EQ(verdict.value_or("accepted"), row.message);
    }
}

TEST(FrameCount, SubtractsEightAndRoundsHalfToEven)
{
    WavHeader h;
    h.BlockAlign = 8;
    h.DataSize = 8008;
    EXPECT_EQ(FrameCount(h), 1000);
    h.DataSize = 8012;  // 1000.5
    EXPECT_EQ(FrameCount(h), 1000);
    h.DataSize = 8020;  // 1001.5
    EXPECT_EQ(FrameCount(h), 1002);
    h.DataSize = 384008;
    EXPECT_EQ(FrameCount(h), 48000);
    h.BlockAlign = 1;
    h.DataSize = INT32_MIN;  // below the 32-bit range once 8 is subtracted
    EXPECT_EQ(FrameCount(h), static_cast<std::int64_t>(INT32_MIN) - 8);
}

TEST(FramePosition, WindowsOf48kHzAnd5msCoverOffsets1To240And241To480)
{
    WavHeader h;
    h.BlockAlign = 8;
    h.DataStart = 105;
    const double spw = 48000 * 5.0 / 1000;
    auto offsetOf = [&](double window, std::int64_t k) {
        return (FramePosition(h, WindowStartFrame(window, spw), k) - 105) / 8;
    };
    EXPECT_EQ(offsetOf(0, 1), 1);
    EXPECT_EQ(offsetOf(0, 240), 240);
    EXPECT_EQ(offsetOf(1, 1), 241);
    EXPECT_EQ(offsetOf(1, 240), 480);
    EXPECT_EQ(offsetOf(10.0 / 5, 1), 481);  // SkipMs 10: FirstWindow 2
}

TEST(FramePosition, FractionalWindowStartsRoundOnceToWholeFrames)
{
    // 44 100 samples per second and 5 ms: 220.5 samples per window. Every
    // window starts on a whole frame, so no read begins inside a frame.
    WavHeader h;
    h.BlockAlign = 16;
    h.DataStart = 105;
    EXPECT_EQ(WindowStartFrame(1, 220.5), 220);    // 220.5 -> even 220
    EXPECT_EQ(WindowStartFrame(3, 220.5), 662);    // 661.5 -> even 662
    EXPECT_EQ(WindowStartFrame(2.4, 220.5), 529);  // a fractional FirstWindow
    for (double w : {0.0, 1.0, 2.4, 3.0, 7.0}) {
        const std::int64_t start = WindowStartFrame(w, 220.5);
        EXPECT_EQ((FramePosition(h, start, 1) - 105) % 16, 0) << w;
    }
}

TEST(ReadFrame, DecodesInTheAmbixOrderAndZerosOutsideTheImage)
{
    WavFormat format16;
    format16.bits = 16;
    const auto bytes16 = MakeWav({{-32768, 32767, -1, 2}}, format16);
    const WavHeader h16 = ReadWavHeader(bytes16);
    const Frame f = ReadFrame(bytes16, h16.DataStart, 16);
    EXPECT_EQ(f.W, -32768);
    EXPECT_EQ(f.Y, 32767);
    EXPECT_EQ(f.Z, -1);
    EXPECT_EQ(f.X, 2);

    const auto bytes32 = MakeWav({{1.0, -1.0, 0.25, -0.5}});
    const Frame g = ReadFrame(bytes32, 105, 32);
    EXPECT_EQ(g.W, 1.0);
    EXPECT_EQ(g.Y, -1.0);
    EXPECT_EQ(g.Z, 0.25);
    EXPECT_EQ(g.X, -0.5);
    // A frame straddling the end keeps the bytes there and reads zeros after them.
    const Frame tail = ReadFrame(bytes32, static_cast<std::int64_t>(bytes32.size()) - 7, 32);
    EXPECT_EQ(tail.Z, 0);
    EXPECT_EQ(tail.X, 0);
    const Frame before = ReadFrame(bytes32, -1000, 32);
    EXPECT_EQ(before.W, 0);
}

TEST(ReadFrame, ThirtyTwoBitIntegerSamplesAreDecodedAsFloats)
{
    std::vector<std::byte> bytes(200, std::byte(0));
    const std::uint32_t oneAsFloatBits = 0x3F800000;  // an integer sample of 1065353216
    std::memcpy(bytes.data() + 104, &oneAsFloatBits, 4);
    EXPECT_EQ(ReadFrame(bytes, 105, 32).W, 1.0);
}

}  // namespace
}  // namespace halvane
