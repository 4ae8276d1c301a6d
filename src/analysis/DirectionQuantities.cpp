#include "analysis/DirectionQuantities.h"

#include <algorithm>
#include <cmath>

#include "analysis/AngleFunctions.h"

namespace halvane {

double TenLog10(double v) { return (std::log(v) * 10.0) / std::log(10.0); }

LevelPair StripLevels(const WindowSums& sums)
{
    double de = sums.De();
    if (de <= 0) de = kLevelFloor;
    double magnitude = sums.IntensityMagnitude();
    if (magnitude <= 0) magnitude = kLevelFloor;
    return {TenLog10(de) + 80.0, TenLog10(magnitude) + 80.0};
}

DirectionQuantities ComputeDirection(const WindowSums& sums, double timeMs)
{
    DirectionQuantities q;
    q.TimeMs = timeMs;
    double de = sums.De();
    if (de <= 0) de = kLevelFloor;
    const double ix = sums.Ix();
    const double iy = sums.Iy();
    const double iz = sums.Iz();
    const double magnitude = sums.IntensityMagnitude();
    DirectionView& v = q.view;
    v.De = de;
    v.IntensityMagnitude = magnitude;
    if (!sums.Finite() || !std::isfinite(magnitude) || !(magnitude > 0)) return q;

    q.hasDirection = true;
    // With finite sums neither angle function can fail (the quotient Iy / Ix
    // of single-precision or integer sums stays far inside the double range,
    // and the sine is clamped); the fallbacks only keep that a certainty.
    v.Az = halvane::atan2(iy, ix).value_or(iy > 0 ? kHalfPi : -kHalfPi) / kPi * 180.0;
    v.ShadeLevel = (magnitude * 255.0) / de;
    v.MapRadius = TenLog10(5.0 * magnitude) + 30.0;
    if (v.MapRadius < 0) v.MapRadius = 0;
    const double sine = std::clamp(iz / magnitude, -1.0, 1.0);
    v.El = ASin(sine).value_or(0.0) / kPi * 180.0;
    if (!(v.MapRadius > 0)) return q;

    q.onMap = true;
    v.Dx = (ix / magnitude) * 0.999;
    v.Dy = (iy / magnitude) * 0.999;
    v.Dz = (iz / magnitude) * 0.999;
    q.IDdB = TenLog10(magnitude / de);
    if (IsStronglyDirectional(q.IDdB)) {
        q.writesRow = true;
        q.Li = TenLog10(magnitude);
    }
    v.PolarRadius = v.MapRadius / 100.0;
    return q;
}

}  // namespace halvane
