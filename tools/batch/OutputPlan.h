#pragma once

#include <string>
#include <vector>

namespace halvane {

// What one input of a batch command will write: its two tables and, for the
// one input of --reflections and --png, the list and the picture.
struct PlannedOutputs {
    std::string input;
    std::vector<std::string> outputs;  // in the order they are written
    std::vector<std::string> kinds;    // "table", "reflection list", "picture", one per output
};

// Why an input's run must not start: one of its outputs is an input of the
// command, another output of its own, or an output of an earlier input.
// Files are compared by identity, not by spelling: the device and inode of
// what exists (links followed), the resolved path of what does not exist yet.
// Returns one message per input, empty where the run may go ahead.
std::vector<std::string> CheckOutputPlan(const std::vector<PlannedOutputs>& plan);

}  // namespace halvane
