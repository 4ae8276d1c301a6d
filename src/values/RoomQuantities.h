#pragma once

#include <optional>
#include <string>
#include <vector>

namespace halvane {

// The plain values of the room-acoustic parameters (analysis/room/RoomParameters.h
// computes them, report/RoomParameterTable.h writes them, the summary picture
// plots their decay curves). This header includes nothing of the program's own.

// A straight line fitted by least squares to a stretch of a decay curve:
// level = interceptDb + slopeDbPerS * t, t in seconds from the start of the
// response, fitted over the points from fromS to toS.
struct DecayFit {
    double slopeDbPerS = 0;
    double interceptDb = 0;
    double fromS = 0;
    double toS = 0;
};

// The nominal band of the unfiltered response, labelled "all".
inline constexpr int kBroadband = 0;

// The Schroeder decay curve of W in one band, for plotting: levelDb[i] at
// timeS[i], seconds from the start of the response (which lies startS into
// the file), every millisecond or so (a whole number of frames), up to the
// crossing point (see EnergyDecay::Curve). 0 dB is the energy from the start
// on; the noise is removed as EnergyDecay describes.
struct DecayCurve {
    double startS = 0;
    std::vector<double> timeS;
    std::vector<double> levelDb;
    double crossingS = 0;     // where the late decay meets the noise
    double decayRangeDb = 0;  // the curve's depth there; 0 when no decay was found
};

struct BandParameters {
    std::string band;   // "125" ... "4000", or "all"
    int nominalHz = 0;  // kBroadband for "all"
    std::optional<double> edtS, t20S, t30S, c50Db, c80Db, d50, tsMs, lf, lfc;
    DecayCurve decay;
    // The lines behind EDT, T20 and T30, present with their values.
    std::optional<DecayFit> edtFit, t20Fit, t30Fit;
};

}  // namespace halvane
