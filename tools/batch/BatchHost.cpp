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

void BatchHost::IntensityWindowSummed(double windowIndex, const WindowSums& sums)
{
    if (m_keepSummary) m_intensityWindows.push_back({windowIndex, sums});
}

void BatchHost::ShowDirection(const DirectionView& view)
{
    // The marker of a window is drawn just before its direction is shown.
    if (m_keepSummary) m_directionWindows.push_back({m_lastMarkerMs, view});
}

}  // namespace halvane
