#include "BatchHost.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace halvane {

std::optional<std::string> BatchHost::AskText(const std::string&, const std::string&, const std::string& defaultAnswer)
{
    if (m_nextAnswer >= m_answers.size()) return defaultAnswer;
    return m_answers[m_nextAnswer++];
}

void BatchHost::WaitForEvents(double maxMs)
{
    // No events ever arrive here, so the wait lasts its whole length at once.
    // The clock moves on by at least one step of its own precision: the rest
    // of a pause after rounding (a few 1e-15 ms) added to a clock of some
    // hundred ms would leave it where it was, and the run would wait forever.
    if (maxMs > 0) {
        m_clockMs = std::max(m_clockMs + maxMs, std::nextafter(m_clockMs, std::numeric_limits<double>::infinity()));
    }
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
