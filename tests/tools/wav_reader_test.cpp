// The tools' WAV reader: the layouts real files come in, and hostile headers.

#include "WavBytes.h"
#include "wavio/WavReader.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

namespace halvane::testing {
namespace {

using wavio::ReadWav;
using wavio::WavReadStatus;

// Two frames of four channels with distinct values, so a shifted or misaligned read shows.
const std::vector<double> kTwoFrames{0.5, -0.25, 0.125, -0.0625, 0.75, 0.375, -0.5, 0.25};

std::string Pcm16Fmt() { return Chunk("fmt ", FmtBody(kTagPcm, 4, 48000, 8, 16)); }
std::string Pcm16Data() { return Chunk("data", EncodeSamples(Encoding::Pcm16, kTwoFrames)); }

struct LayoutCase {
    const char* name;
    std::string file;
    std::size_t frames;
    std::size_t warnings;
};

TEST(WavReaderLayouts, ReadsEveryLayoutToTheSameSamples)
{
    const std::string data = Pcm16Data();
    const std::string ds64 = Chunk("ds64", U64(0) + U64(16) + U64(2) + U32(0));
    const std::vector<LayoutCase> cases = {
        {"canonical 44-byte header", RiffFile(Pcm16Fmt() + data), 2, 0},
        {"data before fmt", RiffFile(data + Pcm16Fmt()), 2, 0},
        {"odd-sized chunk padded before fmt", RiffFile(Chunk("LIST", "abc") + Pcm16Fmt() + data), 2, 0},
        {"odd-sized chunk after data", RiffFile(Pcm16Fmt() + data + Chunk("junk", "x")), 2, 0},
        {"pad byte of a last odd chunk missing", RiffFile(Pcm16Fmt() + data + std::string("junk") + U32(1) + "x"), 2, 0},
        {"RIFF size wrong", [&] { auto f = RiffFile(Pcm16Fmt() + data); f.replace(4, 4, U32(0)); return f; }(), 2, 0},
        {"RF64 with ds64", RiffFile(ds64 + Pcm16Fmt() + Chunk("data", EncodeSamples(Encoding::Pcm16, kTwoFrames), 0xFFFFFFFF), "RF64"), 2, 0},
        {"data size past the end", RiffFile(Pcm16Fmt() + Chunk("data", EncodeSamples(Encoding::Pcm16, kTwoFrames), 0xFFFFFFF0)), 2, 1},
        {"incomplete last frame", RiffFile(Pcm16Fmt() + Chunk("data", EncodeSamples(Encoding::Pcm16, kTwoFrames) + "abcd")), 2, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto result = ReadWav(AsBytes(c.file));
        ASSERT_EQ(result.status, WavReadStatus::Ok) << result.message;
        EXPECT_EQ(result.audio.frameCount, c.frames);
        EXPECT_EQ(result.audio.warnings.size(), c.warnings);
        ASSERT_EQ(result.audio.samples.size(), kTwoFrames.size());
        for (std::size_t i = 0; i < kTwoFrames.size(); ++i) EXPECT_EQ(result.audio.samples[i], kTwoFrames[i]) << "sample " << i;
    }
}

struct EncodingCase {
    const char* name;
    std::string fmtBody;
    Encoding encoding;
};

TEST(WavReaderLayouts, DecodesEverySampleFormatIncludingItsExtremes)
{
    // Full-scale extremes and zero; integers hold -1 exactly and stop one step short of +1.
    const std::vector<double> extremes{-1.0, 0.0, 0.5, 1.0};
    const std::vector<EncodingCase> cases = {
        {"8-bit PCM", FmtBody(kTagPcm, 4, 44100, 4, 8), Encoding::Pcm8},
        {"16-bit PCM", FmtBody(kTagPcm, 4, 44100, 8, 16), Encoding::Pcm16},
        {"24-bit PCM", FmtBody(kTagPcm, 4, 44100, 12, 24), Encoding::Pcm24},
        {"32-bit PCM", FmtBody(kTagPcm, 4, 44100, 16, 32), Encoding::Pcm32},
        {"32-bit float", FmtBody(kTagFloat, 4, 44100, 16, 32), Encoding::Float32},
        {"64-bit float", FmtBody(kTagFloat, 4, 44100, 32, 64), Encoding::Float64},
        {"extensible 24-bit PCM", ExtensibleFmtBody(kTagPcm, 4, 44100, 24, 24), Encoding::Pcm24},
        {"extensible 24 valid bits in 32", ExtensibleFmtBody(kTagPcm, 4, 44100, 32, 24), Encoding::Pcm32},
        {"extensible 32-bit float", ExtensibleFmtBody(kTagFloat, 4, 44100, 32, 32), Encoding::Float32},
        {"float format chunk of 18 bytes", FmtBody(kTagFloat, 4, 44100, 16, 32) + U16(0), Encoding::Float32},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string file = RiffFile(Chunk("fmt ", c.fmtBody) + Chunk("data", EncodeSamples(c.encoding, extremes)));
        const auto result = ReadWav(AsBytes(file));
        ASSERT_EQ(result.status, WavReadStatus::Ok) << result.message;
        EXPECT_EQ(result.audio.format.sampleRateHz, 44100u);
        ASSERT_EQ(result.audio.samples.size(), 4u);
        const double step = StepOf(c.encoding);
        EXPECT_EQ(result.audio.samples[0], -1.0);
        EXPECT_EQ(result.audio.samples[1], 0.0);
        EXPECT_EQ(result.audio.samples[2], 0.5);
        EXPECT_EQ(result.audio.samples[3], 1.0 - step);
    }
}

TEST(WavReaderLayouts, MarksAmbisonicExtensibleFiles)
{
    std::string body = ExtensibleFmtBody(kTagPcm, 4, 48000, 16, 16);
    body.replace(body.size() - 14, 14, std::string("\x00\x00\x21\x07\xD3\x11\x86\x44\xC8\xC1\xCA\x00\x00\x00", 14));
    const auto result = ReadWav(AsBytes(RiffFile(Chunk("fmt ", body) + Pcm16Data())));
    ASSERT_EQ(result.status, WavReadStatus::Ok) << result.message;
    EXPECT_TRUE(result.audio.format.isAmbisonicBFormat);
    EXPECT_EQ(result.audio.samples[1], kTwoFrames[1]);
}

TEST(WavReaderLayouts, NonFiniteFloatSamplesAreKeptAndReported)
{
    const std::vector<double> odd{std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(), 0, 0};
    const auto result = ReadWav(AsBytes(RiffFile(Chunk("fmt ", FmtBody(kTagFloat, 4, 48000, 16, 32)) +
                                                  Chunk("data", EncodeSamples(Encoding::Float32, odd)))));
    ASSERT_EQ(result.status, WavReadStatus::Ok);
    EXPECT_TRUE(std::isnan(result.audio.samples[0]));
    EXPECT_TRUE(std::isinf(result.audio.samples[1]));
    ASSERT_EQ(result.audio.warnings.size(), 1u);
    EXPECT_NE(result.audio.warnings[0].find("2 samples"), std::string::npos);
}

struct HostileCase {
    const char* name;
    std::string file;
    WavReadStatus status;
};

TEST(WavReaderHostile, RejectsBrokenHeadersWithAReason)
{
    const std::string data = Pcm16Data();
    const std::vector<HostileCase> cases = {
        {"empty file", "", WavReadStatus::Truncated},
        {"11 bytes", std::string("RIFF\x10\0\0\0WAV", 11), WavReadStatus::Truncated},
        {"big-endian RIFX", RiffFile(Pcm16Fmt() + data, "RIFX"), WavReadStatus::NotWave},
        {"not WAVE", [&] { auto f = RiffFile(Pcm16Fmt() + data); f.replace(8, 4, "AVI "); return f; }(), WavReadStatus::NotWave},
        {"no fmt chunk", RiffFile(data), WavReadStatus::MissingFormat},
        {"no data chunk", RiffFile(Pcm16Fmt()), WavReadStatus::MissingData},
        {"header only", RiffFile(""), WavReadStatus::MissingFormat},
        {"file ends inside fmt", RiffFile(Pcm16Fmt()).substr(0, 30), WavReadStatus::Truncated},
        {"huge chunk hides fmt", RiffFile(Chunk("LIST", "", 0xFFFFFFFF) + Pcm16Fmt() + data), WavReadStatus::MissingFormat},
        {"fmt of 14 bytes", RiffFile(Chunk("fmt ", FmtBody(kTagPcm, 4, 48000, 8, 16).substr(0, 14)) + data), WavReadStatus::BadFormat},
        {"zero channels", RiffFile(Chunk("fmt ", FmtBody(kTagPcm, 0, 48000, 8, 16)) + data), WavReadStatus::BadFormat},
        {"zero sample rate", RiffFile(Chunk("fmt ", FmtBody(kTagPcm, 4, 0, 8, 16)) + data), WavReadStatus::BadFormat},
        {"zero block align", RiffFile(Chunk("fmt ", FmtBody(kTagPcm, 4, 48000, 0, 16)) + data), WavReadStatus::BadFormat},
        {"block align not four samples", RiffFile(Chunk("fmt ", FmtBody(kTagPcm, 4, 48000, 6, 16)) + data), WavReadStatus::BadFormat},
        {"12-bit PCM", RiffFile(Chunk("fmt ", FmtBody(kTagPcm, 4, 48000, 8, 12)) + data), WavReadStatus::UnsupportedFormat},
        {"16-bit float", RiffFile(Chunk("fmt ", FmtBody(kTagFloat, 4, 48000, 8, 16)) + data), WavReadStatus::UnsupportedFormat},
        {"ADPCM", RiffFile(Chunk("fmt ", FmtBody(2, 4, 48000, 8, 16)) + data), WavReadStatus::UnsupportedFormat},
        {"extensible too short", RiffFile(Chunk("fmt ", FmtBody(kTagExtensible, 4, 48000, 8, 16) + U16(0)) + data), WavReadStatus::BadFormat},
        {"extensible unknown sub-format", [&] {
             std::string body = ExtensibleFmtBody(kTagPcm, 4, 48000, 16, 16);
             body.back() = 'X';
             return RiffFile(Chunk("fmt ", body) + data);
         }(), WavReadStatus::UnsupportedFormat},
        {"extensible valid bits above container", RiffFile(Chunk("fmt ", ExtensibleFmtBody(kTagPcm, 4, 48000, 16, 24)) + data), WavReadStatus::BadFormat},
        {"RF64 without ds64", RiffFile(Pcm16Fmt() + Chunk("data", EncodeSamples(Encoding::Pcm16, kTwoFrames), 0xFFFFFFFF), "RF64"), WavReadStatus::BadFormat},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto result = ReadWav(AsBytes(c.file));
        EXPECT_EQ(result.status, c.status) << result.message;
        EXPECT_FALSE(result.message.empty());
        EXPECT_TRUE(result.audio.samples.empty());
    }
}

TEST(WavReaderHostile, HugeDeclaredSizesAllocateOnlyWhatTheFileHolds)
{
    const std::string samples = EncodeSamples(Encoding::Pcm16, kTwoFrames);
    const std::string ds64 = Chunk("ds64", U64(0) + U64(0x4000000000000000ULL) + U64(0) + U32(0));
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"RIFF data size 4 GiB", RiffFile(Pcm16Fmt() + Chunk("data", samples, 0xFFFFFFFE))},
        {"RF64 data size 2^62", RiffFile(ds64 + Pcm16Fmt() + Chunk("data", samples, 0xFFFFFFFF), "RF64")},
    };
    for (const auto& [name, file] : cases) {
        SCOPED_TRACE(name);
        const auto result = ReadWav(AsBytes(file));
        ASSERT_EQ(result.status, WavReadStatus::Ok) << result.message;
        EXPECT_EQ(result.audio.frameCount, 2u);
        EXPECT_EQ(result.audio.samples.size(), 8u);
        EXPECT_EQ(result.audio.warnings.size(), 1u);
    }
}

}  // namespace
}  // namespace halvane::testing
