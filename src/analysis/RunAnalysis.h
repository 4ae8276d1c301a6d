#pragma once

#include <cstdint>
#include <string>

#include "analysis/RunDialogue.h"
#include "analysis/RunDisplay.h"
#include "analysis/RunObserver.h"
#include "analysis/SharedState.h"
#include "files/InputSource.h"
#include "report/TableStorage.h"

namespace halvane {

// How a run ended.
enum class RunOutcome {
    Completed,  // both passes ran to their end
    Stopped,    // the user stopped the direction pass
    Rejected,   // the input, a table or a parameter was refused; a warning was shown
    Closed,     // the window was closed during the run; it stopped without another step
};

struct RunReport {
    RunOutcome outcome = RunOutcome::Completed;
    std::string message;                // the warning shown, when Rejected
    std::string intensityTablePath;     // empty when not created
    std::string referenceTablePath;     // empty when not created
    std::int64_t intensityRows = 0;     // data rows written to the intensity table
    std::int64_t referenceRows = 0;     // data rows written to the reference table
    std::int64_t directionWindows = 0;  // windows computed by the direction pass
};

// One complete analysis of state.IrFileName: defaults, the four prompts, the
// intensity pass and its table, the direction pass and the reference table.
// Reads and writes the shared state; talks to the person only through the
// dialogue, shows its progress only through the display and reports its
// windows only through the observer; opens the input only through input and
// writes the tables only through tables. The input path is taken once, when
// the run starts.
RunReport RunAnalysis(SharedState& state, RunDialogue& dialogue, InputSource& input, TableStorage& tables,
                      RunDisplay& display = RunDisplay::None(), RunObserver& observer = RunObserver::None());

}  // namespace halvane
