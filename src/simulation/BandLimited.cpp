#include "simulation/BandLimited.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "simulation/Direction.h"

namespace halvane::simulation {
namespace {

constexpr int kDelayHalfTaps = 32;
constexpr double kResampleZeroCrossings = 32;

}  // namespace

double Sinc(double x) { return x == 0.0 ? 1.0 : std::sin(kPi * x) / (kPi * x); }

double BlackmanHarris(double x, double halfWidth)
{
    if (std::fabs(x) >= halfWidth) return 0.0;
    const double phase = kPi * x / halfWidth;
    return 0.35875 + 0.48829 * std::cos(phase) + 0.14128 * std::cos(2 * phase) + 0.01168 * std::cos(3 * phase);
}

double Blackman(double x, double halfWidth)
{
    if (std::fabs(x) >= halfWidth) return 0.0;
    const double phase = kPi * x / halfWidth;
    return 0.42 + 0.5 * std::cos(phase) + 0.08 * std::cos(2 * phase);
}

PlacedValues Delayed(const std::vector<double>& pulse, double shiftSamples)
{
    const double whole = std::floor(shiftSamples);
    const double fraction = shiftSamples - whole;
    std::array<double, 2 * kDelayHalfTaps> kernel{};
    for (int j = -kDelayHalfTaps + 1; j <= kDelayHalfTaps; ++j) {
        kernel[static_cast<std::size_t>(j + kDelayHalfTaps - 1)] =
            Sinc(j - fraction) * BlackmanHarris(j - fraction, kDelayHalfTaps);
    }
    PlacedValues placed;
    placed.first = static_cast<std::ptrdiff_t>(whole) - kDelayHalfTaps + 1;
    placed.values.assign(pulse.size() + kernel.size() - 1, 0.0);
    // Through plain pointers: the same sums in the same order, and an
    // unoptimised (sanitized) build renders a room in seconds, not minutes.
    double* out = placed.values.data();
    const double* taps = kernel.data();
    for (std::size_t k = 0; k < pulse.size(); ++k) {
        const double value = pulse[k];
        for (std::size_t j = 0; j < kernel.size(); ++j) out[k + j] += value * taps[j];
    }
    return placed;
}

PlacedValues Resampled(const std::vector<double>& pulse, double fromHz, double toHz, double cutoffHz)
{
    // The kernel in input samples: a low-pass at cutoffHz, reaching
    // kResampleZeroCrossings of its own zero crossings either side.
    const double band = 2.0 * cutoffHz / fromHz;  // cut-off over half the input rate
    const double reachIn = kResampleZeroCrossings / band;
    const double step = fromHz / toHz;  // input samples per output sample
    const auto margin = static_cast<std::ptrdiff_t>(std::ceil(reachIn / step));
    const auto count = static_cast<std::ptrdiff_t>(std::ceil(static_cast<double>(pulse.size()) / step)) + 2 * margin;
    PlacedValues out;
    out.first = -margin;
    out.values.assign(static_cast<std::size_t>(count), 0.0);
    for (std::ptrdiff_t m = 0; m < count; ++m) {
        const double t = static_cast<double>(m - margin) * step;
        const auto lo = std::max<std::ptrdiff_t>(0, static_cast<std::ptrdiff_t>(std::ceil(t - reachIn)));
        const auto hi = std::min<std::ptrdiff_t>(static_cast<std::ptrdiff_t>(pulse.size()) - 1,
                                                 static_cast<std::ptrdiff_t>(std::floor(t + reachIn)));
        double sum = 0;
        for (std::ptrdiff_t k = lo; k <= hi; ++k) {
            const double x = t - static_cast<double>(k);
            sum += pulse[static_cast<std::size_t>(k)] * band * Sinc(band * x) * BlackmanHarris(x, reachIn);
        }
        out.values[static_cast<std::size_t>(m)] = sum;
    }
    return out;
}

PlacedValues HannSincAt(double centreSamples, double bandwidth, int halfWidthSamples)
{
    PlacedValues placed;
    placed.first = static_cast<std::ptrdiff_t>(std::ceil(centreSamples - halfWidthSamples));
    const auto last = static_cast<std::ptrdiff_t>(std::floor(centreSamples + halfWidthSamples));
    for (std::ptrdiff_t n = placed.first; n <= last; ++n) {
        const double offset = static_cast<double>(n) - centreSamples;
        if (std::fabs(offset) >= halfWidthSamples) {
            placed.values.push_back(0.0);
            continue;
        }
        const double sinc = Sinc(bandwidth * offset);
        const double hann = 0.5 + 0.5 * std::cos(kPi * offset / halfWidthSamples);
        placed.values.push_back(sinc * hann);
    }
    return placed;
}

}  // namespace halvane::simulation
