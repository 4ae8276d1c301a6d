#pragma once

#include <vector>

#include "analysis/RunObserver.h"
#include "analysis/SharedState.h"
#include "values/AnalysisResults.h"

namespace halvane {

// Keeps what a run reports: every window of the intensity pass with its
// sums, and every window the direction pass computed. The reflection list
// and the summary picture are made from it, so they use exactly the tables'
// windows. Memory grows with the run: about 80 bytes a window.
class RunSummary final : public RunObserver {
public:
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

// The results of a run whose reports were kept: the input's name and the
// parameters the run used, from state, and its windows; no arrivals and no
// room parameters.
inline AnalysisResults ResultsOfRun(const SharedState& state, const RunSummary& summary)
{
    AnalysisResults results;
    results.irFileName = state.IrFileName;
    results.skipMs = state.SkipMs;
    results.displayWindowMs = state.DisplayWindowMs;
    results.averagingWindowMs = state.AveragingWindowMs;
    results.intensityWindows = summary.IntensityWindows();
    results.directionWindows = summary.DirectionWindows();
    return results;
}

}  // namespace halvane
