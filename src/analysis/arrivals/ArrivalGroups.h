#pragma once

#include <vector>

#include "analysis/arrivals/DirectPulse.h"
#include "values/Arrival.h"

namespace halvane {

// One arrival as the pursuit's copies make it, before the list is chosen.
// Its time, direction and diffuseness are as the list gives them (times in
// ms from the first sample the pursuit saw); its level is not yet set.
struct Candidate {
    Arrival arrival;
    double energy = 0;      // W over the 0.5 ms level window, every other arrival taken out
    double standOutDb = 0;  // W's 0.5 ms energy at it over the median of the same around it
    bool direct = false;    // the direct sound: the arrival of the copy at the pulse's own place
};

// Arrivals that stand out of the response around them by this much are
// reflections however diffuse their window reads (see StandOutDb in
// ArrivalGroups.cpp); the reverberant tail's own peaks never do.
inline constexpr double kListedStandOutDb = 10.0;

// The arrivals of a pursuit's copies, in time order. Copies close together
// are one arrival: those within 0.25 ms of a stronger one when either's
// direction is unclear (its window more diffuse than 0.1; a measured pulse's
// own parts point every way), those linked by 0.5 ms or less from within 15
// degrees of its strongest (a surface filtered and widened the pulse); and
// an arrival 15 dB or more weaker than a stronger one within 1.5 ms is what
// that one leaves of itself, counted in its energy and direction but not in
// its time. Each is then described over its own windows, every other arrival
// taken out:
// - its time: the peak of the energy envelope of its copies in W together;
// - its energy: W's over the 0.5 ms window, placed where it is largest within
//   a quarter millisecond of that time (a smeared reflection carries its
//   energy on after its pulse);
// - its direction: the figure-of-eights read against its own omni pulse,
//   which the tail, the noise and what no copy explains do not correlate
//   with; its I/D and diffuseness: the whole direction window's.
// levelEnergy holds W's energy over the level window at every sample of the
// pursued channels (MovingEnergy), for how far each arrival stands out.
// Empty when the direct sound's own arrival cannot be described.
std::vector<Candidate> Candidates(const Pursued& pursued, const std::vector<double>& levelEnergy, double rateHz,
                                  double centreSamples);

}  // namespace halvane
