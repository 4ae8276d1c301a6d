#include "analysis/arrivals/Declipping.h"

#include <algorithm>
#include <cmath>

#include "analysis/arrivals/Fourier.h"

namespace halvane {
namespace {

// Rounds of the two projections: enough for the envelope's peak to settle
// to a small fraction of a sample on the measured pulses tried.
constexpr int kRounds = 100;
// The stretch is zero-padded to this many times its length, so that the band
// limit does not wrap its ends onto each other.
constexpr std::size_t kPadding = 4;

}  // namespace

void Declip(std::vector<double>& values, const std::vector<bool>& clipped, double bandShare)
{
    const auto first = std::find(clipped.begin(), clipped.end(), true);
    if (first == clipped.end()) return;
    const auto last = std::find(clipped.rbegin(), clipped.rend(), true);
    const auto firstAt = static_cast<std::size_t>(first - clipped.begin());
    const auto lastAt = static_cast<std::size_t>(clipped.rend() - last) - 1;
    const std::size_t from = firstAt > kDeclipContext ? firstAt - kDeclipContext : 0;
    const std::size_t to = std::min(values.size(), lastAt + kDeclipContext + 1);
    const std::size_t count = to - from;
    const std::size_t size = PowerOfTwoAtLeast(kPadding * count);
    const auto highest = static_cast<std::size_t>(std::floor(bandShare * static_cast<double>(size)));
    std::vector<double> restored(values.begin() + static_cast<std::ptrdiff_t>(from),
                                 values.begin() + static_cast<std::ptrdiff_t>(to));
    Spectrum spectrum(size);
    const FourierPlan plan(size);
    for (int round = 0; round < kRounds; ++round) {
        std::fill(spectrum.begin(), spectrum.end(), 0.0);
        for (std::size_t n = 0; n < count; ++n) spectrum[n] = restored[n];
        plan.Transform(spectrum, false);
        // Above the band limit nothing, on both sides of the spectrum.
        for (std::size_t k = highest + 1; k < size - highest; ++k) spectrum[k] = 0.0;
        plan.Transform(spectrum, true);
        for (std::size_t n = 0; n < count; ++n) {
            const double observed = values[from + n];
            if (!clipped[from + n]) {
                restored[n] = observed;
            } else {
                const double band = spectrum[n].real();
                restored[n] = std::copysign(std::max(std::fabs(band), std::fabs(observed)), observed);
            }
        }
    }
    std::copy(restored.begin(), restored.end(), values.begin() + static_cast<std::ptrdiff_t>(from));
}

double BandLimitShare(const std::vector<double>& values)
{
    constexpr double kLowest = 0.2, kHighest = 0.45;
    if (values.empty()) return kHighest;
    const std::size_t size = PowerOfTwoAtLeast(values.size());
    Spectrum spectrum(size);
    for (std::size_t n = 0; n < values.size(); ++n) spectrum[n] = values[n];
    Transform(spectrum, false);
    double total = 0;
    for (std::size_t k = 0; k <= size / 2; ++k) total += std::norm(spectrum[k]);
    if (!(total > 0)) return kHighest;
    // Downwards from the top of the band until the energy above holds more
    // than the share kBandEdgeDb below the whole.
    const double allowed = total * std::pow(10.0, -kBandEdgeDb / 10.0);
    double above = 0;
    std::size_t k = size / 2;
    for (; k > 0; --k) {
        above += std::norm(spectrum[k]);
        if (above > allowed) break;
    }
    const double cumulative = static_cast<double>(k + 1) / static_cast<double>(size);
    // And no higher than where the spectrum, smoothed over a sixty-fourth of
    // the band, last comes within kBandEdgeDb of its peak: a noise floor can
    // hold more than the share above without being content.
    const std::size_t bins = size / 2, smooth = std::max<std::size_t>(1, bins / 64);
    std::vector<double> level(bins / smooth, 0.0);
    for (std::size_t b = 0; b < level.size() * smooth; ++b) level[b / smooth] += std::norm(spectrum[b]);
    const double peak = level.empty() ? 0.0 : *std::max_element(level.begin(), level.end());
    std::size_t top = level.size();
    for (std::size_t b = 0; b < level.size(); ++b) {
        if (level[b] >= peak * std::pow(10.0, -kBandEdgeDb / 10.0)) top = b + 1;
    }
    const double smoothed = static_cast<double>(top * smooth) / static_cast<double>(size);
    return std::clamp(std::min(cumulative, smoothed), kLowest, kHighest);
}

}  // namespace halvane
