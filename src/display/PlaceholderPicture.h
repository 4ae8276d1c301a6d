#pragma once

#include <QImage>

namespace halvane {

// The map's picture before a background is loaded: a 1200 x 600 light grey
// field (RGB 212, 208, 200) with 1 px near-black grid lines every 150 px
// (x = 0 ... 1050, y = 0 ... 450; none along the right and bottom edges) and
// "Click here to load" over "background image" in large mid-grey letters,
// centred on (600, 300) and kept inside the top-left 957 x 477 px that the
// map shows.
QImage MakePlaceholderPicture();

// Its colours, for anyone checking pixels.
inline constexpr QRgb PlaceholderFieldRgb = 0xffd4d0c8;  // 212, 208, 200
inline constexpr QRgb PlaceholderGridRgb = 0xff202020;   // near-black
inline constexpr QRgb PlaceholderTextRgb = 0xff808080;   // 128, 128, 128
inline constexpr int PlaceholderGridStepPx = 150;

}  // namespace halvane
