#pragma once

#include <vector>

#include "display/summary/PlotFrame.h"
#include "values/Arrival.h"

namespace halvane {

class DrawingSurface;

// The reflectogram's axes. Time: the arrivals' times in ms with a margin of
// 5 % of their spread (at least 1 ms) on either side, never before 0, widened
// to whole ticks (NiceTicks, at least 5 intervals); 0 to 100 ms without
// arrivals. Level in dB re the direct sound: from floorDb below it (at the
// bottom) to 0, or higher when an arrival is louder than the direct sound,
// widened to whole ticks (at least 4 intervals); a floorDb that is not
// positive and finite counts as 40.
AxisTicks ReflectogramTimeAxis(const std::vector<Arrival>& arrivals);
AxisTicks ReflectogramLevelAxis(const std::vector<Arrival>& arrivals, double floorDb);

// Where the reflectogram's data rectangle lies on its surface: room above
// for the title, the azimuth legend and the arrivals' numbers, below for the
// time axis.
inline constexpr PlotMarginsPx kReflectogramMarginsPx{36, 36, 12, 34};

// The reflectogram on a white surface: one stem per arrival at its time,
// rising from the bottom of the level axis to the arrival's level re the
// direct sound, 3 px wide, with a dot at its top, both in AzimuthColour of
// its azimuth; the loudest drawn first, so that a softer stem close to it
// stays visible in front. Each arrival's number (as on the map) above its
// dot where it finds room, the loudest first. Title ("Reflectogram", and the
// band when bandHz > 0), axis numbers and captions with units, grid, and a
// legend of the azimuth colours (180 to -180 degrees left to right, as the
// map runs) at the top right. Without arrivals the empty axes say so.
void DrawReflectogram(DrawingSurface& surface, const std::vector<Arrival>& arrivals, double floorDb, int bandHz,
                      char decimalSeparator);

}  // namespace halvane
