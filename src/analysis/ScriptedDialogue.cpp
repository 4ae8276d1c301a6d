#include "analysis/ScriptedDialogue.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace halvane {

std::optional<std::string> ScriptedDialogue::AskText(const std::string&, const std::string&,
                                                     const std::string& defaultAnswer)
{
    if (m_nextAnswer >= m_answers.size()) return defaultAnswer;
    return m_answers[m_nextAnswer++];
}

void ScriptedDialogue::WaitForEvents(double maxMs)
{
    // The clock moves on by at least one step of its own precision: the rest
    // of a pause after rounding (a few 1e-15 ms) added to a clock of some
    // hundred ms would leave it where it was, and the run would wait forever.
    if (maxMs > 0) {
        m_clockMs = std::max(m_clockMs + maxMs, std::nextafter(m_clockMs, std::numeric_limits<double>::infinity()));
    }
}

}  // namespace halvane
