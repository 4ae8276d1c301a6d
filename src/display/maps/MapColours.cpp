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

QColor ViridisColour(double fraction)
{
    if (!(fraction > 0)) fraction = 0;  // also not-a-number
    if (fraction > 1) fraction = 1;
    const auto& stops = ViridisStops();
    const double position = fraction * (stops.size() - 1);
    const auto lower = static_cast<std::size_t>(std::floor(position));
    const std::size_t upper = std::min(lower + 1, stops.size() - 1);
    const double t = position - static_cast<double>(lower);
    auto mix = [&](int a, int b) { return static_cast<int>(std::nearbyint(a * (1 - t) + b * t)); };
    return QColor(mix(stops[lower].red(), stops[upper].red()), mix(stops[lower].green(), stops[upper].green()),
                  mix(stops[lower].blue(), stops[upper].blue()));
}

double MapLevelFraction(double levelDb, double rangeDb)
{
    if (!(rangeDb > 0) || !std::isfinite(rangeDb)) rangeDb = kDefaultMapRangeDb;
    return levelDb / rangeDb + 1;
}

QColor MapLevelColour(double levelDb, double rangeDb) { return ViridisColour(MapLevelFraction(levelDb, rangeDb)); }

}  // namespace halvane
