#pragma once

// The demo room's panorama as the microphone sees it: an equirectangular picture, azimuth
// +180 degrees at the left edge, 0 in the middle and -180 at the right edge, elevation +90 at
// the top and -90 at the bottom. Surfaces are shaded by kind with their panels and edges, a
// grid marks every 30 degrees, and the source and the reflection points carry labels.

#include "demo/DemoRoom.h"

#include <QImage>

#include <vector>

namespace halvane::demo {

inline constexpr int kPanoramaWidthPx = 960;
inline constexpr int kPanoramaHeightPx = 480;

// Pixel position (fractional, 0 at the left/top edge) of a direction.
double PanoramaXPx(double azDeg);
double PanoramaYPx(double elDeg);

QImage PaintDemoPanorama(const DemoRoom& room, const std::vector<Arrival>& arrivals);

}  // namespace halvane::demo
