#include "bformat/BFormatFrames.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <vector>

namespace halvane {

Result<BFormatFrames> BFormatFrames::Open(std::span<const std::byte> image)
{
    const WavHeader header = ReadWavHeader(image);
    if (auto rejection = TestWavHeader(header)) return Failure{*rejection};
    if (header.SampleRate <= 0) return Failure{"Sorry, this .WAV file gives no valid sample rate!"};
    const int sampleBytes = 4 * (header.BitsPerSample / 8);
    if (header.BlockAlign < sampleBytes) {
        return Failure{"Sorry, this .WAV file gives no valid frame size (BlockAlign)!"};
    }
    // The frames the header claims, as far as the file holds them.
    const std::int64_t claimed = std::max<std::int64_t>(0, (header.DataSize) / header.BlockAlign);
    const std::int64_t frames = std::min(claimed, FramesPresent(header, static_cast<std::int64_t>(image.size())));
    return BFormatFrames(image, header, static_cast<std::size_t>(std::max<std::int64_t>(0, frames)));
}

void BFormatFrames::Read(std::size_t first, std::size_t n, std::span<float> wyzx) const
{
    const std::byte* frame = m_image.data() + Offset(first);
    const auto stride = static_cast<std::size_t>(m_header.BlockAlign);
    auto byte = [](const std::byte* p, int i) { return std::to_integer<std::uint32_t>(p[i]); };
    if (m_header.BitsPerSample == 16) {
        for (std::size_t i = 0; i < n; ++i, frame += stride) {
            for (std::size_t c = 0; c < 4; ++c) {
                const std::byte* p = frame + 2 * c;
                const auto value =
                    static_cast<std::int16_t>(static_cast<std::uint16_t>(byte(p, 0) | (byte(p, 1) << 8)));
                wyzx[4 * i + c] = static_cast<float>(static_cast<double>(value) * (1.0 / 32768.0));
            }
        }
        return;
    }
    for (std::size_t i = 0; i < n; ++i, frame += stride) {
        for (std::size_t c = 0; c < 4; ++c) {
            const std::byte* p = frame + 4 * c;
            wyzx[4 * i + c] =
                std::bit_cast<float>(byte(p, 0) | (byte(p, 1) << 8) | (byte(p, 2) << 16) | (byte(p, 3) << 24));
        }
    }
}

BFormatSignal BFormatFrames::Signal(std::size_t first, std::size_t count, bool omniOnly) const
{
    BFormatSignal signal;
    signal.SampleRateHz = m_header.SampleRate;
    first = std::min(first, m_count);
    count = std::min(count, m_count - first);
    signal.W.resize(count);
    if (!omniOnly) {
        signal.Y.resize(count);
        signal.Z.resize(count);
        signal.X.resize(count);
    }
    // A block of frames at a time, a few pages of the image.
    constexpr std::size_t kBlock = 4096;
    std::vector<float> wyzx(4 * kBlock);
    for (std::size_t from = 0; from < count; from += kBlock) {
        const std::size_t n = std::min(kBlock, count - from);
        Read(first + from, n, wyzx);
        for (std::size_t i = 0; i < n; ++i) {
            signal.W[from + i] = wyzx[4 * i];
            if (omniOnly) continue;
            signal.Y[from + i] = wyzx[4 * i + 1];
            signal.Z[from + i] = wyzx[4 * i + 2];
            signal.X[from + i] = wyzx[4 * i + 3];
        }
    }
    return signal;
}

}  // namespace halvane
