#include "values/WindowQuantities.h"

#include <cmath>

namespace halvane {

bool WindowSums::Finite() const
{
    return !isFloat || (std::isfinite(De32) && std::isfinite(Ix32) && std::isfinite(Iy32) && std::isfinite(Iz32));
}

double WindowSums::IntensityMagnitude() const
{
    if (isFloat) {
        const float xx = Ix32 * Ix32;
        const float yy = Iy32 * Iy32;
        const float xy = xx + yy;
        const float zz = Iz32 * Iz32;
        const float all = xy + zz;
        return std::sqrt(static_cast<double>(all));
    }
    const double ix = static_cast<double>(Ix16);
    const double iy = static_cast<double>(Iy16);
    const double iz = static_cast<double>(Iz16);
    return std::sqrt((ix * ix + iy * iy) + iz * iz);
}

}  // namespace halvane
