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

// The name a band's run goes by, beside the input, so that its tables carry
// the band: hall.wav -> hall_500Hz.wav, whose tables are hall_500Hz.csv and
// hall_500Hz_ref.csv. The broadband tables keep their names.
std::string BandFileName(const std::string& irFileName, int nominalHz);

}  // namespace halvane
