#include "bformat/BFormatSignal.h"

#include <algorithm>
#include <cmath>

#include "bformat/BFormatFrames.h"

namespace halvane {

Result<BFormatSignal> ReadBFormatSignal(std::span<const std::byte> image)
{
    auto frames = BFormatFrames::Open(image);
    if (!frames) return Failure{frames.Message()};
    BFormatSignal signal;
    signal.SampleRateHz = frames->SampleRateHz();
    const std::size_t count = frames->Count();
    signal.W.resize(count);
    signal.Y.resize(count);
    signal.Z.resize(count);
    signal.X.resize(count);
    constexpr std::size_t kBlockFrames = 4096;
    std::vector<float> block(4 * kBlockFrames);
    for (std::size_t first = 0; first < count; first += kBlockFrames) {
        const std::size_t n = std::min(count - first, kBlockFrames);
        frames->Read(first, n, block);
        for (float& value : std::span<float>(block).first(4 * n)) {
            if (!std::isfinite(value)) {
                value = 0;
                ++signal.NonFiniteSamples;
            }
        }
        for (std::size_t i = 0; i < n; ++i) {
            signal.W[first + i] = block[4 * i];
            signal.Y[first + i] = block[4 * i + 1];
            signal.Z[first + i] = block[4 * i + 2];
            signal.X[first + i] = block[4 * i + 3];
        }
    }
    return signal;
}

}  // namespace halvane
