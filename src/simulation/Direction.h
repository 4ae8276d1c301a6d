#pragma once

// Directions of arrival and their first-order encoding.
//
// Azimuth 0 straight ahead (+X), positive to the left (towards +Y); elevation
// positive upwards; degrees outside these functions. A unit vector is
// (x, y, z) = (cos el cos az, cos el sin az, sin el).

#include <array>
#include <numbers>

namespace halvane::simulation {

inline constexpr double kPi = std::numbers::pi;
inline constexpr double kDegPerRad = 180.0 / kPi;

using Vector3 = std::array<double, 3>;  // x, y, z

struct Direction {
    double azDeg = 0;  // in [-180, 180]
    double elDeg = 0;  // in [-90, 90]
};

// The direction of (x, y, z) = to - from: atan2(y, x) and atan2(z, hypot(x, y));
// (0, 0) for a zero vector.
Direction DirectionOf(const Vector3& v);

Vector3 UnitVector(const Direction& d);

// The angle between two directions in degrees, 0..180, accurate for small
// angles too (atan2 of the cross and dot products).
double AngleBetweenDeg(const Direction& a, const Direction& b);

// A plane wave's SN3D gains in the AmbiX order W, Y, Z, X: 1, sin az cos el,
// sin el, cos az cos el. The radian form is the one the demo room's tail
// draws its directions in.
std::array<double, 4> Sn3dGainsRad(double azRad, double elRad);
std::array<double, 4> Sn3dGains(const Direction& d);

double Dot(const Vector3& a, const Vector3& b);
Vector3 Cross(const Vector3& a, const Vector3& b);

// The rotation taking the unit vector from onto the unit vector to by the
// smallest angle, about from x to (a half turn about an axis square to from
// when the two are opposite), as a 3 x 3 matrix applied by Rotate.
using Rotation = std::array<Vector3, 3>;
Rotation RotationTaking(const Vector3& from, const Vector3& to);
Vector3 Rotate(const Rotation& r, const Vector3& v);

}  // namespace halvane::simulation
