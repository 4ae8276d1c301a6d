#pragma once

// How well a list of found arrivals matches the arrivals a simulated room was
// built from.
//
// Matching is one to one: the true arrivals, strongest first, each take a
// listed arrival not yet taken within kMatchWindowMs: one that describes it
// (within kTimeToleranceMs and kDirectionToleranceDeg, the closest in level
// first) when there is one, else the nearest in time. A true arrival is found
// when its match describes it.
// It is resolvable when it is no more than 20 dB below the direct sound, no
// other true arrival within 0.5 ms of it is stronger than its own level minus
// 6 dB, and tail and noise over the 0.5 ms around it are at least 10 dB
// below it. A listed arrival at -20 dB or above that took no true arrival is
// a false one.

#include <string>
#include <vector>

#include "analysis/arrivals/Arrivals.h"
#include "support/RoomSimulator.h"

namespace halvane::score {

inline constexpr double kMatchWindowMs = 0.5;
inline constexpr double kTimeToleranceMs = 0.05;
inline constexpr double kDirectionToleranceDeg = 5.0;
inline constexpr double kCountedLevelDb = -20.0;
inline constexpr double kNeighbourMarginDb = 6.0;
inline constexpr double kBackgroundMarginDb = 10.0;

struct MissedArrival {
    test::TrueArrival truth;
    bool matched = false;  // a listed arrival was taken, but too far off
    double timeErrorMs = 0;
    double directionErrorDeg = 0;
};

struct RoomScore {
    std::string name;
    int resolvable = 0;
    int resolvableFound = 0;
    int counted = 0;  // true arrivals at -20 dB or above
    int countedFound = 0;
    int listedCounted = 0;  // listed arrivals at -20 dB or above
    int falseListed = 0;
    // Over the resolvable arrivals found: absolute errors.
    std::vector<double> timeErrorsMs, directionErrorsDeg, levelErrorsDb;
    std::vector<MissedArrival> missed;  // resolvable ones not found
    std::vector<Arrival> falseArrivals;
};

// The angle between two directions, degrees.
double AngleBetweenDeg(double az1Deg, double el1Deg, double az2Deg, double el2Deg);

// True arrivals that meet the resolvable conditions above.
std::vector<bool> Resolvable(const std::vector<test::TrueArrival>& truth);

RoomScore ScoreRoom(const std::string& name, const std::vector<test::TrueArrival>& truth,
                    const std::vector<Arrival>& listed);

// The value below which the given share (0..1) of the values lie (nearest
// rank); 0 for none.
double Percentile(std::vector<double> values, double share);

// Adds b's counts and errors to a's.
void Accumulate(RoomScore& total, const RoomScore& room);

// One line of figures, and a line per miss and false arrival when detailed.
std::string Describe(const RoomScore& score, bool detailed);

}  // namespace halvane::score
