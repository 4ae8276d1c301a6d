#include "bformat/BFormatFrames.h"

#include <algorithm>

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

std::array<float, 4> BFormatFrames::At(std::size_t i) const
{
    const Frame f = ReadFrame(m_image, m_header.DataStart + static_cast<std::int64_t>(i) * m_header.BlockAlign,
                              m_header.BitsPerSample);
    const double scale = m_header.BitsPerSample == 16 ? 1.0 / 32768.0 : 1.0;
    return {static_cast<float>(f.W * scale), static_cast<float>(f.Y * scale), static_cast<float>(f.Z * scale),
            static_cast<float>(f.X * scale)};
}

}  // namespace halvane
