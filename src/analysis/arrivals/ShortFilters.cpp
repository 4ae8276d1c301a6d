#include "analysis/arrivals/ShortFilters.h"

#include <algorithm>
#include <cmath>

namespace halvane {
namespace {

// A span longer than this would mean a sample rate no converter runs at (a
// 1 kHz cut at 8 MHz).
constexpr double kLongestLowCutSpan = 8192;
// Values at least this many spans long go on beyond their ends.
constexpr std::size_t kShortestContinued = 4;
// A low cut at or above this share of the sample rate would leave no band.
constexpr double kHighestLowCut = 0.25;

// Centred mean over half samples (the earlier one of the two middles for an even count).
std::vector<double> RunningMean(const std::vector<double>& in, std::ptrdiff_t half)
{
    const auto size = static_cast<std::ptrdiff_t>(in.size());
    std::vector<double> out(in.size(), 0.0);
    const std::ptrdiff_t before = (half - 1) / 2, after = half - 1 - before;
    double sum = 0;
    for (std::ptrdiff_t n = -after; n < size; ++n) {
        const std::ptrdiff_t entering = n + after, leaving = n - before - 1;
        if (entering < size) sum += in[static_cast<std::size_t>(entering)];
        if (leaving >= 0) sum -= in[static_cast<std::size_t>(leaving)];
        if (n >= 0) out[static_cast<std::size_t>(n)] = sum / static_cast<double>(half);
    }
    return out;
}

}  // namespace

void HighPassCompact(std::vector<double>& values, std::ptrdiff_t spanSamples)
{
    if (values.empty()) return;
    const std::ptrdiff_t half = std::max<std::ptrdiff_t>(1, spanSamples / 2);
    // Beyond either end the first and last values go on: a constant offset
    // is taken out to the very ends, instead of leaving a step there. A few
    // samples (shorter than kShortestContinued spans) are all edge: beyond
    // them there is silence.
    const auto pad = static_cast<std::size_t>(half);
    const bool continued =
        values.size() >= kShortestContinued * static_cast<std::size_t>(std::max<std::ptrdiff_t>(1, spanSamples));
    std::vector<double> padded(pad, continued ? values.front() : 0.0);
    padded.insert(padded.end(), values.begin(), values.end());
    padded.insert(padded.end(), pad, continued ? values.back() : 0.0);
    std::vector<double> smooth = RunningMean(padded, half);
    // The second pass runs on the reversed first, so the pair is centred whatever the parity.
    std::reverse(smooth.begin(), smooth.end());
    smooth = RunningMean(smooth, half);
    std::reverse(smooth.begin(), smooth.end());
    for (std::size_t n = 0; n < values.size(); ++n) values[n] -= smooth[n + pad];
}

std::ptrdiff_t LowCutSpanSamples(double rateHz, double lowCutHz)
{
    if (!(lowCutHz > 0 && lowCutHz < kHighestLowCut * rateHz)) return 0;
    return static_cast<std::ptrdiff_t>(std::min(std::nearbyint(rateHz / lowCutHz), kLongestLowCutSpan));
}

std::vector<double> MovingEnergy(const std::vector<double>& values, std::ptrdiff_t half)
{
    const auto size = static_cast<std::ptrdiff_t>(values.size());
    std::vector<double> energy(values.size(), 0.0);
    auto square = [&](std::ptrdiff_t n) {
        const double v = values[static_cast<std::size_t>(n)];
        return v * v;
    };
    // A running sum drifts; each block of samples starts from an exact sum.
    constexpr std::ptrdiff_t kRestart = 4096;
    double sum = 0;
    for (std::ptrdiff_t n = 0; n < size; ++n) {
        if (n % kRestart == 0) {
            sum = 0;
            for (std::ptrdiff_t m = std::max<std::ptrdiff_t>(0, n - half); m <= std::min(size - 1, n + half); ++m) {
                sum += square(m);
            }
        } else {
            if (n + half < size) sum += square(n + half);
            if (n - half - 1 >= 0) sum -= square(n - half - 1);
        }
        energy[static_cast<std::size_t>(n)] = std::max(0.0, sum);
    }
    return energy;
}

}  // namespace halvane
