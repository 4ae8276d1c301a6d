#include "analysis/surfaces/Reflectors.h"

#include <cmath>

namespace halvane {
namespace {

// Image sources closer than this to the source give no plane worth a row:
// the direct sound's own row, or a delay of a few microseconds.
constexpr double kLeastImageOffsetM = 0.001;

}  // namespace

Point3 Scaled(const Point3& v, double factor) { return {v[0] * factor, v[1] * factor, v[2] * factor}; }
Point3 Sum(const Point3& a, const Point3& b) { return {a[0] + b[0], a[1] + b[1], a[2] + b[2]}; }
Point3 Difference(const Point3& a, const Point3& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
double Dot(const Point3& a, const Point3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
double Length(const Point3& v) { return std::sqrt(Dot(v, v)); }

Point3 Mirrored(const Point3& p, const Plane& plane)
{
    return Difference(p, Scaled(plane.normal, 2 * (Dot(plane.normal, p) - plane.distanceM)));
}

Plane PlaneOf(const Reflector& reflector)
{
    return {UnitVectorOf({reflector.normalAzDeg, reflector.normalElDeg}), reflector.distanceM};
}

Reflector ReflectorOf(const Plane& plane)
{
    const Direction normal = DirectionOfIntensity(plane.normal[0], plane.normal[1], plane.normal[2]);
    return {plane.distanceM, normal.azDeg, normal.elDeg};
}

Point3 ImageSourceOf(const Direction& arrival, double directDistanceM, double delayMs, double speedOfSoundMPerS)
{
    return Scaled(UnitVectorOf(arrival), directDistanceM + speedOfSoundMPerS * delayMs / 1000.0);
}

std::optional<Reflector> ReflectorOfArrival(const Direction& direct, double directDistanceM, const Direction& arrival,
                                            double delayMs, double speedOfSoundMPerS)
{
    const Point3 source = Scaled(UnitVectorOf(direct), directDistanceM);
    const Point3 image = ImageSourceOf(arrival, directDistanceM, delayMs, speedOfSoundMPerS);
    const Point3 offset = Difference(image, source);
    const double offsetM = Length(offset);
    if (!std::isfinite(offsetM) || !std::isfinite(Length(source)) || offsetM < kLeastImageOffsetM) return std::nullopt;
    Plane plane{Scaled(offset, 1 / offsetM), Dot(offset, Scaled(Sum(source, image), 0.5)) / offsetM};
    if (plane.distanceM < 0) plane = {Scaled(plane.normal, -1), -plane.distanceM};
    return ReflectorOf(plane);
}

}  // namespace halvane
