#pragma once

#include <string>
#include <vector>

namespace halvane {

// One file an input's run writes, and what it is called in messages
// ("table", "reflection list", "room-parameter table", "picture").
struct PlannedOutput {
    std::string kind;
    std::string path;
};

// What one input of a batch command will write, in the order it is written
// (batch/BatchJob.h describes it).
struct PlannedOutputs {
    std::string input;
    std::vector<PlannedOutput> outputs;
};

// Why an input's run must not start: one of its outputs cannot be created
// (ReplacingFile::CanCreate: a missing or unwritable folder, a folder or pipe
// at its name), is an input of the command, another output of its own, or an
// output of an earlier input. Checked before any analysis starts, so that a
// mistyped folder costs no search.
// Files are compared by identity, not by spelling: the device and inode of
// what exists (links followed), the resolved path of what does not exist yet.
// Returns one message per input, empty where the run may go ahead.
std::vector<std::string> CheckOutputPlan(const std::vector<PlannedOutputs>& plan);

}  // namespace halvane
