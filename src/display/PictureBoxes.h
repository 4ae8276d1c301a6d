#pragma once

#include <QFont>
#include <QSize>

class QWidget;

namespace halvane {

class DrawingSurface;

// The direction map's box (its border included) and scale, for every map
// drawn as the window draws it.
inline constexpr QSize kDirectionMapBoxPx{961, 481};

// The font the boxes print in: a plain sans-serif at its natural width,
// 11 px, set on each box so that a window's own font does not reach it.
QFont PictureTextFont();

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
