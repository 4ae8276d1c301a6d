#include "BatchHost.h"

namespace halvane {

std::optional<std::string> BatchHost::AskText(const std::string&, const std::string&, const std::string& defaultAnswer)
{
    if (m_nextAnswer >= m_answers.size()) return defaultAnswer;
    return m_answers[m_nextAnswer++];
}

void BatchHost::WaitForEvents(double maxMs)
{
    // No events ever arrive here, so the wait lasts its whole length at once.
    if (maxMs > 0) m_clockMs += maxMs;
}

}  // namespace halvane
