#pragma once

#include <QString>

#include <optional>
#include <vector>

#include "values/Arrival.h"

namespace halvane {

// What the pointer finds on the results window's energy map, from the
// map's values rather than its pixels. Directions in degrees as everywhere
// (azimuth positive to the left, elevation upwards); the map is drawn with
// +180 at its left edge, as the main window's map.

// The level of the map's cell holding the direction (values/MapGrid.h),
// levelDb holding kMapCells levels; nothing when it does not.
std::optional<double> MapLevelAt(const std::vector<double>& levelDb, double azDeg, double elDeg);

// The readout under the pointer: "Az 12.3°  El -4.5°  -6.1 dB", angles and
// the level with one decimal (a point, whatever the locale), the level left
// out when there is none, "no energy" for a cell on kEnergyMapFloorDb, and
// "(below the range shown)" after a level under the dynamic range rangeDb.
QString MapReadout(double azDeg, double elDeg, std::optional<double> levelDb, double rangeDb);

// How far outside its ring a press still takes an arrival, in degrees: the
// ring's own drawn width.
inline constexpr double kRingGrabDeg = 1.5;

// The arrival whose ring (display/maps/ArrivalRings.h: ArrivalMarkRadiusDeg
// with floorDb) holds the direction on the map, measured in the map's plane
// (the azimuth's difference taken across the +-180 seam); of several, the
// one whose centre is nearest, and of equals the later in the list (drawn
// on top). Its place in the list, or -1 when no ring holds the direction.
int ArrivalRingAt(const std::vector<Arrival>& arrivals, double floorDb, double azDeg, double elDeg);

}  // namespace halvane
