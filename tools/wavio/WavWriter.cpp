#include "wavio/WavWriter.h"

#include "wavio/LittleEndian.h"

#include <cmath>
#include <cstddef>
#include <limits>
#include <vector>

namespace halvane::wavio {
namespace {

constexpr std::uint16_t kFormatFloat = 3;
constexpr std::uint16_t kBitsPerSample = 32;
constexpr std::uint32_t kPeakVersion = 1;
// The window reads the data size as a signed 32-bit number, so stay below 2^31.
constexpr std::uint64_t kMaxDataBytes = std::numeric_limits<std::int32_t>::max() - 4096;

}  // namespace

WavWriteResult WriteFloatWav(std::ostream& out, std::uint32_t sampleRateHz, int channelCount,
                             std::span<const float> interleaved)
{
    if (channelCount <= 0 || channelCount > 0xFFFF) return {false, "the channel count must be 1 to 65535"};
    if (sampleRateHz == 0) return {false, "the sample rate must be above 0"};
    const auto channels = static_cast<std::size_t>(channelCount);
    if (interleaved.size() % channels != 0) return {false, "the samples are not a whole number of frames"};
    const std::size_t frameCount = interleaved.size() / channels;
    const std::uint64_t blockAlign = 4 * static_cast<std::uint64_t>(channels);
    const std::uint64_t dataBytes = frameCount * blockAlign;
    if (dataBytes > kMaxDataBytes || blockAlign > 0xFFFF || sampleRateHz * blockAlign > 0xFFFFFFFF)
        return {false, "the result would be too large for a WAV file"};

    std::vector<float> peakValue(channels, 0.0f);
    std::vector<std::uint32_t> peakFrame(channels, 0);
    for (std::size_t frame = 0; frame < frameCount; ++frame) {
        for (std::size_t c = 0; c < channels; ++c) {
            const float magnitude = std::fabs(interleaved[frame * channels + c]);
            if (magnitude > peakValue[c]) {  // false for NaN, so a NaN never becomes the peak
                peakValue[c] = magnitude;
                peakFrame[c] = static_cast<std::uint32_t>(frame);
            }
        }
    }

    const std::uint32_t peakBytes = 8 + 8 * static_cast<std::uint32_t>(channels);
    const std::uint64_t riffBytes = 4 + (8 + 16) + (8 + 4) + (8 + peakBytes) + 8 + dataBytes;

    std::string header;
    AppendFourCc(header, "RIFF");
    AppendU32Le(header, static_cast<std::uint32_t>(riffBytes));
    AppendFourCc(header, "WAVE");
    AppendFourCc(header, "fmt ");
    AppendU32Le(header, 16);
    AppendU16Le(header, kFormatFloat);
    AppendU16Le(header, static_cast<std::uint16_t>(channels));
    AppendU32Le(header, sampleRateHz);
    AppendU32Le(header, static_cast<std::uint32_t>(sampleRateHz * blockAlign));
    AppendU16Le(header, static_cast<std::uint16_t>(blockAlign));
    AppendU16Le(header, kBitsPerSample);
    AppendFourCc(header, "fact");
    AppendU32Le(header, 4);
    AppendU32Le(header, static_cast<std::uint32_t>(frameCount));
    AppendFourCc(header, "PEAK");
    AppendU32Le(header, peakBytes);
    AppendU32Le(header, kPeakVersion);
    AppendU32Le(header, 0);  // time stamp: left at 0 so equal samples give equal files
    for (std::size_t c = 0; c < channels; ++c) {
        AppendF32Le(header, peakValue[c]);
        AppendU32Le(header, peakFrame[c]);
    }
    AppendFourCc(header, "data");
    AppendU32Le(header, static_cast<std::uint32_t>(dataBytes));
    out.write(header.data(), static_cast<std::streamsize>(header.size()));

    // Samples go out in blocks so a long file does not need a second full copy in memory.
    std::string block;
    constexpr std::size_t kSamplesPerBlock = 16384;
    for (std::size_t start = 0; start < interleaved.size(); start += kSamplesPerBlock) {
        block.clear();
        const std::size_t end = std::min(interleaved.size(), start + kSamplesPerBlock);
        for (std::size_t i = start; i < end; ++i) AppendF32Le(block, interleaved[i]);
        out.write(block.data(), static_cast<std::streamsize>(block.size()));
    }
    out.flush();
    if (!out) return {false, "writing the file failed"};
    return {};
}

}  // namespace halvane::wavio
