#include "display/AxisTicks.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace halvane {

std::vector<double> AxisTicks::Values() const
{
    std::vector<double> values;
    if (!(step > 0) || !(to >= from)) return values;
    const double first = std::nearbyint(from / step);
    const double count = std::nearbyint((to - from) / step);
    for (double k = 0; k <= count && k <= 1000; ++k) values.push_back((first + k) * step);
    return values;
}

AxisTicks NiceTicks(double low, double high, int minIntervals)
{
    if (!std::isfinite(low) || !std::isfinite(high)) return AxisTicks{};
    if (low > high) std::swap(low, high);
    if (low == high) {
        low -= 1;
        high += 1;
    }
    minIntervals = std::max(minIntervals, 1);
    // From the largest step within the stretch downwards, 5, 2, 1 in each
    // decade, until the stretch holds enough intervals. A stretch below the
    // resolution of its values stops after a few decades.
    int exponent = static_cast<int>(std::floor(std::log10(high - low)));
    AxisTicks ticks;
    for (int decades = 0; decades < 20; ++decades, --exponent) {
        for (const double mantissa : {5.0, 2.0, 1.0}) {
            const double step = mantissa * std::pow(10.0, exponent);
            if (step > high - low) continue;
            ticks.step = step;
            ticks.from = std::floor(low / step) * step;
            ticks.to = std::ceil(high / step) * step;
            if (std::nearbyint((ticks.to - ticks.from) / step) >= minIntervals) return ticks;
        }
    }
    return ticks;
}

}  // namespace halvane
