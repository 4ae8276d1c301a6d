#pragma once

#include <array>
#include <optional>

#include "values/SoundField.h"
#include "values/SurfaceQuantities.h"

namespace halvane {

// The geometry of first-order reflections seen from the microphone, in its
// frame (values/SurfaceQuantities.h): points and vectors in metres, the
// microphone at the origin.

using Point3 = std::array<double, 3>;

// A plane by its unit normal, pointing from the microphone towards the
// plane, and its distance from the microphone (> 0 for a plane the
// microphone does not lie on): the points p with normal . p = distanceM.
struct Plane {
    Point3 normal{};
    double distanceM = 0;
};

Point3 Scaled(const Point3& v, double factor);
Point3 Sum(const Point3& a, const Point3& b);
Point3 Difference(const Point3& a, const Point3& b);
double Dot(const Point3& a, const Point3& b);
double Length(const Point3& v);

// The point mirrored in the plane: p - 2 (n . p - d) n.
Point3 Mirrored(const Point3& p, const Plane& plane);

// The plane of a reflector, and the reflector of a plane (its normal's
// direction and its distance).
Plane PlaneOf(const Reflector& reflector);
Reflector ReflectorOf(const Plane& plane);

// The reflector of an arrival: with the source at S = directDistanceM u_s
// (u_s the direct sound's direction) and the image source at
// I = (directDistanceM + speedOfSoundMPerS delayMs / 1000) u_r (u_r the
// arrival's direction, delayMs after the direct sound), the plane bisecting
// S and I: normal (I - S) / |I - S|, distance |n . (S + I) / 2|, the normal
// turned to point away from the microphone. Nothing when I lies within a
// millimetre of S (the direct sound itself, or an arrival with no delay from
// its direction), or when an input is not finite.
std::optional<Reflector> ReflectorOfArrival(const Direction& direct, double directDistanceM, const Direction& arrival,
                                            double delayMs, double speedOfSoundMPerS);

// The image source of an arrival as above, I.
Point3 ImageSourceOf(const Direction& arrival, double directDistanceM, double delayMs, double speedOfSoundMPerS);

}  // namespace halvane
