#pragma once

class QWidget;

namespace halvane {

class DrawingSurface;

// The three picture boxes with the sizes, backgrounds and user scales the
// window's layout gives them (box sizes include the 2 px border). The caller
// places them; parent owns them.

// Picture2, the direction map: 961 x 481 px, azimuth 180 to -180 across,
// elevation 90 to -90 down, the placeholder picture behind it.
DrawingSurface* CreateDirectionMap(QWidget* parent);

// Picture3, the polar top view: 228 x 230 px, white, -1 to 1 across, 1 to -1 down.
DrawingSurface* CreatePolarView(QWidget* parent);

// Picture1, the time strip: 961 x 185 px, white, level 100 at the top and 40
// at the bottom; each run sets the horizontal scale (ms from the file's start).
DrawingSurface* CreateTimeStrip(QWidget* parent);

}  // namespace halvane
