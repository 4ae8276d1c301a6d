#include "analysis/arrivals/DirectPulse.h"

#include <algorithm>
#include <cmath>

#include "analysis/arrivals/ShortFilters.h"
#include "values/SoundField.h"

namespace halvane {
namespace {

enum ChannelIndex : std::size_t { kW = 0, kY = 1, kZ = 2, kX = 3 };

// The pulse's direction is looked at over this window, where W is within
// kPulseSpanDb of the centre's energy; the pulse ends where it turns further
// than kPulseAngleDeg.
constexpr double kPulseAngleDeg = 30.0;
constexpr double kPulseSpanDb = 30.0;
constexpr double kPulseDirectionWindowMs = 0.25;

// The figure-of-eights' pulse: Y, Z and X projected on the direction of the
// direct sound's intensity over its pulse (what a figure-of-eight facing the
// source would give).
std::vector<double> DipolePulseSource(const Channels& channels, const PulseTemplate& pulse, std::ptrdiff_t centre)
{
    const auto size = static_cast<std::ptrdiff_t>(channels[kW].size());
    std::array<double, 3> intensity{};  // along Y, Z, X
    for (std::ptrdiff_t n = std::max<std::ptrdiff_t>(0, centre - pulse.ReachBefore());
         n <= std::min(size - 1, centre + pulse.ReachAfter()); ++n) {
        const auto i = static_cast<std::size_t>(n);
        for (std::size_t c = 0; c < 3; ++c) intensity[c] += channels[kW][i] * channels[c + 1][i];
    }
    const double magnitude =
        std::sqrt(intensity[0] * intensity[0] + intensity[1] * intensity[1] + intensity[2] * intensity[2]);
    std::vector<double> projected(channels[kW].size(), 0.0);
    if (!(magnitude > 0)) return projected;
    for (std::size_t n = 0; n < projected.size(); ++n) {
        for (std::size_t c = 0; c < 3; ++c) projected[n] += channels[c + 1][n] * intensity[c] / magnitude;
    }
    return projected;
}

}  // namespace

std::ptrdiff_t DirectSoundCentre(const std::vector<double>& w, std::ptrdiff_t half, std::size_t first)
{
    const std::vector<double> energy = MovingEnergy(w, half);
    const std::size_t end = std::min(energy.size(), first + static_cast<std::size_t>(2 * half) + 1);
    std::size_t peak = std::min(first, energy.size() - 1);
    for (std::size_t n = peak; n < end; ++n) {
        if (energy[n] > energy[peak]) peak = n;
    }
    const auto from = static_cast<std::ptrdiff_t>(peak) - half;
    const auto to = std::min(static_cast<std::ptrdiff_t>(w.size()) - 1, static_cast<std::ptrdiff_t>(peak) + half);
    std::ptrdiff_t centre = std::max<std::ptrdiff_t>(0, from);
    for (std::ptrdiff_t n = centre; n <= to; ++n) {
        if (std::fabs(w[static_cast<std::size_t>(n)]) > std::fabs(w[static_cast<std::size_t>(centre)])) centre = n;
    }
    return centre;
}

std::array<std::vector<bool>, 4> ClippedSamples(const Channels& raw, std::size_t from, std::size_t to)
{
    constexpr double kFullScale = 1.0 - 1.0 / 32768.0;
    constexpr std::size_t kFlatRun = 3;
    std::array<std::vector<bool>, 4> clipped;
    for (std::size_t c = 0; c < 4; ++c) {
        const std::vector<double>& channel = raw[c];
        clipped[c].assign(channel.size(), false);
        const std::size_t end = std::min(to, channel.size());
        double largest = 0;
        for (std::size_t n = from; n < end; ++n) largest = std::max(largest, std::fabs(channel[n]));
        if (!(largest > 0)) continue;
        for (std::size_t n = from; n < end; ++n) {
            if (std::fabs(channel[n]) >= kFullScale) clipped[c][n] = true;
        }
        for (std::size_t n = from; n < end;) {
            std::size_t run = n;
            while (run < end && std::fabs(channel[run]) == largest) ++run;
            if (run - n >= kFlatRun)
                std::fill(clipped[c].begin() + static_cast<std::ptrdiff_t>(n),
                          clipped[c].begin() + static_cast<std::ptrdiff_t>(run), true);
            n = std::max(run, n + 1);
        }
    }
    return clipped;
}

std::array<std::ptrdiff_t, 2> DirectionReach(const Channels& channels, std::ptrdiff_t centre, std::ptrdiff_t limit,
                                             double rateHz)
{
    const auto size = static_cast<std::ptrdiff_t>(channels[kW].size());
    const auto half = std::max<std::ptrdiff_t>(
        1, static_cast<std::ptrdiff_t>(std::nearbyint(kPulseDirectionWindowMs * rateHz / 2000.0)));
    auto sums = [&](std::ptrdiff_t at) {
        std::array<double, 4> s{};  // ix, iy, iz, w^2
        for (std::ptrdiff_t n = std::max<std::ptrdiff_t>(0, at - half); n <= std::min(size - 1, at + half); ++n) {
            const auto i = static_cast<std::size_t>(n);
            const double w = channels[kW][i];
            s[0] += w * channels[kX][i];
            s[1] += w * channels[kY][i];
            s[2] += w * channels[kZ][i];
            s[3] += w * w;
        }
        return s;
    };
    const std::array<double, 4> own = sums(centre);
    const double ownMagnitude = std::sqrt(own[0] * own[0] + own[1] * own[1] + own[2] * own[2]);
    const double relevant = own[3] * std::pow(10.0, -kPulseSpanDb / 10.0);
    const double cosine = std::cos(RadiansFromDegrees(kPulseAngleDeg));
    std::array<std::ptrdiff_t, 2> reach{limit, limit};
    if (!(ownMagnitude > 0)) return reach;
    for (int side = 0; side < 2; ++side) {
        const std::ptrdiff_t step = side == 0 ? -1 : 1;
        for (std::ptrdiff_t i = 1; i <= limit; ++i) {
            const std::array<double, 4> s = sums(centre + step * i);
            if (s[3] < relevant) continue;
            const double magnitude = std::sqrt(s[0] * s[0] + s[1] * s[1] + s[2] * s[2]);
            const double along =
                magnitude > 0 ? (s[0] * own[0] + s[1] * own[1] + s[2] * own[2]) / (magnitude * ownMagnitude) : -1.0;
            if (along < cosine) {
                reach[static_cast<std::size_t>(side)] = i;
                break;
            }
        }
    }
    return reach;
}

Pursued Pursue(const Channels& channels, const PursuitSettings& settings)
{
    auto pulse = std::make_unique<PulseTemplate>(channels[kW], settings.centre, settings.halfLength, true,
                                                 settings.reachBefore, settings.reachAfter);
    if (!(pulse->Energy() > 0)) return {};
    auto dipole =
        std::make_unique<PulseTemplate>(DipolePulseSource(channels, *pulse, settings.centre), settings.centre,
                                        settings.halfLength, false, pulse->ReachBefore(), pulse->ReachAfter());
    auto pursuit = std::make_unique<PulsePursuit>(channels, *pulse, *dipole, settings.halfWindow);
    pursuit->Run(settings.stopAmplitude, settings.maxCopies, *settings.stop);
    if (settings.stop->Requested()) return {std::move(pulse), std::move(dipole), std::move(pursuit)};
    pursuit->Refit();
    pursuit->Prune();
    return {std::move(pulse), std::move(dipole), std::move(pursuit)};
}

}  // namespace halvane
