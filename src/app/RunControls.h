#pragma once

#include <cstdint>
#include <optional>

#include "analysis/SharedState.h"

namespace halvane {

// The run controls: each only writes the shared state and returns; a run
// under way reads the state when it yields between windows. They work the
// same when no run is under way (the next run clears the flags).

inline void PauseRun(SharedState& state) { state.Paused = true; }
inline void ResumeRun(SharedState& state) { state.Paused = false; }
inline void StopRun(SharedState& state) { state.StopRequested = true; }

// The averaging window under a press at x ms on the time strip:
// x / averagingWindowMs - 0.49999 rounded half to even, so a press in the
// last hundred-thousandth of a window already counts as the next one.
// Nothing when the quotient is not a finite number (an averaging window of
// 0 before the first run) or the index does not fit 32 bits.
std::optional<std::int32_t> JumpIndexAt(float xMs, double averagingWindowMs);

// A press on the time strip: while paused, asks the direction pass to go on
// with the window under the pointer; otherwise, or when JumpIndexAt gives
// nothing, the press is ignored.
void PressOnStrip(SharedState& state, float xMs);

}  // namespace halvane
