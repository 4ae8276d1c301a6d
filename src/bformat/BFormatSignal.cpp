#include "bformat/BFormatSignal.h"

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
    for (std::size_t i = 0; i < count; ++i) {
        std::array<float, 4> wyzx = frames->At(i);
        for (float& value : wyzx) {
            if (!std::isfinite(value)) {
                value = 0;
                ++signal.NonFiniteSamples;
            }
        }
        signal.W[i] = wyzx[0];
        signal.Y[i] = wyzx[1];
        signal.Z[i] = wyzx[2];
        signal.X[i] = wyzx[3];
    }
    return signal;
}

}  // namespace halvane
