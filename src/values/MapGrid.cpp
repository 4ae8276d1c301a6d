#include "values/MapGrid.h"

#include <algorithm>
#include <cmath>

#include "values/SoundField.h"

namespace halvane {

double MapCellSolidAngleSr(std::size_t row)
{
    const double topDeg = 90.0 - kMapCellDeg * static_cast<double>(row);
    const double bottomDeg = topDeg - kMapCellDeg;
    return RadiansFromDegrees(kMapCellDeg) *
           (std::sin(RadiansFromDegrees(topDeg)) - std::sin(RadiansFromDegrees(bottomDeg)));
}

std::size_t MapCellOf(double azDeg, double elDeg)
{
    if (!std::isfinite(azDeg) || !std::isfinite(elDeg)) return 0;
    // Columns count from the left edge, +180; fmod keeps the sign of
    // its first argument, so a negative remainder is brought into [0, 360).
    double fromLeft = std::fmod(180.0 - azDeg, 360.0);
    if (fromLeft < 0) fromLeft += 360.0;
    const auto column = static_cast<std::size_t>(std::floor(fromLeft / kMapCellDeg)) % kMapColumns;
    const double fromTop = std::clamp(90.0 - elDeg, 0.0, 180.0);
    const auto row = std::min(kMapRows - 1, static_cast<std::size_t>(std::floor(fromTop / kMapCellDeg)));
    return row * kMapColumns + column;
}

}  // namespace halvane
