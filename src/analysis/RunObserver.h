#pragma once

#include "values/WindowQuantities.h"

namespace halvane {

// What a run reports as it goes, for whoever keeps more of it than the
// tables do (the reflection list, the summary picture). Every report does
// nothing by default.
class RunObserver {
public:
    virtual ~RunObserver() = default;

    // Each window of the intensity pass, right after its row is written:
    // its index (counted from time 0), its start in ms and its sums.
    virtual void WindowSummed(double windowIndex, double timeMs, const WindowSums& sums)
    {
        (void)windowIndex;
        (void)timeMs;
        (void)sums;
    }
    // Each window of the direction pass, as computed (whether or not it is
    // shown or written), before the run waits after it.
    virtual void DirectionComputed(double windowIndex, const DirectionQuantities& direction)
    {
        (void)windowIndex;
        (void)direction;
    }

    // An observer that keeps nothing.
    static RunObserver& None();
};

}  // namespace halvane
