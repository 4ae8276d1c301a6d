#include "display/LabelPlacer.h"

#include <algorithm>

namespace halvane {

std::optional<QRect> LabelPlacer::Place(std::span<const QRect> candidatesPx)
{
    for (const QRect& candidate : candidatesPx) {
        if (candidate.isEmpty() || !m_bounds.contains(candidate)) continue;
        const bool free = std::none_of(m_taken.begin(), m_taken.end(),
                                       [&](const QRect& taken) { return taken.intersects(candidate); });
        if (free) {
            m_taken.push_back(candidate);
            return candidate;
        }
    }
    return std::nullopt;
}

std::optional<QRect> LabelPlacer::PlaceAnyway(std::span<const QRect> candidatesPx)
{
    if (const auto free = Place(candidatesPx)) return free;
    for (const QRect& candidate : candidatesPx) {
        if (!candidate.isEmpty() && m_bounds.contains(candidate)) {
            m_taken.push_back(candidate);
            return candidate;
        }
    }
    return std::nullopt;
}

}  // namespace halvane
