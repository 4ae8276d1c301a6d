#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "bformat/BFormatSignal.h"
#include "bformat/BFormatSource.h"
#include "values/Arrival.h"
#include "values/Cancellation.h"

namespace halvane {

// The sound arrivals of a first-order Ambisonic impulse response (AmbiX
// order, SN3D gains, full scale +-1): the direct sound and the reflections,
// at the full time resolution of the response, independent of the tables'
// averaging window.
//
// Directions: azimuth 0 straight ahead (+X), positive to the left (towards
// +Y), in [-180, 180]; elevation positive upwards, in [-90, 90]; degrees.
//
// The band: every time, level and direction comes from the response above
// lowCutHz (1 kHz by default), where a pulse is short enough to be timed;
// the room's modes and the loudspeaker's low ringing below it have no time
// resolution to give.

struct ArrivalOptions {
    // The pseudo-intensity window centred on each arrival (> 0). At least one
    // sample is always used.
    double directionWindowMs = 0.5;
    // Reflections whose direction window is more diffuse than this are listed
    // only when they stand out of the response around them (see below; 0..1,
    // 1 lists every one). The direct sound is listed whatever its
    // diffuseness. Raising it only ever adds rows. A clear reflection of a
    // measured room, through a real microphone, reads 0.1 to 0.4; one with a
    // neighbour overlapping its window up to about 0.7.
    double maxDiffuseness = 0.5;
    // Arrivals more than this far below the direct sound are not listed (> 0).
    double floorDb = kArrivalFloorDb;
    // The longest the system's pulse is taken to be on either side of its
    // peak (> 0). It is cut shorter where the response shows the next
    // arrival beginning.
    double pulseHalfLengthMs = 1.0;
    // Frequencies below this are left out of every estimate (see above): each
    // channel less its triangular-weighted moving average over 1 / lowCutHz,
    // a symmetric high-pass passing 0.6 of the amplitude at lowCutHz and all
    // of it from twice that, whose impulse response stays within the pulse's
    // own length. 0 keeps everything; a value at or above a quarter of the
    // sample rate is ignored.
    double lowCutHz = 1000;
};

// What the arrival analysis found, with what a reader of the list should know.
struct ArrivalFindings {
    // In time order, the direct sound first (see FindArrivals).
    std::vector<Arrival> arrivals;
    // The direct sound reached full scale in some channel: its level, and so
    // every level re it, is lower than the sound's, but it is still the
    // reference.
    bool directClipped = false;
    // Arrivals after the direct sound that were stronger than it, left out of
    // the list; the strongest of them in dB above the direct sound, and its
    // time. In a room this happens only where the direct path is blocked.
    std::size_t strongerThanDirect = 0;
    double strongestAboveDirectDb = 0;
    double strongestAboveDirectMs = 0;
    // No clear onset (the response before the direct sound is not far below
    // it) or no decay after it: the input is probably not an impulse
    // response, and only its direct sound is listed.
    bool notAnImpulseResponse = false;
    // Samples that were not finite numbers, counted as zero.
    std::size_t nonFiniteSamples = 0;
    // The analysis stopped as asked before its end: the list is not complete.
    bool stopped = false;
};

// The direct sound and the reflections, in time order, the direct sound
// first.
//
// The direct sound is found first, from W alone, before anything is left
// out: it is the first stretch whose energy over 0.5 ms comes within 20 dB of
// the strongest stretch's (analysis/convention/DirectSound.h), at that
// stretch's peak. It is listed whatever its diffuseness or clipping; a
// clipped direct sound is restored from the band the rest of the recording
// holds before anything is timed or levelled by it.
//
// The system's pulse is cut from the direct sound, as long as it rings and no
// longer than the next arrival allows. Copies of it are then found in W,
// strongest first, and each taken out of all four channels before the next is
// looked for (matching pursuit); a copy must stand out from the response
// around it to count. Copies close together are one arrival: a reflection
// that a surface has filtered or smeared is several copies from one
// direction, and what a much stronger arrival leaves around itself is part of
// it. For each arrival:
// - timeMs: the peak of the energy envelope of its copies in W, each placed
//   to a small fraction of a sample (a lone copy: the pulse's own peak);
// - levelDb: its own energy in W over 0.5 ms, every other arrival taken out,
//   where that energy is largest within a quarter millisecond of its time,
//   re the direct sound's measured alike (10 log10 of the ratio), so that a
//   filtered copy reads at its energy;
// - azDeg, elDeg: the pseudo-intensity over directionWindowMs of its own omni
//   pulse against the figure-of-eights (Az = atan2(Iy, Ix),
//   El = asin(Iz / |I|)); idDb and diffuseness (1 - 2 |I| / De): the whole
//   window's, every other arrival taken out (ArrivalGroups.h).
// Listed: the direct sound, and every later arrival down to floorDb below it
// that is no more diffuse than maxDiffuseness or stands out of the response
// around it (W's 0.5 ms energy at it at least 10 dB above the median of the
// same from 1 to 5 ms either side). An arrival stronger than the direct sound
// is counted in the findings, not listed.
//
// Cost: linear in the length of the response, and it holds only the stretch
// it searches. The search ends where the response has decayed below the
// floor, at most 3 s after the direct sound; an input with no onset or no
// decay lists at most its first loud sound.
//
// Edges: a silent response, an empty one, a sample rate that is not positive
// and finite, or options that are not finite and in range give no arrivals.
// Non-finite samples count as zero. Channels of unequal length are read to
// the shortest. Every listed time lies within the response.
//
// stop is polled between blocks of work (at most some tens of milliseconds
// apart); once it is requested the analysis returns at once with stopped set
// and no arrivals.
ArrivalFindings AnalyseArrivals(const BFormatSource& source, const ArrivalOptions& options,
                                const Cancellation& stop = Cancellation::Never());
ArrivalFindings AnalyseArrivals(const BFormatSignal& signal, const ArrivalOptions& options,
                                const Cancellation& stop = Cancellation::Never());

// The arrivals alone (AnalyseArrivals(...).arrivals).
std::vector<Arrival> FindArrivals(const BFormatSignal& signal, const ArrivalOptions& options);

// The speed of sound for the arrivals' path lengths: 343 m/s, or
// 331.3 x sqrt(1 + T / 273.15) for an air temperature T in deg C.
double SpeedOfSoundMPerS(const std::optional<double>& temperatureC);

}  // namespace halvane
