#pragma once

// The batch command run from a test through the shell, its standard output
// and standard error together, bounded in time (a hang fails the test).
#include <string>

#include "support/RunCommand.h"

namespace halvane::test {

struct BatchRun {
    int status = -1;
    std::string out;
};

// environment: assignments put before the command ("env A=1 B=2"), or empty.
inline BatchRun Batch(const std::string& args, const std::string& environment = "")
{
    const testing::CommandResult r =
        testing::RunShell((environment.empty() ? "" : environment + " ") + HALVANE_BATCH + " " + args);
    return {r.exitStatus, r.out};
}

}  // namespace halvane::test
