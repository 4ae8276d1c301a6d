#pragma once

#include <cmath>

namespace halvane {

// One arrival: the direct sound or a reflection (analysis/arrivals/Arrivals.h
// finds them, report/ArrivalTable.h writes them, the summary picture plots
// them), and the rules of which arrivals count. This header includes nothing
// of the program's own.
struct Arrival {
    double timeMs = 0;   // the peak of its energy envelope, from the file's first sample (sample 0 at 0 ms)
    double levelDb = 0;  // peak energy re the direct sound's (0 for the direct sound itself)
    double azDeg = 0;
    double elDeg = 0;
    double idDb = 0;         // 10 log10(|I| / De) over the direction window: -3.01 dB for a plane wave
    double diffuseness = 0;  // 1 - 2 |I| / De over the direction window: 0 for a plane wave, 1 for a diffuse field
};

// Arrivals more than this far below the direct sound are left out unless the
// user asks for another floor (halvane-batch --floor), in dB.
inline constexpr double kArrivalFloorDb = 40;

// The direct sound is the earliest arrival, or the first window, within this
// many dB of the strongest: the strongest is often an early or focused
// reflection, a little louder than the direct sound; anything earlier and
// further down is noise or the ramp of a filter.
inline constexpr double kDirectSoundWithinDb = 20;

// The least energy (a sum of squares) the direct sound may have when the
// strongest has loudestEnergy: loudestEnergy / 100. 20 dB in energy is a
// factor of 100 exactly, and dividing by it keeps an exact energy's
// threshold exact, which a multiplication by 10^-2 would not.
static_assert(kDirectSoundWithinDb == 20, "DirectSoundLeastEnergy divides by 10^(20/10)");
inline double DirectSoundLeastEnergy(double loudestEnergy) { return loudestEnergy / 100.0; }

// The least amplitude (a peak, not squared) the direct sound may have when
// the strongest has largestAmplitude: largestAmplitude x 10^(-20/20).
inline double DirectSoundLeastAmplitude(double largestAmplitude)
{
    return largestAmplitude * std::pow(10.0, -kDirectSoundWithinDb / 20.0);
}

}  // namespace halvane
