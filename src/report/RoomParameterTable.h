#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "values/RoomQuantities.h"

namespace halvane {

// The room-parameter table: the header line
//   "band (Hz)","EDT (s)","T20 (s)","T30 (s)","C50 (dB)","C80 (dB)","D50","Ts (ms)","LF","LFC"
// then one line per row in the order given (ComputeRoomParameters gives 125 ...
// 4000 and "all"), the band label unquoted, fields separated by commas, CR LF
// after every line. Values are written in fixed notation with '.' whatever the
// locale: seconds with 3 decimals, dB with 2, D50, LF and LFC with 3, Ts in ms
// with 1, rounded to nearest (ties of the binary value to even); a value that
// rounds to zero carries no minus sign. An empty value leaves its field empty.
void WriteRoomParameterTable(std::ostream& out, const std::vector<BandParameters>& rows);

// The header's ten column names, unquoted ("band (Hz)", "EDT (s)", ...), and
// one row's ten fields exactly as the table writes them (the report prints
// the table's own numbers).
const std::vector<std::string>& RoomParameterColumns();
std::vector<std::string> RoomParameterFields(const BandParameters& row);

}  // namespace halvane
