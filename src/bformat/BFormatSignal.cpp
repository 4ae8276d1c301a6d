#include "bformat/BFormatSignal.h"

#include <algorithm>
#include <cmath>

#include "bformat/WavHeader.h"

namespace halvane {

Result<BFormatSignal> ReadBFormatSignal(std::span<const std::byte> image)
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
    BFormatSignal signal;
    signal.SampleRateHz = header.SampleRate;
    const auto count = static_cast<std::size_t>(frames);
    signal.W.resize(count);
    signal.Y.resize(count);
    signal.Z.resize(count);
    signal.X.resize(count);
    const double scale = header.BitsPerSample == 16 ? 1.0 / 32768.0 : 1.0;
    for (std::size_t i = 0; i < count; ++i) {
        const Frame f =
            ReadFrame(image, header.DataStart + static_cast<std::int64_t>(i) * header.BlockAlign, header.BitsPerSample);
        signal.W[i] = static_cast<float>(f.W * scale);
        signal.Y[i] = static_cast<float>(f.Y * scale);
        signal.Z[i] = static_cast<float>(f.Z * scale);
        signal.X[i] = static_cast<float>(f.X * scale);
    }
    return signal;
}

}  // namespace halvane
