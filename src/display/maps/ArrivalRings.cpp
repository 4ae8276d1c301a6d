#include "display/maps/ArrivalRings.h"

#include <algorithm>
#include <cmath>

namespace halvane {

double ArrivalMarkRadiusDeg(double levelDb, double floorDb)
{
    if (!(floorDb > 0) || !std::isfinite(floorDb) || std::isnan(levelDb)) return kSmallestArrivalMarkDeg;
    const double fraction = std::clamp(1 + levelDb / floorDb, 0.0, 1.0);
    return kSmallestArrivalMarkDeg + fraction * (kLargestArrivalMarkDeg - kSmallestArrivalMarkDeg);
}

std::vector<Arrival> ArrivalsInRange(const std::vector<Arrival>& arrivals, const EnergyMap& map, double onsetMs)
{
    std::vector<Arrival> inRange;
    for (const Arrival& a : arrivals) {
        const double t = a.timeMs - onsetMs;
        if ((t >= map.range.fromMs || map.range.fromMs == 0) && t < map.toMs) inRange.push_back(a);
    }
    return inRange;
}

}  // namespace halvane
