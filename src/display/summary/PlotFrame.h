#pragma once

#include <QColor>
#include <QRect>
#include <QString>

#include <vector>

#include "display/AxisTicks.h"

namespace halvane {

class DrawingSurface;

// The part of the segment (x1, y1)-(x2, y2) that lies inside the rectangle
// [left, right] x [bottom, top] (left <= right, bottom <= top), as its new
// ends; false when no part lies inside (or a coordinate is not finite).
// Liang-Barsky clipping: a segment wholly inside comes back unchanged.
bool ClipSegment(double& x1, double& y1, double& x2, double& y2, double left, double right, double bottom, double top);

// Pixel space left around a plot's data rectangle for numbers, captions and
// labels, in pixels of the surface's drawing area.
struct PlotMarginsPx {
    int left = 40;
    int top = 20;
    int right = 10;
    int bottom = 32;
};

// How a text is placed against a point: its box's left edge, centre or right
// edge at x, and its top, middle or bottom at y.
enum class TextAnchor { TopLeft, TopCentre, TopRight, MiddleLeft, MiddleRight, BottomLeft, BottomCentre };

// A data plot drawn on a DrawingSurface: the surface's user scale is set so
// that the data rectangle (x from x.from to x.to left to right, y from
// y.from at the bottom to y.to at the top, in the data's own units) fills
// the drawing area less the margins. Every figure is then given in data
// units; the margins take the axes' numbers, captions and title.
class PlotFrame {
public:
    // The surface must outlive the frame. The frame sets the surface's scale
    // and copy pen mode; it keeps no other state of the surface.
    PlotFrame(DrawingSurface& surface, PlotMarginsPx margins, AxisTicks x, AxisTicks y);

    const AxisTicks& X() const { return m_x; }
    const AxisTicks& Y() const { return m_y; }
    // The data rectangle in the surface's pixels (its right and bottom edges
    // are the last column and row of the plot).
    QRect BoxPx() const { return m_boxPx; }
    // Data units per pixel: horizontally (> 0) and vertically (> 0, upwards).
    double UnitsPerPxX() const;
    double UnitsPerPxY() const;

    // Light grid lines at every tick that is not an end of its axis.
    void DrawGrid(QColor colour);
    // The rectangle's outline, outward ticks 4 px long with their numbers
    // (general number form, decimalSeparator), xCaption centred below the
    // numbers, and a top line: the title in bold, then yCaption.
    void DrawAxes(const QString& title, const QString& yCaption, const QString& xCaption, char decimalSeparator);

    // A line clipped to the data rectangle; nothing when it lies outside.
    void ClippedLine(double x1, double y1, double x2, double y2, QColor colour);
    // As ClippedLine, in dashes dashPx long with gapPx between them, counted
    // from (x1, y1) along the line's length in pixels.
    void DashedLine(double x1, double y1, double x2, double y2, QColor colour, int dashPx, int gapPx);
    // A text placed against a point given in data units (which may lie in
    // the margins), in the surface's foreground colour.
    void Text(double x, double y, const QString& text, TextAnchor anchor);

private:
    DrawingSurface& m_surface;
    AxisTicks m_x;
    AxisTicks m_y;
    QRect m_boxPx;
};

// Prints text on any surface with its box placed against the pixel point
// (xPx, yPx) of the drawing area, in the surface's foreground colour.
void PrintAtPx(DrawingSurface& surface, double xPx, double yPx, const QString& text, TextAnchor anchor);

// The same, in fill colour with a 1 px outline of outline colour all round,
// readable over any picture.
void PrintOutlinedAtPx(DrawingSurface& surface, double xPx, double yPx, const QString& text, TextAnchor anchor,
                       QColor fill, QColor outline);

// The box a text takes at (xPx, yPx) with that anchor, in pixels, in the
// surface's current font.
QRect TextBoxPx(const DrawingSurface& surface, double xPx, double yPx, const QString& text, TextAnchor anchor);

// A solid rectangle given in pixels of the drawing area (both corners
// included), for legends laid out in pixels.
void FillPx(DrawingSurface& surface, QRect areaPx, QColor colour);

// A number as the plots print it: the general number form without its
// leading blank, 0 for a negative zero.
QString PlotNumber(double value, char decimalSeparator);

}  // namespace halvane
