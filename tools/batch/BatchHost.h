#pragma once

#include <string>
#include <vector>

#include "analysis/RunHost.h"

namespace halvane {

// Runs the analysis without a window: the prompts are answered from a fixed
// list of texts (the answers a user would type), nothing is drawn, the
// message loop is empty and the clock is simulated, so the wait after each
// window costs nothing. The tables come out byte for byte as from a window
// run with the same answers and no jump.
class BatchHost final : public RunHost {
public:
    explicit BatchHost(std::vector<std::string> answers) : m_answers(std::move(answers)) {}

    std::optional<std::string> AskText(const std::string& prompt, const std::string& title,
                                       const std::string& defaultAnswer) override;
    void ShowWarning(const std::string& message) override { m_warnings.push_back(message); }
    void ResetPointer() override {}
    void Yield() override {}
    void WaitForEvents(double maxMs) override;
    double ClockMs() override { return m_clockMs; }
    bool ShouldQuit() const override { return false; }
    void SetProgress(float) override {}
    void PrepareDisplay(double, double) override {}
    void DrawLevelBars(double, double, double, double) override {}
    void DrawStripGrid(double, double) override {}
    void ClearDirection(const DirectionView&, double, double) override {}

    void IntensityWindowSummed(double windowIndex, const WindowSums& sums) override;
    void WindowMarker(double timeMs, double) override { m_lastMarkerMs = timeMs; }
    void ShowDirection(const DirectionView& view) override;

    const std::vector<std::string>& Warnings() const { return m_warnings; }

    // A summary of the run, kept only when asked for (before the run).
    struct SummedWindow {
        double windowIndex = 0;
        WindowSums sums;
    };
    struct ShownWindow {
        double timeMs = 0;
        DirectionView view;
    };
    void KeepSummary() { m_keepSummary = true; }
    const std::vector<SummedWindow>& IntensityWindows() const { return m_intensityWindows; }
    const std::vector<ShownWindow>& DirectionWindows() const { return m_directionWindows; }

private:
    std::vector<std::string> m_answers;
    std::size_t m_nextAnswer = 0;
    std::vector<std::string> m_warnings;
    double m_clockMs = 0;
    bool m_keepSummary = false;
    double m_lastMarkerMs = 0;
    std::vector<SummedWindow> m_intensityWindows;
    std::vector<ShownWindow> m_directionWindows;
};

}  // namespace halvane
