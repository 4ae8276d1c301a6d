#include "bformat/WavWriter.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <string_view>

namespace halvane {
namespace {

constexpr std::uint16_t kFormatFloat = 3;
constexpr std::uint16_t kBitsPerSample = 32;
constexpr std::uint32_t kPeakVersion = 1;
constexpr std::uint64_t kBytesPerSample = 4;

void AppendU16Le(std::string& out, std::uint16_t value)
{
    out.push_back(static_cast<char>(value & 0xFF));
    out.push_back(static_cast<char>(value >> 8));
}

void AppendU32Le(std::string& out, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

void AppendF32Le(std::string& out, float value) { AppendU32Le(out, std::bit_cast<std::uint32_t>(value)); }

void AppendFourCc(std::string& out, std::string_view id) { out.append(id.substr(0, 4)); }

// Each channel's largest magnitude and the first frame holding it, counted from frame
// firstFrame of the whole file.
void TrackPeaks(std::span<const float> interleaved, std::size_t channels, std::uint64_t firstFrame,
                std::vector<float>& peakValue, std::vector<std::uint32_t>& peakFrame)
{
    const std::size_t frames = interleaved.size() / channels;
    for (std::size_t frame = 0; frame < frames; ++frame) {
        for (std::size_t c = 0; c < channels; ++c) {
            const float magnitude = std::fabs(interleaved[frame * channels + c]);
            if (magnitude > peakValue[c]) {  // false for NaN, so a NaN never becomes the peak
                peakValue[c] = magnitude;
                peakFrame[c] = static_cast<std::uint32_t>(firstFrame + frame);
            }
        }
    }
}

// The whole header up to and including the data chunk's size; the caller checked the sizes.
std::string Header(std::uint32_t sampleRateHz, std::size_t channels, std::uint64_t frameCount,
                   const std::vector<float>& peakValue, const std::vector<std::uint32_t>& peakFrame)
{
    const std::uint64_t blockAlign = kBytesPerSample * channels;
    const std::uint64_t dataBytes = frameCount * blockAlign;
    const auto peakBytes = static_cast<std::uint32_t>(8 + 8 * channels);
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
    return header;
}

// Samples go out in blocks so that a long file never needs a second full copy in memory.
void WriteSamples(std::ostream& out, std::span<const float> interleaved, std::string& block)
{
    constexpr std::size_t kSamplesPerBlock = 16384;
    for (std::size_t start = 0; start < interleaved.size(); start += kSamplesPerBlock) {
        block.clear();
        const std::size_t end = std::min(interleaved.size(), start + kSamplesPerBlock);
        for (std::size_t i = start; i < end; ++i) AppendF32Le(block, interleaved[i]);
        out.write(block.data(), static_cast<std::streamsize>(block.size()));
    }
}

}  // namespace

WavWriteResult CheckFloatWav(std::uint32_t sampleRateHz, int channelCount, std::uint64_t frameCount)
{
    if (channelCount <= 0 || channelCount > 0xFFFF) return Failure{"the channel count must be 1 to 65535"};
    if (sampleRateHz == 0) return Failure{"the sample rate must be above 0"};
    const std::uint64_t blockAlign = kBytesPerSample * static_cast<std::uint64_t>(channelCount);
    if (blockAlign > 0xFFFF || sampleRateHz * blockAlign > 0xFFFFFFFF ||
        frameCount > kMaxFloatWavDataBytes / blockAlign)
        return Failure{"the result would be too large for a WAV file"};
    return {};
}

WavWriteResult WriteFloatWav(std::ostream& out, std::uint32_t sampleRateHz, int channelCount,
                             std::span<const float> interleaved)
{
    if (channelCount <= 0) return CheckFloatWav(sampleRateHz, channelCount, 0);
    const auto channels = static_cast<std::size_t>(channelCount);
    if (interleaved.size() % channels != 0) return Failure{"the samples are not a whole number of frames"};
    const std::size_t frameCount = interleaved.size() / channels;
    if (WavWriteResult check = CheckFloatWav(sampleRateHz, channelCount, frameCount); !check.Ok()) return check;

    std::vector<float> peakValue(channels, 0.0f);
    std::vector<std::uint32_t> peakFrame(channels, 0);
    TrackPeaks(interleaved, channels, 0, peakValue, peakFrame);
    const std::string header = Header(sampleRateHz, channels, frameCount, peakValue, peakFrame);
    out.write(header.data(), static_cast<std::streamsize>(header.size()));
    std::string block;
    WriteSamples(out, interleaved, block);
    out.flush();
    if (!out) return Failure{"writing the file failed"};
    return {};
}

FloatWavWriter::FloatWavWriter(std::ostream& out, std::uint32_t sampleRateHz, int channelCount)
    : m_out(out), m_sampleRateHz(sampleRateHz), m_channelCount(channelCount)
{
}

WavWriteResult FloatWavWriter::Fail(std::string message)
{
    m_status = Failure{std::move(message)};
    return m_status;
}

WavWriteResult FloatWavWriter::Begin()
{
    if (!m_status.Ok()) return m_status;
    if (m_begun) return Fail("the header was already written");
    if (WavWriteResult check = CheckFloatWav(m_sampleRateHz, m_channelCount, 0); !check.Ok())
        return Fail(check.Message());
    m_headerStart = m_out.tellp();
    if (m_headerStart == std::streampos(-1)) return Fail("the output cannot be rewound to complete its header");
    const auto channels = static_cast<std::size_t>(m_channelCount);
    m_peakValue.assign(channels, 0.0f);
    m_peakFrame.assign(channels, 0);
    const std::string header = Header(m_sampleRateHz, channels, 0, m_peakValue, m_peakFrame);
    m_out.write(header.data(), static_cast<std::streamsize>(header.size()));
    if (!m_out) return Fail("writing the file failed");
    m_begun = true;
    return m_status;
}

WavWriteResult FloatWavWriter::Write(std::span<const float> interleaved)
{
    if (!m_status.Ok()) return m_status;
    if (!m_begun) return Fail("frames were written before the header");
    const auto channels = static_cast<std::size_t>(m_channelCount);
    if (interleaved.size() % channels != 0) return Fail("the samples are not a whole number of frames");
    const std::uint64_t frames = interleaved.size() / channels;
    if (WavWriteResult check = CheckFloatWav(m_sampleRateHz, m_channelCount, m_frameCount + frames); !check.Ok())
        return Fail(check.Message());
    TrackPeaks(interleaved, channels, m_frameCount, m_peakValue, m_peakFrame);
    WriteSamples(m_out, interleaved, m_block);
    m_frameCount += frames;
    if (!m_out) return Fail("writing the file failed");
    return m_status;
}

WavWriteResult FloatWavWriter::Finish()
{
    if (!m_status.Ok()) return m_status;
    if (!m_begun) return Fail("the file was finished before its header was written");
    const std::string header =
        Header(m_sampleRateHz, static_cast<std::size_t>(m_channelCount), m_frameCount, m_peakValue, m_peakFrame);
    const std::streampos end = m_out.tellp();
    m_out.seekp(m_headerStart);
    m_out.write(header.data(), static_cast<std::streamsize>(header.size()));
    m_out.seekp(end);
    m_out.flush();
    if (!m_out) return Fail("completing the file's header failed");
    return m_status;
}

Result<FloatWavImage> FloatWavImage::Create(std::uint32_t sampleRateHz, int channelCount, std::uint64_t frameCount)
{
    if (WavWriteResult check = CheckFloatWav(sampleRateHz, channelCount, frameCount); !check.Ok())
        return Failure{check.Message()};
    return FloatWavImage(sampleRateHz, channelCount, frameCount);
}

FloatWavImage::FloatWavImage(std::uint32_t sampleRateHz, int channelCount, std::uint64_t frameCount)
    : m_sampleRateHz(sampleRateHz), m_channels(static_cast<std::size_t>(channelCount)), m_frameCount(frameCount),
      m_peakValue(m_channels, 0.0f), m_peakFrame(m_channels, 0)
{
    m_dataStart = Header(m_sampleRateHz, m_channels, m_frameCount, m_peakValue, m_peakFrame).size();
    m_bytes.resize(m_dataStart + static_cast<std::size_t>(frameCount * kBytesPerSample * m_channels));
}

void FloatWavImage::SetFrame(std::uint64_t frame, std::span<const float> samples)
{
    std::byte* at = m_bytes.data() + m_dataStart + frame * kBytesPerSample * m_channels;
    for (std::size_t c = 0; c < m_channels; ++c) {
        const std::uint32_t bits = std::bit_cast<std::uint32_t>(samples[c]);
        for (int i = 0; i < 4; ++i) at[4 * c + i] = static_cast<std::byte>((bits >> (8 * i)) & 0xFF);
        // The first frame holding the largest magnitude, whatever order the frames come in
        // (false for NaN, so a NaN never becomes the peak).
        const float magnitude = std::fabs(samples[c]);
        if (magnitude > m_peakValue[c] || (magnitude == m_peakValue[c] && magnitude > 0 && frame < m_peakFrame[c])) {
            m_peakValue[c] = magnitude;
            m_peakFrame[c] = static_cast<std::uint32_t>(frame);
        }
    }
}

std::vector<std::byte> FloatWavImage::TakeBytes()
{
    const std::string header = Header(m_sampleRateHz, m_channels, m_frameCount, m_peakValue, m_peakFrame);
    std::transform(header.begin(), header.end(), m_bytes.begin(), [](char c) { return static_cast<std::byte>(c); });
    return std::move(m_bytes);
}

}  // namespace halvane
