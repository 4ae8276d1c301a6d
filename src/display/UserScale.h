#pragma once

#include <optional>

namespace halvane {

// A picture box's user coordinate scale: the user point (Left, Top) lies at
// the top-left corner of the drawing area and (Left + Width, Top + Height) at
// its bottom-right corner. Width and Height may be negative (x growing to the
// left, y growing upwards); the scale always spans the whole drawing area.
//
// Pixel space is continuous: pixel column i covers [i, i + 1). A user value
// that lands exactly on the far edge (column AreaWidthPx) belongs to the last
// column, so both ends of the scale are visible.
struct UserScale {
    double Left = 0;
    double Top = 0;
    double Width = 1;
    double Height = 1;
    int AreaWidthPx = 1;
    int AreaHeightPx = 1;

    // Continuous pixel position of a user coordinate. Not finite when the
    // scale's width (height) is 0 or the coordinate is not finite.
    double ToPixelX(double x) const;
    double ToPixelY(double y) const;

    // The pixel column (row) a user coordinate falls into; may lie outside
    // the drawing area. Nothing for a non-finite position or one so far off
    // that it does not fit an int.
    std::optional<int> ColumnOf(double x) const;
    std::optional<int> RowOf(double y) const;

    // As ColumnOf and RowOf, but a far-off or infinite position is pulled in
    // to just outside the area (-1 or the area's size), which keeps the
    // visible part of an axis-aligned box. Nothing for not-a-number.
    std::optional<int> ClampedColumnOf(double x) const;
    std::optional<int> ClampedRowOf(double y) const;

    // The user x at the left edge of pixel column px (where a mouse press in
    // that column is reported). Not finite when the area has no width.
    double ToUserX(double px) const;
    double ToUserY(double py) const;

    // Pixels per horizontal user unit (always >= 0): radii are in horizontal units.
    double PixelsPerUnitX() const;

    bool operator==(const UserScale&) const = default;
};

}  // namespace halvane
