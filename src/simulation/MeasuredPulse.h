#pragma once

// The system pulse of a measured response: its direct sound, cut short of the
// first reflection, in W and in the three figure-of-eight channels as the
// microphone gave them.

#include <array>
#include <string>
#include <vector>

#include "bformat/BFormatSignal.h"
#include "simulation/Direction.h"
#include "values/Result.h"

namespace halvane::simulation {

// Where the direct sound is cut, in ms from the peak of W's energy envelope:
// from beforeMs before it to afterMs after it, the first and last fadeMs
// faded in and out by half a Hann window (fadeMs <= beforeMs, afterMs).
struct PulseCut {
    double beforeMs = 0.25;
    double afterMs = 0.5;
    double fadeMs = 0.1;
};

struct MeasuredPulse {
    std::string name;
    double rateHz = 0;
    std::vector<double> w;                   // W over the cut
    std::array<std::vector<double>, 3> xyz;  // X, Y, Z over the cut, SN3D
    // The cut's own direction: the unit vector along the pseudo-intensity
    // sum over the cut of W (X, Y, Z).
    Vector3 axis{1, 0, 0};
    double peakSamples = 0;  // W's energy envelope peak, from w[0]
};

// Cuts the direct sound from an AmbiX/SN3D recording: the largest |W| marks
// it; W's energy envelope over 5 ms either side of that sample gives the peak
// the cut is placed from. Fails when the recording is silent, its rate is not
// positive, or the cut does not fit inside it.
Result<MeasuredPulse> CutDirectPulse(const BFormatSignal& recording, const PulseCut& cut, std::string name);

// The measured responses the measured-like rooms take their pulses from, and
// where each is cut (the shared data folder's README gives their provenance).
// Each cut ends before the first sound from another direction:
// - Koli (outdoors, snow): the ground reflection sets in about 0.45 ms after
//   the direct peak (its own peak 0.87 ms after), from 25-35 degrees down.
// - St Andrew's Church: from 0.6 ms a reflection from 14 degrees up, and at
//   1.27 ms a strong one from near the source.
// - Tyndall Bruce Monument: from 0.4 ms the direction swings 40 degrees and a
//   reflection from 15 degrees to the right follows at 0.6 ms.
// The fourth measured file, Rymer, is left out: its direct sound clips in two
// channels, so its pulse is not the system's.
struct RecordedPulse {
    const char* name;
    const char* fileName;  // in the real-data folder; traditional B-format (FuMa)
    PulseCut cut;
};
inline constexpr std::array<RecordedPulse, 3> kRecordedPulses{{
    {"koli", "koli_snow_site1_1way_bformat.wav", {0.25, 0.42, 0.1}},
    {"st-andrews", "St_Andrews_church_000_bformat_48k.wav", {0.25, 0.56, 0.12}},
    {"tyndall", "tyndall_bruce_b_format.wav", {0.25, 0.40, 0.1}},
}};

}  // namespace halvane::simulation
