#pragma once

#include "values/WindowQuantities.h"

namespace halvane {

// 10 x log10(v), computed as (ln v x 10) / ln 10 in double precision, in this order.
double TenLog10(double v);

// The two levels the intensity pass draws on the time strip (dB + 80), from
// the sums as accumulated: De and IntensityMagnitude are floored at
// kLevelFloor when not above 0.
LevelPair StripLevels(const WindowSums& sums);

// The direction quantities of one window, in the order and precision the
// results depend on: Az = atan2(Iy, Ix) / pi x 180, ShadeLevel =
// (IntensityMagnitude x 255) / De, MapRadius = 10 log10(5 IntensityMagnitude)
// + 30 floored at 0, El = ASin(Iz / IntensityMagnitude) / pi x 180 (the ratio
// taken as +-1 when rounding puts it a few units outside), D = I / |I| x 0.999,
// IDdB = 10 log10(IntensityMagnitude / De), Li = 10 log10(IntensityMagnitude).
// De is floored at kLevelFloor first. A window whose 32-bit sums are not
// finite is treated as one without intensity: nothing is derived from it.
DirectionQuantities ComputeDirection(const WindowSums& sums, double timeMs);

}  // namespace halvane
