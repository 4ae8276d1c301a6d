#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace halvane {

// The rules that turn the pseudo-intensity and energy of a stretch of
// first-order sound (SN3D: W and a figure-of-eight with W's on-axis
// sensitivity) into a direction and a diffuseness, once for the program.
// Ix, Iy, Iz are sums of X W, Y W, Z W and De the sum of W^2 + X^2 + Y^2 + Z^2
// over the same samples, in any unit. The window's run keeps its own angle
// functions and pi (analysis/AngleFunctions.h), on which the last digits of
// its tables depend. This header includes nothing of the program's own.

inline constexpr double kDegreesPerRadian = 180.0 / std::numbers::pi;

inline double DegreesFromRadians(double radians) { return radians * kDegreesPerRadian; }
inline double RadiansFromDegrees(double degrees) { return degrees / kDegreesPerRadian; }

// A direction in the program's convention (values/WindowQuantities.h): azimuth
// in (-180, 180], positive to the left; elevation in [-90, 90], positive upwards.
struct Direction {
    double azDeg = 0;
    double elDeg = 0;
};

// Where the intensity vector (ix, iy, iz) points: Az = atan2(Iy, Ix),
// El = asin(Iz / |I|) with |I| = sqrt(Ix^2 + Iy^2 + Iz^2), in degrees; an
// azimuth of -180 is given as 180. For |I| > 0 and finite; the caller checks.
inline Direction DirectionOfIntensity(double ix, double iy, double iz)
{
    const double magnitude = std::sqrt(ix * ix + iy * iy + iz * iz);
    Direction d;
    d.azDeg = DegreesFromRadians(std::atan2(iy, ix));
    if (d.azDeg == -180.0) d.azDeg = 180.0;
    d.elDeg = DegreesFromRadians(std::asin(std::clamp(iz / magnitude, -1.0, 1.0)));
    return d;
}

// The unit vector (x, y, z) = (cos el cos az, cos el sin az, sin el) pointing
// towards a direction: x straight ahead, y to the left, z upwards.
inline std::array<double, 3> UnitVectorOf(const Direction& d)
{
    const double az = RadiansFromDegrees(d.azDeg), el = RadiansFromDegrees(d.elDeg);
    return {std::cos(el) * std::cos(az), std::cos(el) * std::sin(az), std::sin(el)};
}

// The angle between two directions in degrees, 0..180, as exact for small
// angles as for large ones (atan2 of the cross and dot products).
inline double AngleBetweenDeg(const Direction& a, const Direction& b)
{
    const std::array<double, 3> u = UnitVectorOf(a), v = UnitVectorOf(b);
    const double cx = u[1] * v[2] - u[2] * v[1], cy = u[2] * v[0] - u[0] * v[2], cz = u[0] * v[1] - u[1] * v[0];
    return DegreesFromRadians(
        std::atan2(std::sqrt(cx * cx + cy * cy + cz * cz), u[0] * v[0] + u[1] * v[1] + u[2] * v[2]));
}

// DirAC's diffuseness from the intensity's magnitude |I| and the energy De,
// 1 - 2 |I| / De: 0 for a plane wave (|I| = De / 2 in SN3D), 1 for a diffuse
// field. For De > 0; the caller checks.
inline double Diffuseness(double intensityMagnitude, double energy) { return 1.0 - 2.0 * intensityMagnitude / energy; }

}  // namespace halvane
