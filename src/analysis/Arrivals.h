#pragma once

#include <vector>

#include "bformat/BFormatSignal.h"

namespace halvane {

// One sound arrival at the microphone: the direct sound or a reflection, at
// the full time resolution of the response.
//
// Directions: azimuth 0 straight ahead (+X), positive to the left (towards
// +Y), in (-180, 180]; elevation positive upwards, in [-90, 90]; degrees.
struct Arrival {
    double timeMs = 0;        // the peak of its energy envelope, from the file's first sample (sample 0 at 0 ms)
    double levelDb = 0;       // peak energy re the direct sound's (0 for the direct sound itself)
    double azDeg = 0;
    double elDeg = 0;
    double idDb = 0;          // 10 log10(|I| / De) over the direction window: -3.01 dB for a plane wave
    double diffuseness = 0;   // 1 - 2 |I| / De over the direction window: 0 for a plane wave, 1 for a diffuse field
};

struct ArrivalOptions {
    // The pseudo-intensity window centred on each arrival's peak. At least one
    // sample is always used.
    double directionWindowMs = 0.5;
    // A window more diffuse than this is reverberant tail, not an arrival
    // (0..1; 1 keeps every window).
    double maxDiffuseness = 0.5;
    // Arrivals more than this far below the direct sound are dropped.
    double floorDb = 40;
    // Half the length of the system's pulse as cut from the direct sound: long
    // enough for the pulse's ringing, short enough to leave out the first
    // reflection.
    double pulseHalfLengthMs = 1.0;
};

// The direct sound and the reflections of a first-order Ambisonic impulse
// response (AmbiX order, SN3D gains, full scale +-1), in time order, the
// direct sound first.
//
// The system's pulse is cut from the strongest arrival; every arrival is then
// found by matching that pulse, strongest first, in the omnidirectional
// channel and taking it out of all four channels before looking for the next
// one. An arrival's time is where its pulse fits best, to a fraction of a
// sample; its level is its fitted pulse amplitude re the direct sound's, in
// dB of peak energy; its direction, idDb and diffuseness come from the
// pseudo-intensity over directionWindowMs centred on it, in the signal with
// every other arrival's pulse taken out. Ripples and side lobes of a pulse are
// part of the pulse and so never show up as arrivals of their own.
//
// The direct sound is the earliest arrival within 20 dB of the strongest.
// Arrivals are searched down to floorDb below the strongest and kept down to
// floorDb below the direct sound (the strongest is the direct sound in nearly
// every room).
//
// Edges: a silent response, an empty one, a sample rate that is not positive
// and finite, or options that are not finite and positive (maxDiffuseness may
// be 0) give no arrivals. Non-finite samples count as zero. Only the standard
// library is used; the result does not depend on the averaging window of the
// tables.
std::vector<Arrival> FindArrivals(const BFormatSignal& signal, const ArrivalOptions& options);

}  // namespace halvane
