#pragma once

#include <cstdint>

namespace halvane {

// The plain values a run derives from its windows, shared by the analysis,
// the tables and the display. This header includes nothing of the program's
// own, so every part may use it without depending on another.
//
// Direction convention, once for the whole program: azimuth positive to the
// left (towards +Y), 0 straight ahead (+X), 180 behind; elevation positive
// upwards; both in degrees.

// Replaces a non-positive value before a logarithm is taken.
inline constexpr double kLevelFloor = 1E-12;

// A window is strongly directional, and so gets a reference-table row and a
// circle in the summary picture, when its I/D ratio is at least this.
inline constexpr double kStrongDirectionIdDb = -6;
inline bool IsStronglyDirectional(double idDb) { return idDb >= kStrongDirectionIdDb; }

// The four sums of one averaging window, in the arithmetic of the samples:
// 16-bit samples give exact integer sums (products as 32-bit integers, sums in
// 64 bits); 32-bit samples give single-precision sums, every product and every
// addition rounded to single precision, in the order
// De = (((De + W^2) + X^2) + Y^2) + Z^2, Ix += X W, Iy += Y W, Iz += Z W.
struct WindowSums {
    bool isFloat = false;  // 32-bit samples: the ...32 fields hold the sums
    std::int64_t De16 = 0, Ix16 = 0, Iy16 = 0, Iz16 = 0;
    float De32 = 0, Ix32 = 0, Iy32 = 0, Iz32 = 0;

    double De() const { return isFloat ? De32 : static_cast<double>(De16); }
    double Ix() const { return isFloat ? Ix32 : static_cast<double>(Ix16); }
    double Iy() const { return isFloat ? Iy32 : static_cast<double>(Iy16); }
    double Iz() const { return isFloat ? Iz32 : static_cast<double>(Iz16); }
    // True unless a 32-bit sum is not-a-number or infinite.
    bool Finite() const;
    // sqrt((Ix^2 + Iy^2) + Iz^2): squares and additions in double precision
    // for 16-bit sums, in single precision (each step rounded) for 32-bit
    // sums; the square root in double precision. Not floored.
    double IntensityMagnitude() const;
};

// One window of the intensity pass as a run reports it: its index (counted
// from time 0), its start in ms and its sums.
struct SummedWindow {
    double windowIndex = 0;
    double timeMs = 0;
    WindowSums sums;
};

// The two levels the intensity pass draws on the time strip, in dB + 80.
struct LevelPair {
    double energy = 0;
    double intensity = 0;
};

// What one window of the direction pass shows. Radii in the map's horizontal
// degrees (MapRadius) and in polar-view units (PolarRadius).
struct DirectionView {
    double IntensityMagnitude = 0;  // sqrt((Ix^2 + Iy^2) + Iz^2), > 0 when shown
    double De = 0;                  // energy-density sum, floored at kLevelFloor
    double ShadeLevel = 0;          // (IntensityMagnitude * 255) / De, 0 to 127.5
    double Az = 0;                  // degrees, (-180, 180]
    double El = 0;                  // degrees, [-90, 90]
    double MapRadius = 0;           // 10 log10(5 IntensityMagnitude) + 30, floored at 0
    double Dx = 0, Dy = 0, Dz = 0;  // unit direction times 0.999 (valid when MapRadius > 0)
    double PolarRadius = 0;         // MapRadius / 100 (valid when MapRadius > 0)
};

// Everything the direction pass derives from one window.
struct DirectionQuantities {
    double TimeMs = 0;          // the window's start
    bool hasDirection = false;  // IntensityMagnitude > 0 (and the sums finite): shown
    bool onMap = false;         // also MapRadius > 0: circle, polar circle, meters
    bool writesRow = false;     // also strongly directional: a reference-table row
    DirectionView view;         // what the display shows (valid when hasDirection)
    double IDdB = 0;            // 10 log10(IntensityMagnitude / De), valid when onMap
    double Li = 0;              // 10 log10(IntensityMagnitude), valid when writesRow
};

}  // namespace halvane
