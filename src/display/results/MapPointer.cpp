#include "display/results/MapPointer.h"

#include <cmath>

#include "display/maps/ArrivalRings.h"
#include "values/EnergyMapQuantities.h"
#include "values/MapGrid.h"

namespace halvane {
namespace {

// One decimal, a point as separator; a negative zero written as 0.0.
QString OneDecimal(double value)
{
    const double rounded = std::nearbyint(value * 10) / 10;
    return QString::number(rounded == 0 ? 0.0 : rounded, 'f', 1);
}

// The azimuth's difference in (-180, 180].
double AzimuthDifferenceDeg(double a, double b)
{
    const double difference = std::remainder(a - b, 360.0);
    return difference == -180 ? 180 : difference;
}

}  // namespace

std::optional<double> MapLevelAt(const std::vector<double>& levelDb, double azDeg, double elDeg)
{
    if (levelDb.size() != kMapCells || !std::isfinite(azDeg) || !std::isfinite(elDeg)) return std::nullopt;
    return levelDb[MapCellOf(azDeg, elDeg)];
}

QString MapReadout(double azDeg, double elDeg, std::optional<double> levelDb, double rangeDb)
{
    QString text = QStringLiteral("Az %1°  El %2°").arg(OneDecimal(azDeg), OneDecimal(elDeg));
    if (!levelDb) return text;
    if (*levelDb <= kEnergyMapFloorDb) return text + QStringLiteral("  no energy");
    text += QStringLiteral("  %1 dB").arg(OneDecimal(*levelDb));
    return *levelDb < -rangeDb ? text + QStringLiteral(" (below the range shown)") : text;
}

int ArrivalRingAt(const std::vector<Arrival>& arrivals, double floorDb, double azDeg, double elDeg)
{
    int found = -1;
    double nearestDeg = 0;
    for (std::size_t i = 0; i < arrivals.size(); ++i) {
        const Arrival& arrival = arrivals[i];
        const double distanceDeg = std::hypot(AzimuthDifferenceDeg(azDeg, arrival.azDeg), elDeg - arrival.elDeg);
        if (!(distanceDeg <= ArrivalMarkRadiusDeg(arrival.levelDb, floorDb) + kRingGrabDeg)) continue;
        if (found < 0 || distanceDeg <= nearestDeg) {
            found = static_cast<int>(i);
            nearestDeg = distanceDeg;
        }
    }
    return found;
}

}  // namespace halvane
