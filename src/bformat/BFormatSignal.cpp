#include "bformat/BFormatSignal.h"

#include <algorithm>
#include <cmath>

#include "bformat/BFormatFrames.h"

namespace halvane {

Result<BFormatSignal> ReadBFormatSignal(const InputImage& input, SignalChannels channels,
                                        const Cancellation& cancellation)
{
    auto frames = BFormatFrames::Open(input.Bytes());
    if (!frames) return Failure{frames.Message()};
    BFormatSignal signal;
    signal.SampleRateHz = frames->SampleRateHz();
    const std::size_t count = frames->Count();
    const bool all = channels == SignalChannels::All;
    signal.W.resize(count);
    signal.Y.resize(count);
    signal.Z.resize(all ? count : 0);
    signal.X.resize(all ? count : 0);
    constexpr std::size_t kBlockFrames = 4096;
    std::vector<float> block(4 * kBlockFrames);
    for (std::size_t first = 0; first < count; first += kBlockFrames) {
        if (cancellation.Requested()) return Failure{kCancelledMessage};
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
            if (!all) continue;
            signal.Z[first + i] = block[4 * i + 2];
            signal.X[first + i] = block[4 * i + 3];
        }
        input.ReleaseBefore(frames->Offset(first + n));
    }
    return signal;
}

Result<BFormatSignal> ReadBFormatSignal(std::span<const std::byte> image)
{
    return ReadBFormatSignal(BorrowedImage(image), SignalChannels::All);
}

}  // namespace halvane
