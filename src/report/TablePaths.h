#pragma once

#include <string>

namespace halvane {

// The intensity table lies next to the input: the input's path without its
// last three characters, followed by "csv" (hall.wav -> hall.csv,
// hall.wave -> hall.wcsv, hall -> hcsv). Characters, not bytes, are counted,
// so a name ending in a multi-byte UTF-8 character is cut whole.
std::string IntensityTableName(const std::string& irFileName);

// The reference table: the input's path without its last four characters,
// followed by "_ref.csv" (hall.wav -> hall_ref.csv).
std::string ReferenceTableName(const std::string& irFileName);

}  // namespace halvane
