#pragma once

#include <QRect>

#include <optional>
#include <span>
#include <vector>

namespace halvane {

// Finds places for the labels of a plot's marks, in the pixels of one
// drawing area, so that no label covers another label or a mark. Greedy, in
// the order the labels are asked for: ask for the most important first.
class LabelPlacer {
public:
    // Labels must lie wholly inside boundsPx.
    explicit LabelPlacer(QRect boundsPx) : m_bounds(boundsPx) { }

    // An area no label may cover (a mark, a legend).
    void Keep(QRect areaPx) { m_taken.push_back(areaPx); }

    // The first of the candidate boxes that lies inside the bounds and
    // overlaps nothing kept or placed so far; it is taken. Nothing when none
    // is free (empty candidates included).
    std::optional<QRect> Place(std::span<const QRect> candidatesPx);
    // As Place, but when no candidate is free, the first that lies inside
    // the bounds is taken all the same: for a label that must be shown.
    // Nothing only when no candidate lies inside the bounds.
    std::optional<QRect> PlaceAnyway(std::span<const QRect> candidatesPx);

private:
    QRect m_bounds;
    std::vector<QRect> m_taken;
};

}  // namespace halvane
