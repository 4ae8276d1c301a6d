#pragma once

#include <ostream>

namespace halvane {

// The reference table: one row per strongly directional window of the
// direction pass, CR LF after every line, items separated by a single comma.

// "time (ms)","Az","El","I/D (dB)","Li (dB)"
void WriteReferenceHeader(std::ostream& out);

// TimeMs,Az,El,IDdB,Li with at most 15 significant digits, '.' as decimal
// separator, trailing zeros dropped (20,0,0,-3.01029995663981,17.7815125038364).
void WriteReferenceRow(std::ostream& out, double timeMs, double az, double el, double idDb, double li);

}  // namespace halvane
