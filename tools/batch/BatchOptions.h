#pragma once

#include <optional>
#include <string>
#include <vector>

#include "bformat/Result.h"

namespace halvane {

// The command line of halvane-batch:
//   halvane-batch [--skip MS] [--display MS] [--window MS] FILE...
//   halvane-batch [...] --reflections OUT.csv [--floor DB] [--temperature C] FILE
//   halvane-batch [...] --png OUT.png [--background PANORAMA.jpg] FILE
struct BatchOptions {
    std::string skipMs = "0";        // the answers as typed, read by the run like a typed answer
    std::string displayMs = "1000";
    std::string windowMs = "5";
    std::vector<std::string> files;
    unsigned jobs = 1;               // -j: files analysed side by side (default: the processor's cores)
    bool help = false;
    bool version = false;
    std::string reflectionsPath;         // --reflections: the reflection list of the one FILE
    double floorDb = 40;                 // --floor: how far below the direct sound a reflection may lie
    std::optional<double> temperatureC;  // --temperature: air temperature for the speed of sound
    std::string pngPath;                 // --png: the summary picture of the one FILE
    std::string backgroundPath;          // --background: a JPEG panorama behind the summary's map
};

// Parses argv (without the program name). Fails, saying why, for an unknown
// option, a missing value, a value that is not wholly a number, or options
// that do not go together.
Result<BatchOptions> ParseBatchOptions(const std::vector<std::string>& args);

extern const char* const kBatchUsage;

}  // namespace halvane
