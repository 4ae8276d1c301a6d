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

std::vector<std::size_t> ArrivalRowsInRange(const std::vector<Arrival>& arrivals, const EnergyMap& map, double onsetMs)
{
    std::vector<std::size_t> rows;
    for (std::size_t i = 0; i < arrivals.size(); ++i) {
        const double t = arrivals[i].timeMs - onsetMs;
        if ((t >= map.range.fromMs || map.range.fromMs == 0) && t < map.toMs) rows.push_back(i);
    }
    return rows;
}

std::vector<Arrival> ArrivalsInRange(const std::vector<Arrival>& arrivals, const EnergyMap& map, double onsetMs)
{
    std::vector<Arrival> inRange;
    for (const std::size_t row : ArrivalRowsInRange(arrivals, map, onsetMs)) inRange.push_back(arrivals[row]);
    return inRange;
}

}  // namespace halvane
