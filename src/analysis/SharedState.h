#pragma once

#include <cstdint>
#include <string>

namespace halvane {

// The record the main window owns and every handler shares. It is the only
// channel between the file picker, the run controls and a run under way, and
// it keeps the four parameters from one run to the next. Nothing is saved.
struct SharedState {
    bool Paused = false;           // the direction pass halts after the current window
    bool StopRequested = false;    // the direction pass ends between two windows
    std::string IrFileName;        // path of the chosen impulse response, as the dialog gave it
    std::int32_t JumpIndex = 0;    // window (counted from time 0) to jump to; 0: no jump
    double DisplayWindowMs = 0;    // length of the displayed stretch; 0: not yet set (default 1000)
    double AveragingWindowMs = 0;  // length of one averaging window; 0: not yet set (default 5)
    double SkipMs = 0;             // initial delay removed; 0 is a legitimate value
    double PauseMs = 0;            // wait after each displayed window; 0: not yet set (default 1)
};

}  // namespace halvane
