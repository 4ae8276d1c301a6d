#pragma once

#include <QElapsedTimer>

#include "analysis/RunHost.h"

class QProgressBar;
class QWidget;

namespace halvane {

class DialogService;
class LiveDisplay;

// The window's side of a run: prompts and warnings through the dialogs, the
// toolkit's event loop for yields and waits, ProgressBar1, and the live
// display for every drawing call.
class QtRunHost final : public RunHost {
public:
    // All arguments must outlive the host.
    QtRunHost(DialogService& dialogs, QWidget& window, QProgressBar& progress, LiveDisplay& display);

    // The window is being closed: the run stops at its next step.
    void RequestQuit() { m_quitRequested = true; }

    std::optional<std::string> AskText(const std::string& prompt, const std::string& title,
                                       const std::string& defaultAnswer) override;
    void ShowWarning(const std::string& message) override;
    void ResetPointer() override;

    void Yield() override;
    void WaitForEvents(double maxMs) override;
    double ClockMs() override;
    bool ShouldQuit() const override { return m_quitRequested; }

    // Rounded half to even onto the bar's whole steps, clamped to 0..100; a
    // value that is not a number (a one-window pass) leaves the bar as it is.
    void SetProgress(float percent) override;

    void PrepareDisplay(double skipMs, double displayWindowMs) override;
    void DrawLevelBars(double windowIndex, double averagingWindowMs, double energyLevel,
                       double intensityLevel) override;
    void DrawStripGrid(double skipMs, double displayWindowMs) override;
    void WindowMarker(double timeMs, double averagingWindowMs) override;
    void ShowDirection(const DirectionView& view) override;
    void ClearDirection(const DirectionView& view, double skipMs, double displayWindowMs) override;

private:
    DialogService& m_dialogs;
    QWidget& m_window;
    QProgressBar& m_progress;
    LiveDisplay& m_display;
    QElapsedTimer m_clock;
    bool m_quitRequested = false;
};

}  // namespace halvane
