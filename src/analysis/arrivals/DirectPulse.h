#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <vector>

#include "analysis/arrivals/PulsePursuit.h"
#include "analysis/arrivals/PulseTemplate.h"

namespace halvane {

// The system's pulse as the direct sound gives it, and the search of a
// response for copies of it. Samples are W, Y, Z, X of equal length, high-
// passed as the arrival analysis takes them, in samples from the first.
using Channels = std::array<std::vector<double>, 4>;

// Where the direct sound's pulse is centred: first is its first sample within
// 20 dB of the strongest (analysis/arrivals/ResponseOutline.h); its energy
// over 2 half + 1 samples peaks within one such window after it, and the
// pulse is centred on W's largest magnitude within half a window of that
// peak. first must lie within w, which must not be empty.
std::ptrdiff_t DirectSoundCentre(const std::vector<double>& w, std::ptrdiff_t half, std::size_t first);

// The samples of each channel from .. to - 1 that reached full scale: at or
// beyond it (a recording clips there), or three equal samples or more in a
// row at the channel's largest magnitude there (a flattened top that a
// conversion has scaled since). Samples are as recorded, not high-passed.
std::array<std::vector<bool>, 4> ClippedSamples(const Channels& raw, std::size_t from, std::size_t to);

// How far the direct sound's pulse reaches before and after centre, at most
// limit samples either way: where another arrival begins to dominate, the
// pseudo-intensity over 0.25 ms turns more than 30 degrees from the
// direction at the centre (looked at only where W is within 30 dB of the
// centre's energy). That is where the system's pulse ends even when its
// envelope does not show it: a floor reflection a few tenths of a
// millisecond behind the direct sound, weaker than the direct sound's own
// ringing.
std::array<std::ptrdiff_t, 2> DirectionReach(const Channels& channels, std::ptrdiff_t centre, std::ptrdiff_t limit,
                                             double rateHz);

struct PursuitSettings {
    std::ptrdiff_t centre = 0;                       // of the direct sound's pulse
    std::ptrdiff_t halfLength = 1;                   // the longest the pulse reaches either side
    std::ptrdiff_t reachBefore = 1, reachAfter = 1;  // where its direction holds (DirectionReach)
    double halfWindow = 1;                           // half the direction window
    double stopAmplitude = 0;                        // in units of the pulse: the search's floor
    std::size_t maxCopies = 0;
    const Cancellation* stop = &Cancellation::Never();
};

// The pulse as cut from the direct sound, in W and in the figure-of-eights,
// and the pursuit of its copies made with it; empty for a silent cut.
struct Pursued {
    std::unique_ptr<PulseTemplate> pulse;
    std::unique_ptr<PulseTemplate> dipolePulse;
    std::unique_ptr<PulsePursuit> pursuit;
};

// Cuts the pulse from the direct sound (as far as its direction holds, and
// where its envelope shows the next arrival beginning, PulseTemplate), in W
// and in Y, Z, X projected on the direct sound's direction (what a
// figure-of-eight facing the source gave), and takes its copies out of the
// channels strongest first, refitted and pruned (PulsePursuit).
Pursued Pursue(const Channels& channels, const PursuitSettings& settings);

}  // namespace halvane
