#pragma once

#include <ostream>

#include "values/WindowQuantities.h"

namespace halvane {

// The intensity table: one line per window of the intensity pass, CR LF after
// every line, items separated by a single comma.

// "De","Ix","Iy","Iz"
void WriteIntensityHeader(std::ostream& out);

// De,Ix,Iy,Iz as accumulated: plain integers for 16-bit sums, at most 7
// significant digits for single-precision sums, '.' as decimal separator.
void WriteIntensityRow(std::ostream& out, const WindowSums& sums);

}  // namespace halvane
