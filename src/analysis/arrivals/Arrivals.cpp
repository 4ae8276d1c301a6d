#include "analysis/arrivals/Arrivals.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <deque>
#include <optional>

#include "analysis/arrivals/PulsePursuit.h"
#include "analysis/arrivals/PulseTemplate.h"
#include "values/SoundField.h"

// How the arrivals are found, and what the method follows:
//
// 1. Below lowCutHz nothing is timed (a high-pass whose impulse response is
//    no longer than 1 / lowCutHz): the loudspeaker's low-frequency ringing and
//    the room's modes have no time resolution, reach over the next arrivals
//    and would otherwise be taken for trains of weak ones.
// 2. The system's pulse is cut from the strongest arrival (in practice the
//    direct sound), up to where its envelope shows the next arrival beginning
//    (PulseTemplate). When that came early, what the pursuit (3.) then finds
//    there is taken out and the pulse cut again over its whole length.
// 3. Matching pursuit with that measured pulse (PulsePursuit, the CLEAN method
//    of radio astronomy): W is explained strongest part first as a sum of
//    delayed, scaled copies of the pulse, each also fitted in X, Y and Z and
//    taken out of all four channels before the next search. That is what
//    finds an arrival less than 0.5 ms beneath a stronger one, and what keeps
//    a pulse's side lobes and ripple from being listed.
// 4. Each copy is described as the spatial decomposition method describes a
//    sample: by the pseudo-intensity W times (X, Y, Z) over a short window
//    centred on it, here of the copy alone plus what no copy explains (tail
//    and noise), so that a strong neighbour does not pull its direction.
//    DirAC's diffuseness 1 - 2 |I| / De (SN3D) over the same window tells a
//    reflection from a fluctuation of the reverberant tail.
// 5. What a measured reflection adds to the direct sound's pulse (a surface
//    or the microphone filters it) shows as weak copies right behind it, or
//    as a few close copies from one direction: the first are dropped, the
//    second joined to their strongest.

namespace halvane {
namespace {

// The search goes this much deeper than the floor, so that an arrival whose
// first estimate falls just below the floor still gets its refined level.
constexpr double kSearchMarginDb = 1.0;
// What is left of a strong arrival after its pulse is taken out (the pulse
// of a reflection differs a little from the direct sound's: surfaces and the
// microphone's directivity filter it) lies at least this far below it and
// trails it by a few milliseconds; weaker copies that close are that remainder.
constexpr double kRippleDb = 25.0;
constexpr double kRippleReachMs = 3.0;
// Copies this close together, from directions this close, are one arrival
// whose pulse the surfaces have filtered and widened.
constexpr double kGroupReachMs = 0.25;
constexpr double kGroupAngleDeg = 10.0;
// Cuts of the pulse: the first ends where the next arrival begins; the
// second and third take out what the pursuit before found there.
constexpr int kTemplateRounds = 3;
// Half a pulse or a direction window longer than this many samples would
// mean a sample rate no converter runs at (1 ms at 4 MHz).
constexpr double kLongestSpanSamples = 4096;
// A low cut at or above this share of the sample rate would leave no band.
constexpr double kHighestLowCut = 0.25;

enum ChannelIndex : std::size_t { kW = 0 };
using Channels = std::array<std::vector<double>, 4>;

Channels CleanCopy(const BFormatSignal& signal)
{
    const std::size_t frames = std::min({signal.W.size(), signal.Y.size(), signal.Z.size(), signal.X.size()});
    const std::array<const std::vector<float>*, 4> source{&signal.W, &signal.Y, &signal.Z, &signal.X};
    Channels channels;
    for (std::size_t c = 0; c < 4; ++c) {
        channels[c].resize(frames);
        for (std::size_t n = 0; n < frames; ++n) {
            const double v = (*source[c])[n];
            channels[c][n] = std::isfinite(v) ? v : 0.0;
        }
    }
    return channels;
}

// A high-pass with a short, symmetric impulse response: the channel less its
// triangular-weighted moving average over spanSamples (two running means of
// half that length). Its response is 1 - sinc^2(f T / 2) for the span T: 0 at
// 0 Hz, 0.6 at 1 / T, 1 from 2 / T on. What it takes from a pulse stays
// within T / 2 of it, inside the pulse's own template, so no arrival's
// lowest frequencies reach over the next one.
void HighPassCompact(std::vector<double>& values, std::ptrdiff_t spanSamples)
{
    const std::ptrdiff_t half = std::max<std::ptrdiff_t>(1, spanSamples / 2);
    const auto size = static_cast<std::ptrdiff_t>(values.size());
    auto runningMean = [&](const std::vector<double>& in) {
        // Centred mean over half samples (the earlier one of the two middles for an even count).
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
    };
    std::vector<double> smooth = runningMean(values);
    // The second pass runs on the reversed first, so the pair is centred whatever the parity.
    std::reverse(smooth.begin(), smooth.end());
    smooth = runningMean(smooth);
    std::reverse(smooth.begin(), smooth.end());
    for (std::size_t n = 0; n < values.size(); ++n) values[n] -= smooth[n];
}

// The largest magnitude of a group's pulses in W, summed, searched on the
// template's own fine grid (1/32 sample) placed at the head (its first copy),
// from a sample before the earliest copy's largest value to a sample after
// the latest's. A lone copy's peak is then its amplitude times the template's
// largest value exactly, whatever its fractional position, and levels of lone
// copies are exact amplitude ratios.
double GroupPeak(const PulseTemplate& pulse, const std::vector<const PulseCopy*>& group)
{
    constexpr double kSteps = 32;
    const double head = group.front()->originSamples;
    double earliest = 0, latest = 0;
    for (const PulseCopy* c : group) {
        earliest = std::min(earliest, c->originSamples - head);
        latest = std::max(latest, c->originSamples - head);
    }
    const double largest = pulse.LargestOffsetSamples();
    const auto from = static_cast<std::ptrdiff_t>(std::floor((earliest + largest - 1.0) * kSteps));
    const auto to = static_cast<std::ptrdiff_t>(std::ceil((latest + largest + 1.0) * kSteps));
    double peak = 0;
    for (std::ptrdiff_t m = from; m <= to; ++m) {
        const double t = static_cast<double>(m) / kSteps;  // from the head's origin
        double sum = 0;
        for (const PulseCopy* c : group) sum += c->amplitude[kW] * pulse.ValueAt(t - (c->originSamples - head));
        peak = std::max(peak, std::fabs(sum));
    }
    return peak;
}

bool ValidOptions(const ArrivalOptions& options)
{
    return std::isfinite(options.directionWindowMs) && options.directionWindowMs > 0 &&
           std::isfinite(options.maxDiffuseness) && options.maxDiffuseness >= 0 && std::isfinite(options.floorDb) &&
           options.floorDb > 0 && std::isfinite(options.pulseHalfLengthMs) && options.pulseHalfLengthMs > 0 &&
           std::isfinite(options.lowCutHz) && options.lowCutHz >= 0;
}

}  // namespace

std::vector<Arrival> FindArrivals(const BFormatSignal& signal, const ArrivalOptions& options)
{
    std::vector<Arrival> arrivals;
    const double rateHz = signal.SampleRateHz;
    if (!(std::isfinite(rateHz) && rateHz > 0) || !ValidOptions(options)) return arrivals;

    Channels channels = CleanCopy(signal);
    if (options.lowCutHz > 0 && options.lowCutHz < kHighestLowCut * rateHz) {
        // Longer than the response it would only take out its mean.
        const double longest = 2.0 * static_cast<double>(channels[kW].size()) + 2.0;
        const double span = std::min(std::nearbyint(rateHz / options.lowCutHz), longest);
        for (auto& channel : channels) HighPassCompact(channel, static_cast<std::ptrdiff_t>(span));
    }
    const std::vector<double>& w = channels[kW];
    if (w.empty()) return arrivals;
    std::size_t strongest = 0;
    for (std::size_t n = 1; n < w.size(); ++n) {
        if (std::fabs(w[n]) > std::fabs(w[strongest])) strongest = n;
    }
    if (w[strongest] == 0.0) return arrivals;

    // Lengths in samples, no longer than the file, nor than kLongestSpanSamples
    // (a header's sample rate can claim anything).
    const double longest = std::min(static_cast<double>(w.size()), kLongestSpanSamples);
    const auto halfLength =
        static_cast<std::ptrdiff_t>(std::min(std::nearbyint(options.pulseHalfLengthMs * rateHz / 1000.0), longest));
    const double halfWindow = std::min(options.directionWindowMs * rateHz / 2000.0, longest);
    const auto centre = static_cast<std::ptrdiff_t>(strongest);
    // The template is the strongest arrival itself: its fitted amplitude is 1.
    const double stopAmplitude = std::pow(10.0, -(options.floorDb + kSearchMarginDb) / 20.0);

    // An arrival close behind the direct sound ends the first cut early. Once
    // a pursuit has found it, it is taken out of what the pulse is cut from,
    // and the pulse is cut again over the whole span.
    std::deque<PulseTemplate> pulses;  // a deque: the pursuit holds on to the last one
    std::optional<PulsePursuit> pursuit;
    std::vector<double> source = w;
    std::vector<double> placed;
    for (int round = 1;; ++round) {
        const PulseTemplate& pulse = pulses.emplace_back(source, centre, halfLength, round == 1);
        if (!(pulse.Energy() > 0)) return arrivals;
        pursuit.emplace(channels, pulse, halfWindow, options.maxDiffuseness);
        pursuit->Run(stopAmplitude);
        pursuit->Refit();
        pursuit->Prune();
        if (round == kTemplateRounds || !pulses.front().Truncated()) break;

        const std::vector<PulseCopy>& found = pursuit->Copies();
        const PulseCopy* own = nullptr;
        for (const PulseCopy& c : found) {
            if (!own || std::fabs(c.originSamples - centre) < std::fabs(own->originSamples - centre)) own = &c;
        }
        source = w;
        for (const PulseCopy& c : found) {
            if (&c == own || !(std::fabs(c.originSamples - centre) < static_cast<double>(2 * halfLength))) continue;
            std::ptrdiff_t first = 0;
            pulse.Place(c.originSamples, first, placed);
            for (std::size_t i = 0; i < placed.size(); ++i) {
                const std::ptrdiff_t n = first + static_cast<std::ptrdiff_t>(i);
                if (n >= 0 && n < static_cast<std::ptrdiff_t>(source.size())) {
                    source[static_cast<std::size_t>(n)] -= c.amplitude[kW] * placed[i];
                }
            }
        }
    }
    const PulseTemplate& pulse = pulses.back();

    std::vector<PulseCopy> copies = pursuit->Copies();
    std::sort(copies.begin(), copies.end(),
              [](const PulseCopy& a, const PulseCopy& b) { return a.originSamples < b.originSamples; });
    const double peakOffset = pulse.PeakOffsetSamples();

    // The copies worth describing: not the remainder of a much stronger
    // neighbour, and with a direction in their own window.
    struct Described {
        const PulseCopy* copy;
        double amplitude;
        std::array<double, 3> direction;  // unit vector of its own window's intensity
    };
    std::vector<Described> described;
    const double rippleRatio = std::pow(10.0, kRippleDb / 20.0);
    const double rippleReach =
        std::max(static_cast<double>(pulse.HalfLengthSamples()), kRippleReachMs * rateHz / 1000.0);
    for (const PulseCopy& c : copies) {
        const double amplitude = std::fabs(c.amplitude[kW]);
        const bool ripple = std::any_of(copies.begin(), copies.end(), [&](const PulseCopy& other) {
            return std::fabs(other.originSamples - c.originSamples) <= rippleReach &&
                   std::fabs(other.amplitude[kW]) >= rippleRatio * amplitude;
        });
        WindowIntensity alone;
        if (ripple || !(amplitude > 0) || !pursuit->Intensity(c.originSamples + peakOffset, {&c}, alone)) continue;
        const double magnitude = alone.Magnitude();
        if (!(magnitude > 0)) continue;
        described.push_back({&c, amplitude, {alone.ix / magnitude, alone.iy / magnitude, alone.iz / magnitude}});
    }

    // Groups of copies close together from one direction, strongest first:
    // each copy joins the first group whose head (its first, strongest copy)
    // is near enough, else heads a group of its own.
    std::vector<std::size_t> order(described.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return described[a].amplitude > described[b].amplitude; });
    const double groupReach = kGroupReachMs * rateHz / 1000.0;
    const double groupCosine = std::cos(RadiansFromDegrees(kGroupAngleDeg));
    std::vector<std::vector<const PulseCopy*>> groups;
    std::vector<const Described*> heads;
    for (std::size_t i : order) {
        const Described& d = described[i];
        std::size_t g = 0;
        for (; g < groups.size(); ++g) {
            const Described& head = *heads[g];
            const double cosine = head.direction[0] * d.direction[0] + head.direction[1] * d.direction[1] +
                                  head.direction[2] * d.direction[2];
            if (std::fabs(head.copy->originSamples - d.copy->originSamples) <= groupReach && cosine >= groupCosine) {
                break;
            }
        }
        if (g < groups.size()) {
            groups[g].push_back(d.copy);
        } else {
            groups.push_back({d.copy});
            heads.push_back(&d);
        }
    }

    // Each group described over its head's window, its own copies added back.
    struct Candidate {
        double peak;
        Arrival arrival;
    };
    std::vector<Candidate> candidates;
    for (const auto& group : groups) {
        const double timeSamples = group.front()->originSamples + peakOffset;
        WindowIntensity intensity;
        if (!pursuit->Intensity(timeSamples, group, intensity)) continue;
        const double magnitude = intensity.Magnitude();
        if (!(magnitude > 0 && intensity.de > 0)) continue;
        const double diffuseness = Diffuseness(magnitude, intensity.de);
        if (diffuseness > options.maxDiffuseness) continue;
        Arrival arrival;
        arrival.timeMs = timeSamples / rateHz * 1000.0;
        const Direction direction = DirectionOfIntensity(intensity.ix, intensity.iy, intensity.iz);
        arrival.azDeg = direction.azDeg;
        arrival.elDeg = direction.elDeg;
        arrival.idDb = 10.0 * std::log10(magnitude / intensity.de);
        arrival.diffuseness = diffuseness;
        candidates.push_back({GroupPeak(pulse, group), arrival});
    }
    if (candidates.empty()) return arrivals;
    std::sort(candidates.begin(), candidates.end(),
              [](const Candidate& a, const Candidate& b) { return a.arrival.timeMs < b.arrival.timeMs; });

    double largest = 0;
    for (const Candidate& c : candidates) largest = std::max(largest, c.peak);
    std::size_t direct = 0;
    while (candidates[direct].peak < DirectSoundLeastAmplitude(largest)) ++direct;
    const double directPeak = candidates[direct].peak;
    const double lowest = directPeak * std::pow(10.0, -options.floorDb / 20.0);
    for (std::size_t j = direct; j < candidates.size(); ++j) {
        if (candidates[j].peak < lowest) continue;
        Arrival arrival = candidates[j].arrival;
        arrival.levelDb = 20.0 * std::log10(candidates[j].peak / directPeak);
        arrivals.push_back(arrival);
    }
    return arrivals;
}

double SpeedOfSoundMPerS(const std::optional<double>& temperatureC)
{
    if (!temperatureC) return 343.0;
    return 331.3 * std::sqrt(1.0 + *temperatureC / 273.15);
}

}  // namespace halvane
