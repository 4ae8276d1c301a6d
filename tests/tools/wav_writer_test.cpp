// The float writer: the layout that the fixed-position reader and the chunk walker both open,
// written at once or in blocks.

#include "ConventionSignals.h"
#include "SoundFiles.h"
#include "bformat/ByteReader.h"
#include "bformat/WavWriter.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <functional>
#include <limits>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

namespace halvane::testing {
namespace {

// Three frames whose channels all differ; the peaks sit in different frames per channel.
const std::vector<float> kThreeFrames{0.25f,  -0.5f, 0.125f, 1.0f,  //
                                      -0.75f, 0.25f, -0.5f,  0.0f,  //
                                      0.5f,   0.5f,  0.25f,  -0.25f};

std::string Written(const std::vector<float>& samples, std::uint32_t rateHz = 48000, int channels = 4)
{
    std::ostringstream out;
    const auto result = WriteFloatWav(out, rateHz, channels, samples);
    EXPECT_TRUE(result.Ok()) << result.Message();
    return out.str();
}

// The same samples through the streaming form, in blocks of blockFrames frames.
std::string WrittenInBlocks(const std::vector<float>& samples, std::size_t blockFrames, int channels = 4)
{
    std::ostringstream out;
    FloatWavWriter writer(out, 48000, channels);
    EXPECT_TRUE(writer.Begin().Ok());
    const std::size_t step = blockFrames * static_cast<std::size_t>(channels);
    for (std::size_t at = 0; at < samples.size(); at += step)
        EXPECT_TRUE(
            writer.Write(std::span<const float>(samples).subspan(at, std::min(step, samples.size() - at))).Ok());
    EXPECT_TRUE(writer.Finish().Ok());
    return out.str();
}

TEST(WavWriter, PutsTheDataChunkHeaderAtByte97)
{
    const std::string file = Written(kThreeFrames);
    const auto bytes = AsBytes(file);
    ASSERT_EQ(file.size(), 104u + 12 * 4);
    // The positions a reader with fixed offsets uses (1-based): 1-4, 9-16, 23-24, 35-36, 97-104.
    EXPECT_EQ(file.substr(0, 4), "RIFF");
    EXPECT_EQ(ReadU32Le(bytes, 4), file.size() - 8);
    EXPECT_EQ(file.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(ReadU32Le(bytes, 16), 16u);
    EXPECT_EQ(ReadU16Le(bytes, 20), 3u);  // IEEE float
    EXPECT_EQ(ReadU16Le(bytes, 22), 4u);  // channels
    EXPECT_EQ(ReadU32Le(bytes, 24), 48000u);
    EXPECT_EQ(ReadU32Le(bytes, 28), 48000u * 16);
    EXPECT_EQ(ReadU16Le(bytes, 32), 16u);  // block align
    EXPECT_EQ(ReadU16Le(bytes, 34), 32u);  // bits
    EXPECT_EQ(ReadChars(bytes, 36, 4), "fact");
    EXPECT_EQ(ReadU32Le(bytes, 44), 3u);  // frames
    EXPECT_EQ(ReadChars(bytes, 48, 4), "PEAK");
    EXPECT_EQ(ReadU32Le(bytes, 52), 40u);
    EXPECT_EQ(ReadU32Le(bytes, 56), 1u);  // version
    EXPECT_EQ(ReadU32Le(bytes, 60), 0u);  // time stamp
    EXPECT_EQ(kFourChannelDataHeaderOffset, 96u);
    EXPECT_EQ(ReadChars(bytes, 96, 4), "data");
    EXPECT_EQ(ReadU32Le(bytes, 100), 48u);
    EXPECT_EQ(ReadF32Le(bytes, 104), 0.25f);
    EXPECT_EQ(ReadF32Le(bytes, 104 + 11 * 4), -0.25f);
}

TEST(WavWriter, PeakChunkHoldsEachChannelsLargestMagnitudeAndItsFrame)
{
    const std::string file = Written(kThreeFrames);
    const auto bytes = AsBytes(file);
    const float peak[4] = {0.75f, 0.5f, 0.5f, 1.0f};
    const std::uint32_t frame[4] = {1, 0, 1, 0};
    for (int c = 0; c < 4; ++c) {
        SCOPED_TRACE("channel " + std::to_string(c));
        EXPECT_EQ(ReadF32Le(bytes, 64 + 8 * c), peak[c]);
        EXPECT_EQ(ReadU32Le(bytes, 68 + 8 * c), frame[c]);
    }
}

TEST(WavWriter, RoundTripsThroughLibsndfileBitForBit)
{
    std::vector<float> samples = kThreeFrames;
    for (float v : {-1.0f, std::numeric_limits<float>::denorm_min(), -0.0f, 1e-30f}) samples.push_back(v);
    const SoundRead read = ReadSoundBytes(Written(samples));
    ASSERT_EQ(read.failure, "");
    EXPECT_EQ(read.info.channels, 4);
    EXPECT_EQ(read.info.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    ASSERT_EQ(read.samples.size(), samples.size());
    for (std::size_t i = 0; i < samples.size(); ++i)
        EXPECT_EQ(std::bit_cast<std::uint32_t>(read.samples[i]), std::bit_cast<std::uint32_t>(samples[i]))
            << "sample " << i;
}

TEST(WavWriter, BlocksGiveTheSameBytesAsOneWrite)
{
    // 1000 frames with a peak late in one channel and equal peaks (the first counts) in another.
    std::vector<float> samples;
    for (int k = 0; k < 4000; ++k) samples.push_back(static_cast<float>(std::sin(0.01 * k) * 0.5));
    samples[4 * 900 + 2] = -0.9f;
    samples[4 * 300 + 1] = 0.8f;
    samples[4 * 700 + 1] = -0.8f;
    const std::string whole = Written(samples);
    for (std::size_t block : {1u, 7u, 256u, 1000u, 5000u}) {
        SCOPED_TRACE("blocks of " + std::to_string(block));
        EXPECT_EQ(WrittenInBlocks(samples, block), whole);
    }
    EXPECT_EQ(WrittenInBlocks({}, 1), Written({}));
    EXPECT_EQ(Written(kThreeFrames), Written(kThreeFrames));
}

TEST(WavWriter, AnImageFilledInAnyOrderGivesTheSameBytesAsOneWrite)
{
    // Equal peaks in channel 1 (the first frame counts, whichever is set first), a NaN that
    // never becomes a peak, and a silent channel whose peak stays at frame 0.
    std::vector<float> samples;
    for (int k = 0; k < 4000; ++k) samples.push_back(static_cast<float>(std::sin(0.01 * k) * 0.5));
    samples[4 * 300 + 1] = 0.8f;
    samples[4 * 700 + 1] = -0.8f;
    samples[4 * 500 + 2] = std::numeric_limits<float>::quiet_NaN();
    for (int k = 0; k < 1000; ++k) samples[4 * k + 3] = 0.0f;
    const std::string whole = Written(samples);
    struct Order {
        const char* name;
        std::function<std::size_t(std::size_t)> frame;  // the k-th frame set
    };
    const std::vector<Order> orders = {
        {"first to last", [](std::size_t k) { return k; }},
        {"last to first", [](std::size_t k) { return 999 - k; }},
        {"odd frames first", [](std::size_t k) { return k < 500 ? 2 * k + 1 : 2 * (k - 500); }}};
    for (const Order& order : orders) {
        SCOPED_TRACE(order.name);
        auto image = FloatWavImage::Create(48000, 4, 1000);
        ASSERT_TRUE(image.Ok()) << image.Message();
        for (std::size_t k = 0; k < 1000; ++k) {
            const std::size_t f = order.frame(k);
            image->SetFrame(f, std::span<const float>(samples).subspan(4 * f, 4));
        }
        const std::vector<std::byte> bytes = image->TakeBytes();
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size()), whole);
    }
    EXPECT_FALSE(FloatWavImage::Create(0, 4, 10).Ok());
    EXPECT_FALSE(FloatWavImage::Create(48000, 4, kMaxFloatWavDataBytes / 16 + 1).Ok());
}

TEST(WavWriter, RefusesWhatCannotBeAFile)
{
    struct Case {
        const char* name;
        std::uint32_t rateHz;
        int channels;
        std::vector<float> samples;
    };
    const std::vector<Case> cases = {
        {"no channels", 48000, 0, {}},
        {"negative channels", 48000, -4, {}},
        {"zero sample rate", 0, 4, kThreeFrames},
        {"samples not whole frames", 48000, 4, {1.0f, 2.0f, 3.0f}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::ostringstream out;
        const auto result = WriteFloatWav(out, c.rateHz, c.channels, c.samples);
        EXPECT_FALSE(result.Ok());
        EXPECT_FALSE(result.Message().empty());
        EXPECT_TRUE(out.str().empty());
    }
    // The size limit, checked before anything is written.
    const std::uint64_t mostFrames = kMaxFloatWavDataBytes / 16;
    EXPECT_TRUE(CheckFloatWav(48000, 4, mostFrames).Ok());
    EXPECT_FALSE(CheckFloatWav(48000, 4, mostFrames + 1).Ok());
    EXPECT_FALSE(CheckFloatWav(48000, 70000, 1).Ok());

    std::ostringstream out;
    FloatWavWriter writer(out, 48000, 4);
    EXPECT_FALSE(writer.Write(kThreeFrames).Ok()) << "frames before the header";
    EXPECT_FALSE(writer.Begin().Ok()) << "a failure stays";
}

// A stream that accepts a few bytes and then fails, like a full disk; it cannot seek either.
class FullDisk : public std::streambuf {
protected:
    int_type overflow(int_type ch) override { return m_left-- > 0 ? ch : traits_type::eof(); }
    std::streamsize xsputn(const char*, std::streamsize n) override
    {
        const std::streamsize taken = std::min<std::streamsize>(n, m_left);
        m_left -= taken;
        return taken;
    }

private:
    std::streamsize m_left = 120;  // the header fits, the samples do not
};

TEST(WavWriter, ReportsAStreamThatFailsWhileWriting)
{
    FullDisk disk;
    std::ostream out(&disk);
    EXPECT_FALSE(WriteFloatWav(out, 48000, 4, kThreeFrames).Ok());

    FullDisk unseekable;
    std::ostream stream(&unseekable);
    FloatWavWriter writer(stream, 48000, 4);
    const auto begun = writer.Begin();
    EXPECT_FALSE(begun.Ok());
    EXPECT_NE(begun.Message().find("rewound"), std::string::npos) << begun.Message();
}

}  // namespace
}  // namespace halvane::testing
