#include "display/maps/MapColours.h"

#include <algorithm>
#include <cmath>

namespace halvane {

const std::array<QColor, kViridisStops>& ViridisStops()
{
    static const std::array<QColor, kViridisStops> stops = {
        QColor(68, 1, 84),    QColor(71, 44, 122), QColor(59, 81, 139),  QColor(44, 113, 142), QColor(33, 144, 141),
        QColor(39, 173, 129), QColor(92, 200, 99), QColor(170, 220, 50), QColor(253, 231, 37),
    };
    return stops;
}

namespace {

// The colour a fraction of the way along stops, linear between them.
template <std::size_t N> QColor AlongStops(const std::array<QColor, N>& stops, double fraction)
{
    if (!(fraction > 0)) fraction = 0;  // also not-a-number
    if (fraction > 1) fraction = 1;
    const double position = fraction * (stops.size() - 1);
    const auto lower = static_cast<std::size_t>(std::floor(position));
    const std::size_t upper = std::min(lower + 1, stops.size() - 1);
    const double t = position - static_cast<double>(lower);
    auto mix = [&](int a, int b) { return static_cast<int>(std::nearbyint(a * (1 - t) + b * t)); };
    return QColor(mix(stops[lower].red(), stops[upper].red()), mix(stops[lower].green(), stops[upper].green()),
                  mix(stops[lower].blue(), stops[upper].blue()));
}

}  // namespace

const std::array<QColor, kDivergingStops>& DivergingStops()
{
    static const std::array<QColor, kDivergingStops> stops = {
        QColor(33, 102, 172),  QColor(103, 169, 207), QColor(209, 229, 240), QColor(247, 247, 247),
        QColor(253, 219, 199), QColor(239, 138, 98),  QColor(178, 24, 43),
    };
    return stops;
}

QColor DifferenceColour(double differenceDb, double spanDb)
{
    if (std::isnan(differenceDb)) return kMaskedCellColour;
    if (!(spanDb > 0) || !std::isfinite(spanDb)) spanDb = kDifferenceSpanDb;
    return AlongStops(DivergingStops(), (differenceDb / spanDb + 1) / 2);
}

QColor ViridisColour(double fraction) { return AlongStops(ViridisStops(), fraction); }

double MapLevelFraction(double levelDb, double rangeDb)
{
    if (!(rangeDb > 0) || !std::isfinite(rangeDb)) rangeDb = kDefaultMapRangeDb;
    return levelDb / rangeDb + 1;
}

QColor MapLevelColour(double levelDb, double rangeDb) { return ViridisColour(MapLevelFraction(levelDb, rangeDb)); }

}  // namespace halvane
