#pragma once

#include <string>
#include <vector>

namespace halvane {

// The command line of halvane-batch:
//   halvane-batch [--skip MS] [--display MS] [--window MS] FILE...
struct BatchOptions {
    std::string skipMs = "0";        // the answers as typed, read by the run like a typed answer
    std::string displayMs = "1000";
    std::string windowMs = "5";
    std::vector<std::string> files;
    bool help = false;
};

// Parses argv (without the program name). Returns false with error set for an
// unknown option, a missing value or a value that is not wholly a number.
bool ParseBatchOptions(const std::vector<std::string>& args, BatchOptions& options, std::string& error);

extern const char* const kBatchUsage;

}  // namespace halvane
