// The converter's reader: files of every kind libsndfile reads come back exactly, in blocks
// and again after rewinding; what is not a readable regular file is refused with a reason.

#include "ConventionSignals.h"
#include "SoundFiles.h"
#include "convert/SoundFileReader.h"
#include "support/RunCommand.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace halvane::testing {
namespace {

namespace fs = std::filesystem;

using convert::SoundFileReader;

// 1000 frames, every sample a different multiple of 2^-23 (exact in 24 bits).
std::vector<double> DistinctSamples()
{
    std::vector<double> samples;
    for (int k = 0; k < 4000; ++k) samples.push_back(std::ldexp(((k * 7919) % 16777216) - 8388608, -23));
    return samples;
}

std::vector<double> ReadAllInBlocks(SoundFileReader& reader, std::size_t blockFrames)
{
    std::vector<double> all;
    std::vector<double> block(blockFrames * 4);
    while (const std::size_t got = reader.ReadFrames(block))
        all.insert(all.end(), block.begin(), block.begin() + got * 4);
    EXPECT_EQ(reader.Error(), "");
    return all;
}

TEST(WavReaderLayouts, ReadsInBlocksAndAgainAfterRewinding)
{
    ScratchFolder scratch("reader-blocks");
    const auto path = scratch.Path() / "ir.wav";
    const auto samples = DistinctSamples();
    ASSERT_EQ(WriteSoundFile(path, SF_FORMAT_WAV | SF_FORMAT_PCM_24, 4, 96000, samples), "");

    SoundFileReader reader;
    ASSERT_TRUE(reader.Open(path));
    EXPECT_EQ(reader.Info().channelCount, 4);
    EXPECT_EQ(reader.Info().sampleRateHz, 96000u);
    EXPECT_EQ(reader.Info().frameCount, 1000);
    EXPECT_EQ(reader.Info().formatName, "WAV (Microsoft), Signed 24 bit PCM");
    EXPECT_EQ(ReadAllInBlocks(reader, 300), samples);
    ASSERT_TRUE(reader.Rewind());
    EXPECT_EQ(ReadAllInBlocks(reader, 4096), samples);
    EXPECT_EQ(reader.Identity(), IdentityOfName(path.string()));
}

TEST(WavReaderLayouts, NamesTheFormatAndMarksBFormatFiles)
{
    struct Case {
        const char* name;
        int format;
        bool markBFormat;
        const char* formatName;
    };
    const std::vector<Case> cases = {
        {"B-format (.amb)", SF_FORMAT_WAVEX | SF_FORMAT_PCM_16, true, "WAVEX (Microsoft), Signed 16 bit PCM"},
        {"plain extensible", SF_FORMAT_WAVEX | SF_FORMAT_FLOAT, false, "WAVEX (Microsoft), 32 bit float"},
        {"RF64", SF_FORMAT_RF64 | SF_FORMAT_PCM_24, false, "RF64 (RIFF 64), Signed 24 bit PCM"},
        {"FLAC", SF_FORMAT_FLAC | SF_FORMAT_PCM_24, false, "FLAC (Free Lossless Audio Codec), Signed 24 bit PCM"},
        {"CAF", SF_FORMAT_CAF | SF_FORMAT_DOUBLE, false, "CAF (Apple Core Audio File), 64 bit float"},
    };
    ScratchFolder scratch("reader-formats");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto path = scratch.Path() / "ir";
        ASSERT_EQ(WriteSoundFile(path, c.format, 4, 48000, {0.5, -0.25, 0.125, -0.0625}, c.markBFormat), "");
        SoundFileReader reader;
        ASSERT_TRUE(reader.Open(path));
        EXPECT_EQ(reader.Info().formatName, c.formatName);
        EXPECT_EQ(reader.Info().markedAsBFormat, c.markBFormat);
        std::vector<double> frame(4);
        ASSERT_EQ(reader.ReadFrames(frame), 1u);
        EXPECT_EQ(frame, (std::vector<double>{0.5, -0.25, 0.125, -0.0625}));
    }
}

TEST(WavReaderHostile, RefusesWhatIsNotAReadableRegularFile)
{
    ScratchFolder scratch("reader-hostile");
    const std::string samples(16, '\1');
    struct Case {
        const char* name;
        std::string bytes;
    };
    const std::vector<Case> cases = {
        {"text", "just some text, not audio"},
        {"header cut short", RiffFile(Chunk("fmt ", FmtBody(kTagPcm, 4, 48000, 8, 16))).substr(0, 25)},
        {"no data chunk", RiffFile(Chunk("fmt ", FmtBody(kTagPcm, 4, 48000, 8, 16)))},
        {"no channels", RiffFile(Chunk("fmt ", FmtBody(kTagPcm, 0, 48000, 8, 16)) + Chunk("data", samples))},
        {"no sample rate", RiffFile(Chunk("fmt ", FmtBody(kTagPcm, 4, 0, 8, 16)) + Chunk("data", samples))},
        {"format chunk cut short", RiffFile(Chunk("fmt ", FmtBody(kTagPcm, 4, 48000, 8, 16).substr(0, 8)))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto path = scratch.Path() / "in.wav";
        std::ofstream(path, std::ios::binary) << c.bytes;
        SoundFileReader reader;
        const std::string failure = reader.Open(path).Message();
        EXPECT_EQ(failure.rfind("cannot be read as audio: ", 0), 0u) << failure;
    }
    struct NameCase {
        const char* name;
        fs::path path;
        const char* failure;
    };
    const std::vector<NameCase> names = {
        {"missing", scratch.Path() / "missing.wav", "does not exist"},
        {"folder", scratch.Path(), "is not a regular file (a folder, FIFO or device)"},
        {"device", "/dev/null", "is not a regular file (a folder, FIFO or device)"},
        {"empty", scratch.Path() / "empty.wav", "is empty (0 bytes): it holds no frames"},
    };
    std::ofstream(scratch.Path() / "empty.wav", std::ios::binary).flush();
    for (const auto& c : names) {
        SCOPED_TRACE(c.name);
        SoundFileReader reader;
        EXPECT_EQ(reader.Open(c.path).Message(), c.failure);
    }
}

}  // namespace
}  // namespace halvane::testing
