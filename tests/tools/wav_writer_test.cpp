// The float writer: the layout that the fixed-position reader and the chunk walker both open.

#include "WavBytes.h"
#include "wavio/WavReader.h"
#include "wavio/WavWriter.h"

#include <gtest/gtest.h>

#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

namespace halvane::testing {
namespace {

using wavio::ReadU32Le;
using wavio::ReadFourCc;

// Three frames whose channels all differ; the peaks sit in different frames per channel.
const std::vector<float> kThreeFrames{0.25f, -0.5f, 0.125f, 1.0f,  //
                                      -0.75f, 0.25f, -0.5f, 0.0f,  //
                                      0.5f, 0.5f, 0.25f, -0.25f};

std::string Written(const std::vector<float>& samples, std::uint32_t rateHz = 48000, int channels = 4)
{
    std::ostringstream out;
    const auto result = wavio::WriteFloatWav(out, rateHz, channels, samples);
    EXPECT_TRUE(result.ok) << result.message;
    return out.str();
}

TEST(WavWriter, PutsTheDataChunkHeaderAtByte97)
{
    const std::string file = Written(kThreeFrames);
    const auto bytes = AsBytes(file);
    ASSERT_EQ(file.size(), 104u + 12 * 4);
    // The positions a reader with fixed offsets uses (1-based): 1-4, 9-16, 23-24, 35-36, 97-104.
    EXPECT_EQ(file.substr(0, 4), "RIFF");
    EXPECT_EQ(*ReadU32Le(bytes, 4), file.size() - 8);
    EXPECT_EQ(file.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(*ReadU32Le(bytes, 16), 16u);
    EXPECT_EQ(*wavio::ReadU16Le(bytes, 20), 3u);      // IEEE float
    EXPECT_EQ(*wavio::ReadU16Le(bytes, 22), 4u);      // channels
    EXPECT_EQ(*ReadU32Le(bytes, 24), 48000u);
    EXPECT_EQ(*ReadU32Le(bytes, 28), 48000u * 16);
    EXPECT_EQ(*wavio::ReadU16Le(bytes, 32), 16u);     // block align
    EXPECT_EQ(*wavio::ReadU16Le(bytes, 34), 32u);     // bits
    EXPECT_EQ(*ReadFourCc(bytes, 36), "fact");
    EXPECT_EQ(*ReadU32Le(bytes, 44), 3u);             // frames
    EXPECT_EQ(*ReadFourCc(bytes, 48), "PEAK");
    EXPECT_EQ(*ReadU32Le(bytes, 52), 40u);
    EXPECT_EQ(*ReadU32Le(bytes, 56), 1u);             // version
    EXPECT_EQ(*ReadU32Le(bytes, 60), 0u);             // time stamp
    EXPECT_EQ(wavio::kFourChannelDataHeaderOffset, 96u);
    EXPECT_EQ(*ReadFourCc(bytes, 96), "data");
    EXPECT_EQ(*ReadU32Le(bytes, 100), 48u);
    EXPECT_EQ(std::bit_cast<float>(*ReadU32Le(bytes, 104)), 0.25f);
    EXPECT_EQ(std::bit_cast<float>(*ReadU32Le(bytes, 104 + 11 * 4)), -0.25f);
}

TEST(WavWriter, PeakChunkHoldsEachChannelsLargestMagnitudeAndItsFrame)
{
    const std::string file = Written(kThreeFrames);
    const auto bytes = AsBytes(file);
    const float peak[4] = {0.75f, 0.5f, 0.5f, 1.0f};
    const std::uint32_t frame[4] = {1, 0, 1, 0};
    for (int c = 0; c < 4; ++c) {
        SCOPED_TRACE("channel " + std::to_string(c));
        EXPECT_EQ(std::bit_cast<float>(*ReadU32Le(bytes, 64 + 8 * c)), peak[c]);
        EXPECT_EQ(*ReadU32Le(bytes, 68 + 8 * c), frame[c]);
    }
}

TEST(WavWriter, RoundTripsThroughTheReaderBitForBit)
{
    std::vector<float> samples = kThreeFrames;
    samples.push_back(-1.0f);
    samples.push_back(std::numeric_limits<float>::denorm_min());
    samples.push_back(-0.0f);
    samples.push_back(1e-30f);
    const std::string file = Written(samples);
    const auto result = wavio::ReadWav(AsBytes(file));
    ASSERT_EQ(result.status, wavio::WavReadStatus::Ok) << result.message;
    ASSERT_EQ(result.audio.samples.size(), samples.size());
    for (std::size_t i = 0; i < samples.size(); ++i)
        EXPECT_EQ(std::bit_cast<std::uint32_t>(static_cast<float>(result.audio.samples[i])),
                  std::bit_cast<std::uint32_t>(samples[i]))
            << "sample " << i;
}

TEST(WavWriter, EqualSamplesGiveEqualBytes)
{
    EXPECT_EQ(Written(kThreeFrames), Written(kThreeFrames));
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
        const auto result = wavio::WriteFloatWav(out, c.rateHz, c.channels, c.samples);
        EXPECT_FALSE(result.ok);
        EXPECT_FALSE(result.message.empty());
        EXPECT_TRUE(out.str().empty());
    }
}

// A stream that accepts a few bytes and then fails, like a full disk.
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
    const auto result = wavio::WriteFloatWav(out, 48000, 4, kThreeFrames);
    EXPECT_FALSE(result.ok);
}

}  // namespace
}  // namespace halvane::testing
