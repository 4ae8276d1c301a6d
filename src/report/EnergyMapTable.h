#pragma once

#include <ostream>
#include <string>

#include "values/EnergyMapQuantities.h"

namespace halvane {

// A time range as the tables and pictures name it: its label, then its
// limits in ms in their shortest form, "end" for the end of the decay:
// "direct 0-5 ms", "late 80 ms-end", "2.5-30 ms" for a range without a label.
std::string TimeRangeName(const TimeRange& range);

// The energy-map table: a header of quoted column names,
//
// "Az","El","direct 0-5 ms (dB)","early 5-80 ms (dB)","late 80 ms-end (dB)"
//
// (one column per map, in the set's order, named by TimeRangeName), then one
// line per cell of values/MapGrid.h in the order the map is drawn: from the
// top row (El 89) to the bottom (El -89), each from the left edge (Az 179)
// to the right (Az -179). Az and El are the cell centre's, whole degrees; the
// levels are the maps' levelDb, dB re the direct sound's peak, with 2
// decimals rounded to nearest (ties of the binary value to even), no minus
// sign on a value that rounds to zero; the floor is written as
// kEnergyMapFloorDb. Fields are separated by commas, CR LF after every line,
// "." as the decimal separator whatever the locale. A set without maps
// writes the two direction columns alone.
void WriteEnergyMapTable(std::ostream& out, const EnergyMapSet& set);

}  // namespace halvane
