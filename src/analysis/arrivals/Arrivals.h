#pragma once

#include <optional>
#include <vector>

#include "bformat/BFormatSignal.h"
#include "values/Arrival.h"

namespace halvane {

// One sound arrival at the microphone: the direct sound or a reflection, at
// the full time resolution of the response.
//
// Directions: azimuth 0 straight ahead (+X), positive to the left (towards
// +Y), in [-180, 180]; elevation positive upwards, in [-90, 90]; degrees.

struct ArrivalOptions {
    // The pseudo-intensity window centred on each arrival's peak (> 0). At
    // least one sample is always used.
    double directionWindowMs = 0.5;
    // A window more diffuse than this is reverberant tail, not an arrival
    // (0..1, 1 keeps every window). A reflection 10 dB above the tail around
    // it measures about 0.1; a measured direct sound, through a real
    // microphone, up to about 0.3.
    double maxDiffuseness = 0.4;
    // Arrivals more than this far below the direct sound are dropped (> 0).
    double floorDb = kArrivalFloorDb;
    // Half the length of the system's pulse as cut from the direct sound: long
    // enough for the pulse's ringing, short enough to leave out the first
    // reflection (> 0). The cut ends earlier where the next arrival begins.
    double pulseHalfLengthMs = 1.0;
    // Frequencies below this are left out of every estimate: each channel
    // less its triangular-weighted moving average over 1 / lowCutHz, a
    // symmetric high-pass passing 0.6 of the amplitude at lowCutHz and all of
    // it from twice that. Loudspeaker ringing and room modes down there have
    // no time resolution to give, and a short filter keeps what it takes from
    // each pulse within the pulse's own length. Levels are then those of the
    // band above. 0 keeps everything; a value at or above a quarter of the
    // sample rate is ignored.
    double lowCutHz = 1000;
};

// The direct sound and the reflections of a first-order Ambisonic impulse
// response (AmbiX order, SN3D gains, full scale +-1), in time order, the
// direct sound first. Independent of the tables' averaging window.
//
// The system's pulse is cut from the strongest arrival; arrivals are then
// found by matching that pulse in W, strongest first, and taking each match
// out of all four channels before looking for the next (see Arrivals.cpp).
// - timeMs: where the arrival's pulse fits best, to a small fraction of a
//   sample, placed at the peak of the pulse's energy envelope.
// - levelDb: the peak of the arrival's fitted pulse in W re the direct
//   sound's, in dB of peak energy (20 log10 of the amplitude ratio).
// - azDeg, elDeg, idDb, diffuseness: from the pseudo-intensity over
//   directionWindowMs centred on the arrival, in the signal with every other
//   arrival's pulse taken out; direction Az = atan2(Iy, Ix), El = asin(Iz / |I|).
// Not arrivals: the side lobes and ripple of a stronger pulse (they are part
// of it), a window more diffuse than maxDiffuseness (reverberant tail), and
// copies more than 25 dB below a stronger arrival less than 3 ms away (what
// a surface's or the microphone's filtering adds to a pulse). Copies within
// 0.25 ms and 10 degrees of a stronger one are part of it (a widened pulse).
//
// The direct sound is the earliest arrival within 20 dB of the strongest.
// Arrivals are searched down to floorDb below the strongest and kept down to
// floorDb below the direct sound (the strongest is the direct sound in nearly
// every room).
//
// Edges: a silent response, an empty one, a sample rate that is not positive
// and finite, or options that are not finite and in range give no arrivals.
// Non-finite samples count as zero. Channels of unequal length are read to
// the shortest.
std::vector<Arrival> FindArrivals(const BFormatSignal& signal, const ArrivalOptions& options);

// The speed of sound for the arrivals' path lengths: 343 m/s, or
// 331.3 x sqrt(1 + T / 273.15) for an air temperature T in deg C.
double SpeedOfSoundMPerS(const std::optional<double>& temperatureC);

}  // namespace halvane
