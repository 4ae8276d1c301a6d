#pragma once

#include <vector>

#include "analysis/RunObserver.h"

namespace halvane {

// Keeps what a run reports: every window of the intensity pass with its
// sums, and every window the direction pass computed. The reflection list
// and the summary picture are made from it, so they use exactly the tables'
// windows. Memory grows with the run: about 80 bytes a window.
class RunSummary final : public RunObserver {
public:
    struct SummedWindow {
        double windowIndex = 0;  // counted from time 0
        double timeMs = 0;       // the window's start
        WindowSums sums;
    };

    void WindowSummed(double windowIndex, double timeMs, const WindowSums& sums) override
    {
        m_summed.push_back({windowIndex, timeMs, sums});
    }
    void DirectionComputed(double, const DirectionQuantities& direction) override { m_directions.push_back(direction); }

    const std::vector<SummedWindow>& IntensityWindows() const { return m_summed; }
    const std::vector<DirectionQuantities>& DirectionWindows() const { return m_directions; }

private:
    std::vector<SummedWindow> m_summed;
    std::vector<DirectionQuantities> m_directions;
};

}  // namespace halvane
