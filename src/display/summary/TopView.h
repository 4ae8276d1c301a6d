#pragma once

#include <vector>

#include "values/Arrival.h"

namespace halvane {

class DrawingSurface;

// How far an arrival's line reaches in the top view, as a fraction of the
// outer ring (0 dB re the direct sound): 1 + levelDb / floorDb, within [0, 1]
// (the floor at the centre, a louder arrival than the direct sound at the
// ring). A floorDb that is not positive and finite counts as 40; a level
// that is not a number gives 0.
double TopViewReach(double levelDb, double floorDb);

// The pixel radius of the outer ring in a top view drawn on a surface whose
// drawing area is areaWidthPx x areaHeightPx, and the pixel of its centre:
// room is left above for the title and "front", around for "left",
// "right" and "back".
struct TopViewGeometry {
    double centreXPx = 0;
    double centreYPx = 0;
    double radiusPx = 0;
};
TopViewGeometry TopViewGeometryFor(int areaWidthPx, int areaHeightPx);

// The arrivals seen from above on a white surface: the centre is the
// microphone, front up and left to the left, as on the window's polar view.
// Each arrival is a line 3 px wide from the centre towards its azimuth
// (elevation ignored), of TopViewReach times the outer ring's radius, in
// AzimuthColour of its azimuth; the longest drawn first. Rings at the level
// axis's ticks (every 10 dB for a 40 dB floor) labelled in dB, the four
// directions named, the numbers (as on the map) of the 12 loudest arrivals
// at their lines' ends where they find room, the loudest first. Title "Top view" and the
// band when bandHz > 0.
void DrawTopView(DrawingSurface& surface, const std::vector<Arrival>& arrivals, double floorDb, int bandHz,
                 char decimalSeparator);

}  // namespace halvane
