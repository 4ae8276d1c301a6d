#pragma once

#include <optional>
#include <string>
#include <vector>

#include "values/Arrival.h"
#include "values/EnergyMapQuantities.h"

namespace halvane {

// The plain values of a comparison of two responses A and B
// (analysis/compare/Comparison.h makes it, report/ComparisonTables.h writes
// it): B aligned to A, then the difference of their energy maps, of their
// room parameters and of their arrivals.

// One time range's map difference: per cell of values/MapGrid.h, B's level
// less A's in dB; empty where both lie below the comparison's floor.
struct MapDifference {
    TimeRange range;
    std::vector<std::optional<double>> differenceDb;  // kMapCells values
};

// One room parameter of one band in both responses.
struct ParameterDifference {
    std::string band;       // "125" ... "4000", "all"
    std::string parameter;  // "EDT (s)", "C80 (dB)", ...
    std::optional<double> a, b;
    std::optional<double> difference;  // b - a, when both are present
    // The just noticeable difference it is judged by: relative (a share of
    // A's value) or absolute (in the parameter's unit).
    double jnd = 0;
    bool relativeJnd = false;
    bool beyondJnd = false;  // |difference| above the JND, where it is judged
    // Why the difference is not judged by the JND, when it is not: "curved
    // decay" (a reverberation time of a decay that is no straight line) or
    // "no audible late energy" (a clarity whose late share hardly moves).
    std::string notJudged;
};

enum class ArrivalMatch { Both, OnlyA, OnlyB };

// An arrival of A, of B, or of both matched one to one.
struct ArrivalPair {
    ArrivalMatch match = ArrivalMatch::Both;
    std::optional<Arrival> a, b;          // B's time in A's time (aligned)
    std::optional<double> levelChangeDb;  // for Both: B's level less A's
};

struct Comparison {
    double lagMs = 0;                   // how much later B's direct sound came than A's (B was moved earlier by it)
    std::optional<double> rotationDeg;  // the angle B was turned by, when asked to turn it
    bool calibrated = false;            // levels compared as they are, not each re its own direct sound
    std::vector<MapDifference> maps;
    std::vector<ParameterDifference> parameters;  // band by band, each band's parameters in the table's order
    std::vector<ArrivalPair> arrivals;            // in time order
};

}  // namespace halvane
