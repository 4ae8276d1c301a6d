#include "analysis/arrivals/Arrivals.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <optional>

#include "analysis/arrivals/ArrivalGroups.h"
#include "analysis/arrivals/Declipping.h"
#include "analysis/arrivals/DirectPulse.h"
#include "analysis/arrivals/ResponseOutline.h"
#include "analysis/arrivals/ShortFilters.h"

// How the arrivals are found, and what the method follows:
//
// 1. One pass over W (ResponseOutline) finds the direct sound by the one rule
//    of analysis/convention/DirectSound.h, applied to W's energy over 0.5 ms
//    at every sample, before anything else: nothing that follows can drop it
//    or move it. The same pass says where the response has decayed below the
//    floor and whether it is an impulse response at all; only the stretch
//    from just before the direct sound to there is read further.
// 2. Below lowCutHz nothing is timed (a high-pass whose impulse response is
//    no longer than 1 / lowCutHz): the loudspeaker's low-frequency ringing and
//    the room's modes have no time resolution and reach over the next
//    arrivals.
// 3. A direct sound that clipped is restored from the band the recording
//    holds (Declipping) before anything is timed by it.
// 4. The system's pulse is cut from the direct sound, as far as its direction
//    holds and its envelope shows no next arrival (DirectPulse), in W and in
//    the figure-of-eights, which a real microphone does not give W's pulse.
// 5. Matching pursuit with that measured pulse (PulsePursuit, the CLEAN method
//    of radio astronomy): W is explained strongest part first as a sum of
//    delayed, scaled copies of the pulse, each also fitted in X, Y and Z and
//    taken out of all four channels before the next search. That is what
//    finds an arrival less than 0.5 ms beneath a stronger one, and what keeps
//    a pulse's side lobes and ripple from being listed. A copy counts only
//    where it stands out of what is around it: the reverberant tail is not
//    explained copy by copy.
// 6. A measured reflection is not the direct pulse again: a surface filters
//    and scatters it, and the microphone's figure-of-eights differ from its
//    omni. It is found as several copies close together from one direction,
//    with weak remainders around it, which are joined into one arrival
//    (ArrivalGroups) whose level is its own energy rather than its best fit
//    to the direct pulse.
// 7. Each arrival is described as the spatial decomposition method describes
//    a sample: by the pseudo-intensity W times (X, Y, Z) over a short window
//    centred on it, here of the arrival alone plus what no copy explains, so
//    that a strong neighbour does not pull its direction. DirAC's diffuseness
//    1 - 2 |I| / De (SN3D) over the same window, and how far the arrival
//    stands out of the response around it, decide what is listed, never what
//    is found, so that a higher threshold only adds rows.

namespace halvane {
namespace {

enum ChannelIndex : std::size_t { kW = 0 };

// The search goes this much deeper than the floor, so that an arrival whose
// first estimate falls just below the floor still gets its refined level.
constexpr double kSearchMarginDb = 1.0;
// The pursuit takes at most this many copies per second of response, and
// this many more: what keeps its cost linear in the response's length.
constexpr double kCopiesPerSecond = 400;
constexpr std::size_t kCopiesBeyond = 64;
// Half a pulse or a direction window longer than this many samples would
// mean a sample rate no converter runs at (1 ms at 4 MHz).
constexpr double kLongestSpanSamples = 4096;
// The stretch read starts this long before the direct sound, besides what
// the filters need; without an onset or a decay only the direct sound is
// described, and the stretch ends this long after it.
constexpr double kLeadMs = 5.0;
constexpr double kDirectOnlyMs = 5.0;
// The band a recording whose direct sound clipped holds is read from this
// many frames after the direct sound's pulse.
constexpr std::size_t kBandSampleFrames = 4096;

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

void LowCut(Channels& channels, double rateHz, double lowCutHz)
{
    const std::ptrdiff_t span = LowCutSpanSamples(rateHz, lowCutHz);
    if (span == 0) return;
    // Longer than the response it would only take out its mean.
    const auto longest = static_cast<std::ptrdiff_t>(2 * channels[kW].size() + 2);
    for (auto& channel : channels) HighPassCompact(channel, std::min(span, longest));
}

bool ValidOptions(const ArrivalOptions& options)
{
    return std::isfinite(options.directionWindowMs) && options.directionWindowMs > 0 &&
           std::isfinite(options.maxDiffuseness) && options.maxDiffuseness >= 0 && std::isfinite(options.floorDb) &&
           options.floorDb > 0 && std::isfinite(options.pulseHalfLengthMs) && options.pulseHalfLengthMs > 0 &&
           std::isfinite(options.lowCutHz) && options.lowCutHz >= 0;
}

// The list: the direct sound, then every later arrival above the floor that
// is clear (no more diffuse than the threshold) or stands out; stronger ones
// than the direct sound are counted instead.
void ChooseRows(const std::vector<Candidate>& candidates, const ArrivalOptions& options, ArrivalFindings& findings)
{
    const auto direct = std::find_if(candidates.begin(), candidates.end(), [](const Candidate& c) { return c.direct; });
    if (direct == candidates.end()) return;
    const double lowest = direct->energy * std::pow(10.0, -options.floorDb / 10.0);
    for (auto c = direct; c != candidates.end(); ++c) {
        Arrival arrival = c->arrival;
        arrival.levelDb = c == direct ? 0.0 : 10.0 * std::log10(c->energy / direct->energy);
        if (c != direct) {
            const bool clear = arrival.diffuseness <= options.maxDiffuseness || c->standOutDb >= kListedStandOutDb;
            if (c->energy < lowest || !clear) continue;
            if (c->energy > direct->energy) {
                if (findings.strongerThanDirect++ == 0 || arrival.levelDb > findings.strongestAboveDirectDb) {
                    findings.strongestAboveDirectDb = arrival.levelDb;
                    findings.strongestAboveDirectMs = arrival.timeMs;
                }
                continue;
            }
        }
        findings.arrivals.push_back(arrival);
    }
}

struct Stretch {
    std::size_t first = 0;  // frames of the source before the stretch
    Channels channels;      // high-passed, the direct sound's clipped samples restored
    bool clipped = false;   // the direct sound reached full scale
};

// Restores what of the direct sound's pulse, from direct on over reach
// samples, clipped in any channel; true when something had.
bool RestoreClipped(Channels& channels, std::size_t direct, std::size_t reach)
{
    const std::array<std::vector<bool>, 4> clipped = ClippedSamples(channels, direct, direct + reach);
    std::optional<double> band;
    for (std::size_t c = 0; c < 4; ++c) {
        if (std::find(clipped[c].begin(), clipped[c].end(), true) == clipped[c].end()) continue;
        if (!band) {
            // The band the recording holds, from what follows the direct sound.
            const std::vector<double>& w = channels[kW];
            const std::size_t from = std::min(w.size(), direct + 2 * reach);
            const std::size_t to = std::min(w.size(), from + kBandSampleFrames);
            band = BandLimitShare(std::vector<double>(w.begin() + static_cast<std::ptrdiff_t>(from),
                                                      w.begin() + static_cast<std::ptrdiff_t>(to)));
        }
        Declip(channels[c], clipped[c], *band);
    }
    return band.has_value();
}

Stretch ReadStretch(const BFormatSource& source, const ResponseOutline& outline, const ArrivalOptions& options,
                    std::ptrdiff_t margin)
{
    const double rateHz = source.SampleRateHz();
    const auto lead =
        static_cast<std::size_t>(std::nearbyint(kLeadMs * rateHz / 1000.0)) + static_cast<std::size_t>(margin);
    const std::size_t end =
        outline.IsImpulseResponse()
            ? outline.searchEndFrame
            : outline.directFrame + static_cast<std::size_t>(std::nearbyint(kDirectOnlyMs * rateHz / 1000.0));
    Stretch stretch;
    stretch.first = outline.directFrame > lead ? outline.directFrame - lead : 0;
    const std::size_t last = std::min(source.Frames(), end + static_cast<std::size_t>(margin));
    stretch.channels = CleanCopy(source.Signal(stretch.first, last - stretch.first, false));
    // The direct sound's pulse: from its first sample within 20 dB on, as long
    // as a pulse may reach.
    stretch.clipped =
        RestoreClipped(stretch.channels, outline.directFrame - stretch.first, static_cast<std::size_t>(margin));
    LowCut(stretch.channels, rateHz, options.lowCutHz);
    return stretch;
}

// Times from the stretch's start to the response's; a time outside the
// response is none of its arrivals (the direct sound is kept at its edge).
void PlaceInResponse(ArrivalFindings& findings, std::size_t first, double rateHz, std::size_t frames)
{
    const double offsetMs = static_cast<double>(first) / rateHz * 1000.0;
    const double lastMs = static_cast<double>(frames - 1) / rateHz * 1000.0;
    std::vector<Arrival> kept;
    for (Arrival a : findings.arrivals) {
        a.timeMs += offsetMs;
        if (kept.empty()) a.timeMs = std::clamp(a.timeMs, 0.0, lastMs);
        if (a.timeMs < 0 || a.timeMs > lastMs) continue;
        kept.push_back(a);
    }
    findings.arrivals = std::move(kept);
    findings.strongestAboveDirectMs += offsetMs;
}

ArrivalFindings Stopped(ArrivalFindings findings)
{
    findings.arrivals.clear();
    findings.stopped = true;
    return findings;
}

}  // namespace

ArrivalFindings AnalyseArrivals(const BFormatSource& source, const ArrivalOptions& options, const Cancellation& stop)
{
    ArrivalFindings findings;
    const double rateHz = source.SampleRateHz();
    if (!(std::isfinite(rateHz) && rateHz > 0) || !ValidOptions(options)) return findings;
    const ResponseOutline outline = OutlineResponse(source, options.lowCutHz, options.floorDb, stop);
    findings.nonFiniteSamples = outline.nonFiniteSamples;
    if (stop.Requested()) return Stopped(findings);
    if (!outline.found) return findings;
    findings.notAnImpulseResponse = !outline.IsImpulseResponse();

    // Lengths in samples, no longer than the response nor than
    // kLongestSpanSamples (a header's sample rate can claim anything).
    const double longest = std::min(static_cast<double>(source.Frames()), kLongestSpanSamples);
    auto samples = [&](double ms) { return std::min(std::nearbyint(ms * rateHz / 1000.0), longest); };
    PursuitSettings settings;
    settings.halfLength = static_cast<std::ptrdiff_t>(std::max(1.0, samples(options.pulseHalfLengthMs)));
    settings.halfWindow = std::max(0.5, samples(options.directionWindowMs) / 2.0);
    const auto levelHalf = static_cast<std::ptrdiff_t>(samples(kLevelWindowMs / 2.0));
    const std::ptrdiff_t margin = LowCutSpanSamples(rateHz, options.lowCutHz) + levelHalf + 2 * settings.halfLength + 1;
    const Stretch stretch = ReadStretch(source, outline, options, margin);
    const std::vector<double>& w = stretch.channels[kW];
    if (w.empty()) return findings;
    settings.centre = DirectSoundCentre(w, levelHalf, outline.directFrame - stretch.first);
    if (w[static_cast<std::size_t>(settings.centre)] == 0.0) return findings;
    findings.directClipped = stretch.clipped;

    const std::array<std::ptrdiff_t, 2> reach =
        DirectionReach(stretch.channels, settings.centre, settings.halfLength, rateHz);
    settings.reachBefore = reach[0];
    settings.reachAfter = reach[1];
    // The template is the direct sound itself: its fitted amplitude is 1.
    settings.stopAmplitude = std::pow(10.0, -(options.floorDb + kSearchMarginDb) / 20.0);
    settings.maxCopies =
        static_cast<std::size_t>(kCopiesPerSecond * static_cast<double>(w.size()) / rateHz) + kCopiesBeyond;
    settings.stop = &stop;
    const Pursued pursued = Pursue(stretch.channels, settings);
    if (stop.Requested()) return Stopped(findings);
    if (!pursued.pursuit) return findings;
    const std::vector<double> levelEnergy = MovingEnergy(w, levelHalf);
    ChooseRows(Candidates(pursued, levelEnergy, rateHz, static_cast<double>(settings.centre)), options, findings);
    if (findings.notAnImpulseResponse) {
        // Without an onset or a decay, "stronger than the direct sound" says nothing.
        findings.arrivals.resize(std::min<std::size_t>(1, findings.arrivals.size()));
        findings.strongerThanDirect = 0;
    }
    PlaceInResponse(findings, stretch.first, rateHz, source.Frames());
    return findings;
}

ArrivalFindings AnalyseArrivals(const BFormatSignal& signal, const ArrivalOptions& options, const Cancellation& stop)
{
    ArrivalFindings findings = AnalyseArrivals(SignalFrames(signal), options, stop);
    // A signal read from a file has its non-finite samples as zeros already.
    findings.nonFiniteSamples += signal.NonFiniteSamples;
    return findings;
}

std::vector<Arrival> FindArrivals(const BFormatSignal& signal, const ArrivalOptions& options)
{
    return AnalyseArrivals(signal, options).arrivals;
}

double SpeedOfSoundMPerS(const std::optional<double>& temperatureC)
{
    if (!temperatureC) return 343.0;
    return 331.3 * std::sqrt(1.0 + *temperatureC / 273.15);
}

}  // namespace halvane
