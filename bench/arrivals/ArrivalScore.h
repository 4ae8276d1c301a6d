#pragma once

// How well a list of found arrivals matches the arrivals a simulated room was
// built from.
//
// A true arrival's time is anywhere from where its pulse sits to the peak of
// its own energy envelope (TrueArrival::timeMs and envelopePeakMs, which a
// wall filter sets apart); a listed time is off by its distance to that span.
// Matching is one to one, in two rounds: first the true arrivals, strongest
// first, each take a listed arrival not yet taken that describes it (within
// the rules' time and direction tolerances, the closest in level first);
// then those left, strongest first, take the nearest in time not yet taken
// within kMatchWindowMs. A true arrival is found when its match describes
// it. (In one round a stronger neighbour that a row does not describe could
// take it as its nearest and leave the arrival it describes unmatched.)
// It is resolvable when it is no more than 20 dB below the direct sound, no
// other true arrival within 0.5 ms of it is stronger than its own level minus
// 6 dB, and its background over the 0.5 ms around it is at least 10 dB below
// it. A listed arrival at -20 dB or above that took no true arrival is a
// false one. A fragment is a listed arrival that found nothing itself but
// lies within kFragmentWindowMs and kFragmentAngleDeg of a true arrival that
// another row found. The first row is the direct sound when its time is
// within the time tolerance of the direct sound's.

#include <string>
#include <vector>

#include "analysis/arrivals/Arrivals.h"
#include "simulation/RoomSimulator.h"

namespace halvane::score {

using simulation::TrueArrival;

struct ScoreRules {
    double timeToleranceMs = 0.05;
    double directionToleranceDeg = 5.0;
};
// Clean rooms: an arrival is a copy of the pulse and is found to a microsecond.
inline constexpr ScoreRules kCleanRules{0.05, 5.0};
// Measured-like rooms: coloured copies, whose times the two truths bracket.
inline constexpr ScoreRules kMeasuredRules{0.1, 5.0};

inline constexpr double kMatchWindowMs = 0.5;
inline constexpr double kCountedLevelDb = -20.0;
inline constexpr double kNeighbourMarginDb = 6.0;
inline constexpr double kBackgroundMarginDb = 10.0;
inline constexpr double kFragmentWindowMs = 1.0;
inline constexpr double kFragmentAngleDeg = 10.0;

struct MissedArrival {
    TrueArrival truth;
    bool matched = false;  // a listed arrival was taken, but too far off
    double timeErrorMs = 0;
    double directionErrorDeg = 0;
};

struct RoomScore {
    std::string name;
    int rooms = 0;
    int resolvable = 0;
    int resolvableFound = 0;
    int counted = 0;  // true arrivals at -20 dB or above
    int countedFound = 0;
    int listed = 0;
    int listedCounted = 0;  // listed arrivals at -20 dB or above
    int falseListed = 0;
    int fragments = 0;
    int firstRowDirect = 0;  // rooms whose first row is the direct sound
    double audioS = 0;       // response length analysed
    double findS = 0;        // time FindArrivals took
    std::size_t clippedSamples = 0;
    // Over the resolvable arrivals found: absolute errors.
    std::vector<double> timeErrorsMs, directionErrorsDeg, levelErrorsDb;
    // Over the resolvable arrivals: their own diffuseness, and the one the
    // response reads over the 0.5 ms around them (plain pseudo-intensity).
    std::vector<double> ownDiffuseness, readDiffuseness;
    // Over the resolvable arrivals: how far their own signal's direction lies from the image source's.
    std::vector<double> ownDirectionOffDeg;
    std::vector<MissedArrival> missed;  // resolvable ones not found
    std::vector<Arrival> falseArrivals, fragmentArrivals;
};

// How far timeMs lies from the true arrival's span, ms (0 inside it).
double TimeOffMs(const TrueArrival& truth, double timeMs);

// True arrivals that meet the resolvable conditions above.
std::vector<bool> Resolvable(const std::vector<TrueArrival>& truth);

RoomScore ScoreRoom(const std::string& name, const simulation::SimulatedResponse& response,
                    const std::vector<Arrival>& listed, const ScoreRules& rules);

// The diffuseness the response reads over windowMs centred on timeMs
// (simulation::IntensityAround: plain pseudo-intensity).
double ReadDiffuseness(const BFormatSignal& signal, double timeMs, double windowMs);

// The value below which the given share (0..1) of the values lie (nearest
// rank); 0 for none.
double Percentile(std::vector<double> values, double share);

// Adds room's counts, times and errors to total's.
void Accumulate(RoomScore& total, const RoomScore& room);

// The table's heading, one row of it, and (when detailed) a line per miss,
// false row and fragment.
std::string TableHeading();
std::string Describe(const RoomScore& score, bool detailed);
// The true arrivals at -20 dB or above, a line each, the resolvable ones marked.
std::string DescribeTruth(const std::vector<TrueArrival>& truth);
// The figures of a room set beside their goals.
struct Goals {
    double foundPercent, falsePercent, medianLevelDb, p95LevelDb, fragmentPercent;
};
inline constexpr Goals kCleanGoals{98, 3, 1, 3, 2};
inline constexpr Goals kMeasuredGoals{95, 3, 1, 3, 2};
std::string DescribeTotal(const RoomScore& total, const Goals& goals, const ScoreRules& rules);

}  // namespace halvane::score
