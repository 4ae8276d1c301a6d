#pragma once

#include <vector>

#include "values/Arrival.h"
#include "values/EnergyMapQuantities.h"

namespace halvane {

// The radius of an arrival's ring on the map, in degrees of azimuth: louder
// is larger, from kSmallestArrivalMarkDeg at floorDb below the direct sound
// (and beneath) to kLargestArrivalMarkDeg at the direct sound's level (and
// above), linear in dB between. A floorDb that is not positive and finite,
// or a level that is not a number, gives the smallest ring.
inline constexpr double kSmallestArrivalMarkDeg = 3;
inline constexpr double kLargestArrivalMarkDeg = 9;
double ArrivalMarkRadiusDeg(double levelDb, double floorDb);

// The arrivals that lie in a map's range: their time after the maps' onset
// (arrival.timeMs - onsetMs, both from the file's first frame) at least the
// range's fromMs and below its end (map.toMs); a range that begins at 0 ms
// also holds the arrivals before the onset (the direct sound's peak may lie
// a frame before the point the onset is measured at). In the order given.
std::vector<Arrival> ArrivalsInRange(const std::vector<Arrival>& arrivals, const EnergyMap& map, double onsetMs);
// The same arrivals by their places in the list, for what goes with each (its name).
std::vector<std::size_t> ArrivalRowsInRange(const std::vector<Arrival>& arrivals, const EnergyMap& map, double onsetMs);

}  // namespace halvane
