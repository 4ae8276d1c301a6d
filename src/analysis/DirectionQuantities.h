#pragma once

#include "analysis/FrameAccumulator.h"
#include "analysis/RunHost.h"

namespace halvane {

// Replaces a non-positive value before a logarithm is taken.
inline constexpr double kLevelFloor = 1E-12;

// 10 x log10(v), computed as (ln v x 10) / ln 10 in double precision, in this order.
double TenLog10(double v);

// The two levels the intensity pass draws on the time strip (dB + 80), from
// the sums as accumulated: De and IntensityMagnitude are floored at
// kLevelFloor when not above 0.
struct LevelPair {
    double energy = 0;
    double intensity = 0;
};
LevelPair StripLevels(const WindowSums& sums);

// Everything the direction pass derives from one window.
struct DirectionQuantities {
    double TimeMs = 0;
    bool hasDirection = false;  // IntensityMagnitude > 0 (and the sums finite)
    bool onMap = false;         // also MapRadius > 0: circle, polar circle, meters
    bool writesRow = false;     // also IDdB >= -6: a reference-table row
    DirectionView view;         // what the display shows (valid when hasDirection)
    double IDdB = 0;            // valid when onMap
    double Li = 0;              // valid when writesRow
};

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
