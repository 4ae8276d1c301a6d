#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "values/ComparisonQuantities.h"

namespace halvane {

// The tables of a comparison of two responses A and B (values/
// ComparisonQuantities.h). Each: a header of quoted column names, one line
// per row, fields separated by commas, CR LF after every line, "." as the
// decimal separator whatever the locale, numbers with fixed decimals rounded
// half to even (report/ArrivalTable.h), an empty field for an empty value.

// The map differences: "Az","El", then one column per range,
// "early 5-80 ms B-A (dB)" (TimeRangeName), one line per cell in the order
// the energy-map table writes them (top row first, each from Az 179 to
// -179); 2 decimals, empty where both maps lie below the floor.
void WriteMapDifferenceTable(std::ostream& out, const std::vector<MapDifference>& maps);

// The room parameters of both:
// "band (Hz)","parameter","A","B","B-A","JND","beyond JND","not judged"
// one line per band and parameter (the parameter as the room-parameter table
// names it, "EDT (s)"), values with the decimals of that table (s 3, dB 2,
// ms 1, ratios 3), the JND as "5 %" or in the parameter's unit, "yes"
// where the difference exceeds it (empty otherwise), and, quoted, why a
// difference beyond it is not judged by it ("curved decay").
void WriteParameterComparisonTable(std::ostream& out, const std::vector<ParameterDifference>& parameters);

// The arrivals matched one to one:
// "match","A time (ms)","A level (dB)","A Az","A El","B time (ms)","B level (dB)","B Az","B El","change (dB)"
// match "both", "only A" or "only B"; B's times are in A's time (after the
// alignment); times 3 decimals, levels, directions and change 2; the fields
// of the side without the arrival empty, and the change for "both" only.
void WriteArrivalComparisonTable(std::ostream& out, const std::vector<ArrivalPair>& arrivals);

// The two tables' column names and one line's fields, unquoted, as they write
// them (for the report, which shows the same numbers).
std::vector<std::string> ParameterComparisonColumns();
std::vector<std::string> ParameterComparisonFields(const ParameterDifference& parameter);
std::vector<std::string> ArrivalComparisonColumns();
std::vector<std::string> ArrivalComparisonFields(const ArrivalPair& pair);

}  // namespace halvane
