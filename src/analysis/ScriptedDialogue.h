#pragma once

#include <string>
#include <vector>

#include "analysis/RunDialogue.h"
#include "values/Cancellation.h"

namespace halvane {

// The dialogue of a run without a window: the prompts are answered from a
// fixed list of texts (the answers a user would type; past its end, the
// default answers), warnings are kept, the message loop is empty and the
// clock is simulated, so the wait after each window costs nothing. The tables
// come out byte for byte as from a window run with the same answers and no jump.
// A stop requested of stop ends the run as the window's closing does.
class ScriptedDialogue final : public RunDialogue {
public:
    explicit ScriptedDialogue(std::vector<std::string> answers, const Cancellation& stop = Cancellation::Never())
        : m_answers(std::move(answers)), m_stop(stop)
    {
    }

    std::optional<std::string> AskText(const std::string& prompt, const std::string& title,
                                       const std::string& defaultAnswer) override;
    void ShowWarning(const std::string& message) override { m_warnings.push_back(message); }
    void ResetPointer() override { }
    void Yield() override { }
    // No message ever arrives, so a wait lasts its whole length at once.
    void WaitForEvents(double maxMs) override;
    double ClockMs() override { return m_clockMs; }
    bool ShouldQuit() const override { return m_stop.Requested(); }

    const std::vector<std::string>& Warnings() const { return m_warnings; }

private:
    std::vector<std::string> m_answers;
    const Cancellation& m_stop;
    std::size_t m_nextAnswer = 0;
    std::vector<std::string> m_warnings;
    double m_clockMs = 0;
};

}  // namespace halvane
