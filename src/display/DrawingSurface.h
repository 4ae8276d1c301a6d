#pragma once

#include <QColor>
#include <QImage>
#include <QRegion>
#include <QString>
#include <QWidget>

#include "display/UserScale.h"

namespace halvane {

// How a figure's pixels combine with the pixels already on the surface.
enum class PenMode {
    Copy,   // the pen colour replaces the pixel
    Merge,  // bitwise OR of pen colour and pixel
    Xor,    // bitwise exclusive OR: the same figure drawn twice restores every pixel
};

// One picture box: a 2 px sunken border around a drawing area whose pixels
// live in a retained image. Every drawing call paints into that image in the
// area's user scale; paintEvent only copies the image. Figures are drawn
// without anti-aliasing in opaque colours, so the pen modes act on whole
// pixels. Usable without a window (an offscreen summary renders these).
//
// Coordinates and radii arrive in single precision, in user units. A figure
// with a non-finite coordinate, or on a scale of zero width or height, is
// not drawn.
class DrawingSurface : public QWidget {
    Q_OBJECT

public:
    static constexpr int BorderPx = 2;

    // boxSize includes the border; the drawing area is 4 px narrower and lower.
    DrawingSurface(QSize boxSize, QColor backColour, QWidget* parent = nullptr);

    QSize DrawingAreaSize() const { return m_image.size(); }
    // The drawing area's pixels, as they are shown.
    const QImage& Image() const { return m_image; }

    // The user scale over the whole drawing area (left, top, width, height).
    void SetScale(double left, double top, double width, double height);
    // Changes only the horizontal part of the scale.
    void SetHorizontalScale(double left, double width);
    const UserScale& Scale() const { return m_scale; }

    void SetPenMode(PenMode mode) { m_penMode = mode; }
    PenMode CurrentPenMode() const { return m_penMode; }
    void SetFillColour(QColor colour) { m_fillColour = colour.toRgb(); }
    QColor FillColour() const { return m_fillColour; }
    // Solid: circles get their interior painted in the fill colour. Hollow: outline only.
    void SetSolidFill(bool solid) { m_solidFill = solid; }
    bool SolidFill() const { return m_solidFill; }
    // Line width in pixels for lines and circle outlines; values below 1 count as 1.
    void SetLineWidth(int widthPx);
    int LineWidth() const { return m_lineWidthPx; }
    // The colour of texts and of figures drawn without a colour of their own.
    void SetForeColour(QColor colour) { m_foreColour = colour.toRgb(); }
    QColor ForeColour() const { return m_foreColour; }
    // The drawing is always retained; the flag is kept for the run's set-up.
    void SetPersistentDrawing(bool on) { m_persistent = on; }
    bool PersistentDrawing() const { return m_persistent; }

    // A line from one point to the other, both end pixels included.
    void Line(float x1, float y1, float x2, float y2, QColor colour);
    void Line(float x1, float y1, float x2, float y2) { Line(x1, y1, x2, y2, m_foreColour); }
    // A solid rectangle spanning the pixels of both corners; corners far off
    // the area (even infinite) still give the part that lies on it.
    void Box(float x1, float y1, float x2, float y2, QColor colour);
    // A circle about (x, y); radius in horizontal user units, so it stays
    // round whatever the vertical scale. The outline is the line width thick,
    // just inside the radius; the interior follows the fill settings.
    void Circle(float x, float y, float radius, QColor outline);
    void Circle(float x, float y, float radius) { Circle(x, y, radius, m_foreColour); }
    // Removes every drawing; the background picture stays.
    void Clear();

    // Text: the upper-left corner of the text goes to the current position,
    // which then moves to the start of the next line (left edge of the scale).
    // Drawn in the foreground colour; the pen mode does not apply to text.
    void SetCurrentPosition(float x, float y);
    float CurrentX() const { return m_currentX; }
    float CurrentY() const { return m_currentY; }
    void Print(const QString& text);

    // A picture shown at natural size from the drawing area's top-left
    // corner, clipped at the right and bottom, behind every drawing. Setting
    // it does not clear the drawings; call Clear first to show it alone.
    void SetBackgroundPicture(const QImage& picture);
    bool HasBackgroundPicture() const { return !m_background.isNull(); }

signals:
    // A left-button click (press and release inside the box).
    void Clicked();
    // Any mouse button pressed; x and y in user units.
    void Pressed(float x, float y);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void ComposeClearedImage();
    // Combines count pixels with the pen colour (alpha ignored) in the pen mode.
    void CombineSpan(QRgb* pixels, int count, QRgb pen) const;
    // Copies the back colour and background picture over a part of the drawing.
    void RestoreBackground(const QRect& areaRect);
    // Fills the pixel rectangle [left..right] x [top..bottom] in the pen mode.
    void FillPixels(int left, int top, int right, int bottom, QColor colour);
    // Schedules a repaint of a rectangle of the drawing area.
    void Changed(const QRect& areaRect);

    QImage m_image;
    QImage m_background;
    QImage m_cleared;                  // back colour and background picture: what Clear shows
    QRegion m_drawnSinceClear;         // area pixels changed since the last Clear
    bool m_backgroundChanged = false;  // the next Clear repaints the whole area
    QColor m_backColour;
    UserScale m_scale;
    PenMode m_penMode = PenMode::Copy;
    QColor m_fillColour{0, 0, 0};
    bool m_solidFill = false;
    int m_lineWidthPx = 1;
    QColor m_foreColour{0, 0, 0};
    bool m_persistent = true;
    float m_currentX = 0;
    float m_currentY = 0;
    bool m_leftPressedInside = false;
};

}  // namespace halvane
