#pragma once

#include <array>
#include <string>

class QColor;

namespace halvane {

class DrawingSurface;

// The polar view's grid, on a surface scaled -1 to 1 across and 1 to -1 down:
// circles of radius 1, 0.75, 0.5 and 0.25 about the centre, a small y axis
// arrow pointing left and an x axis arrow pointing up (the front), each with
// its letter. Drawn over what is there, in the surface's foreground colour,
// with the surface's current pen and fill settings.
void DrawPolarDiagram(DrawingSurface& polar);

// The five numbers of the map's time scale, left to right: start, the three
// quarters and start + length, in ms, in the general number form with the
// given decimal separator (" 0", " 250", " 2.5", ...).
std::array<std::string, 5> MapScaleLabels(double start, double length, char decimalSeparator);

// The time scale along the map's bottom edge (map scaled 180 to -180 across,
// 90 to -90 down): white ticks 5 degrees high at azimuth 180, 90, 0, -90 and
// -180, a white box 12 x 5 degrees above each, and in each box its number of
// MapScaleLabels. Drawn over what is there, with the map's pen mode.
void DrawMapScale(DrawingSurface& map, double start, double length, char decimalSeparator);

// One arrival on the map (scaled 180 to -180 across, 90 to -90 down): a
// circle of radiusDeg about (azDeg, elDeg) with the given outline, filled
// with the map's fill settings, a red cross 10 degrees wide and high at its
// centre, and, when the circle reaches past the left edge (+180), its
// continuation at the right edge. Drawn with the map's pen mode; the live
// display and the summary picture both mark arrivals with it.
void DrawArrivalMark(DrawingSurface& map, double azDeg, double elDeg, double radiusDeg, const QColor& outline);

}  // namespace halvane
