#pragma once

#include "analysis/arrivals/Arrivals.h"
#include "analysis/maps/EnergyMaps.h"
#include "bformat/BFormatSignal.h"
#include "values/Cancellation.h"
#include "values/ComparisonQuantities.h"
#include "values/Result.h"

namespace halvane {

// Two responses side by side: what changed from A to B (before and after a
// treatment, two seats, two measurements of one seat).
//
// B is first aligned to A on the direct sound (DirectSoundLagFrames, to a
// fraction of a frame) and, with turn, turned so that its direct sound
// comes from A's direct sound's direction (the arrival lists' first rows).
// Then, of A and of the aligned B:
// - maps: the energy maps of options.maps (by default the histogram, whose
//   spots are a few degrees across, so that a change in one direction stays
//   there), per range B's level less A's in each cell, empty where both lie
//   more than maskBelowDb below their direct sound's peak cell;
// - parameters: the room parameters per band (ComputeRoomParameters), each
//   with B's less A's, flagged beyond the just noticeable difference of
//   ISO 3382-1: EDT, T20 and T30 5 % of A's, C80 1 dB, D50 0.05, Ts 10 ms,
//   LF 0.05, and, as their neighbours, C50 1 dB and LFC 0.05. Two are
//   judged only where the JND means what it says. T20 and T30 only where
//   both decays are straight, their curvature 100 (T30 / T20 - 1) within
//   kStraightDecayPercent (ISO 3382-2 takes a larger one for a decay that is
//   no line, whose reverberation time hangs on the noise at its foot).
//   C50 and C80 only where the share of the energy before 50 or 80 ms,
//   1 / (1 + 10^(-C / 10)), also moves by D50's JND: the two JNDs agree
//   near 0 dB (1 dB is 0.058 there), while at 40 dB a few dB of C are late
//   sound 40 dB down, no audible change;
// - arrivals: the two arrival lists matched one to one, the closest pairs
//   first (time apart in ms over kMatchMs plus angle apart over kMatchDeg),
//   a pair only within kMatchMs and kMatchDeg: in both with B's level less
//   A's, only in A, only in B.
// Levels are each re its own direct sound (the maps' direct peak cell, the
// arrivals' direct sound) unless calibrated: then as they are, both
// measured with the same gain (B's map cells re A's reference; an arrival's
// change with the difference of the two direct sounds' W energies over
// 0.5 ms added).
//
// Fails, saying why, when the sample rates differ, either response has no
// direct sound or its maps cannot be made. stop is polled between the steps
// and inside the room parameters; once requested the comparison fails with
// kCancelledMessage.

inline constexpr double kStraightDecayPercent = 10;
inline constexpr double kMatchMs = 0.5;
inline constexpr double kMatchDeg = 10;

struct ComparisonOptions {
    bool turn = false;
    bool calibrated = false;
    EnergyMapOptions maps{{}, MapEstimator::Histogram};
    double maskBelowDb = 40;  // > 0
    ArrivalOptions arrivals;
};

Result<Comparison> CompareResponses(const BFormatSignal& a, const BFormatSignal& b, const ComparisonOptions& options,
                                    const Cancellation& stop = Cancellation::Never());

// The parts, for the tests and for callers that hold one part already.
std::vector<ParameterDifference> CompareParameters(const std::vector<BandParameters>& a,
                                                   const std::vector<BandParameters>& b);
std::vector<ArrivalPair> MatchArrivals(const std::vector<Arrival>& a, const std::vector<Arrival>& b,
                                       double levelOffsetDb);
std::vector<MapDifference> CompareMaps(const EnergyMapSet& a, const EnergyMapSet& b, bool calibrated,
                                       double maskBelowDb);

}  // namespace halvane
