#pragma once

#include <QElapsedTimer>

#include "analysis/RunDialogue.h"

class QWidget;

namespace halvane {

class DialogService;

// The window's side of a run's dialogue: prompts and warnings through the
// dialogs, the toolkit's event loop for yields and waits. (What a run shows
// goes straight to the live display.)
class QtRunHost final : public RunDialogue {
public:
    // Both arguments must outlive the host.
    QtRunHost(DialogService& dialogs, QWidget& window);

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

private:
    DialogService& m_dialogs;
    QWidget& m_window;
    QElapsedTimer m_clock;
    bool m_quitRequested = false;
};

}  // namespace halvane
