#include "display/DrawingSurface.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <qdrawutil.h>

#include <algorithm>
#include <cmath>

namespace halvane {

namespace {

QPainter::CompositionMode LineModeFor(PenMode mode)
{
    switch (mode) {
    case PenMode::Merge:
        return QPainter::RasterOp_SourceOrDestination;
    case PenMode::Xor:
        return QPainter::RasterOp_SourceXorDestination;
    case PenMode::Copy:
        break;
    }
    return QPainter::CompositionMode_Source;
}

void PreparePainter(QPainter& painter)
{
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, false);
}

QPen FigurePen(QColor colour, int widthPx)
{
    QPen pen(colour);
    pen.setWidth(widthPx);
    pen.setCosmetic(widthPx <= 1);
    pen.setCapStyle(Qt::SquareCap);
    pen.setJoinStyle(Qt::MiterJoin);
    return pen;
}

}  // namespace

DrawingSurface::DrawingSurface(QSize boxSize, QColor backColour, QWidget* parent)
    : QWidget(parent), m_image(std::max(boxSize.width() - 2 * BorderPx, 1),
                               std::max(boxSize.height() - 2 * BorderPx, 1), QImage::Format_RGB32),
      m_backColour(backColour.toRgb())
{
    setFixedSize(boxSize);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    m_scale.AreaWidthPx = m_image.width();
    m_scale.AreaHeightPx = m_image.height();
    ComposeClearedImage();
    RestoreBackground(m_image.rect());
}

void DrawingSurface::SetScale(double left, double top, double width, double height)
{
    m_scale.Left = left;
    m_scale.Top = top;
    m_scale.Width = width;
    m_scale.Height = height;
}

void DrawingSurface::SetHorizontalScale(double left, double width)
{
    m_scale.Left = left;
    m_scale.Width = width;
}

void DrawingSurface::SetLineWidth(int widthPx) { m_lineWidthPx = std::max(widthPx, 1); }

void DrawingSurface::Line(float x1, float y1, float x2, float y2, QColor colour)
{
    const auto c1 = m_scale.ColumnOf(x1);
    const auto r1 = m_scale.RowOf(y1);
    const auto c2 = m_scale.ColumnOf(x2);
    const auto r2 = m_scale.RowOf(y2);
    if (!c1 || !r1 || !c2 || !r2) {
        return;
    }
    QPainter painter(&m_image);
    PreparePainter(painter);
    painter.setCompositionMode(LineModeFor(m_penMode));
    painter.setPen(FigurePen(colour.toRgb(), m_lineWidthPx));
    if (*c1 == *c2 && *r1 == *r2) {
        painter.drawPoint(*c1, *r1);
    } else {
        painter.drawLine(*c1, *r1, *c2, *r2);
    }
    const int reach = m_lineWidthPx + 1;
    Changed(QRect(QPoint(std::min(*c1, *c2), std::min(*r1, *r2)), QPoint(std::max(*c1, *c2), std::max(*r1, *r2)))
                .adjusted(-reach, -reach, reach, reach));
}

void DrawingSurface::Box(float x1, float y1, float x2, float y2, QColor colour)
{
    const auto c1 = m_scale.ClampedColumnOf(x1);
    const auto r1 = m_scale.ClampedRowOf(y1);
    const auto c2 = m_scale.ClampedColumnOf(x2);
    const auto r2 = m_scale.ClampedRowOf(y2);
    if (!c1 || !r1 || !c2 || !r2) {
        return;
    }
    FillPixels(std::min(*c1, *c2), std::min(*r1, *r2), std::max(*c1, *c2), std::max(*r1, *r2), colour);
}

void DrawingSurface::FillPixels(int left, int top, int right, int bottom, QColor colour)
{
    const QRect wanted(QPoint(left, top), QPoint(right, bottom));
    const QRect visible = wanted.intersected(m_image.rect());
    if (visible.isEmpty()) {
        return;
    }
    const QRgb pen = colour.toRgb().rgb() & 0x00ffffffu;
    for (int y = visible.top(); y <= visible.bottom(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(m_image.scanLine(y)) + visible.left();
        CombineSpan(row, visible.width(), pen);
    }
    Changed(visible);
}

void DrawingSurface::Circle(float x, float y, float radius, QColor outline)
{
    const double cx = m_scale.ToPixelX(x);
    const double cy = m_scale.ToPixelY(y);
    const double r = static_cast<double>(radius) * m_scale.PixelsPerUnitX();
    if (!std::isfinite(cx) || !std::isfinite(cy) || !std::isfinite(r) || r < 0) {
        return;
    }
    // A pixel belongs to the circle by the distance d of its centre from the
    // circle's centre: outline for r - lineWidth < d <= r, interior below.
    // Each row is two spans, so every pixel is combined exactly once and
    // only the visible rows cost anything, however large the circle.
    const double innerRadius = r - m_lineWidthPx;
    const int width = m_image.width();
    const int height = m_image.height();
    const int firstRow = static_cast<int>(std::clamp(std::floor(cy - r), 0.0, static_cast<double>(height)));
    const int lastRow = static_cast<int>(std::clamp(std::ceil(cy + r), -1.0, static_cast<double>(height - 1)));
    const QRgb outlinePen = outline.toRgb().rgb() & 0x00ffffffu;
    const QRgb fillPen = m_fillColour.rgb() & 0x00ffffffu;

    // The columns whose centres lie within halfWidth of cx, clipped to the area.
    auto span = [cx, width](double halfWidth) {
        const double first = std::ceil(cx - halfWidth - 0.5);
        const double last = std::floor(cx + halfWidth - 0.5);
        return std::pair<int, int>(static_cast<int>(std::clamp(first, -1.0, static_cast<double>(width))),
                                   static_cast<int>(std::clamp(last, -1.0, static_cast<double>(width))));
    };
    auto combine = [this, width](QRgb* row, int first, int last, QRgb pen) {
        first = std::max(first, 0);
        last = std::min(last, width - 1);
        if (first <= last) {
            CombineSpan(row + first, last - first + 1, pen);
        }
    };

    QRect changed;
    for (int y = firstRow; y <= lastRow; ++y) {
        const double dy = (y + 0.5) - cy;
        const double outerSquare = r * r - dy * dy;
        if (outerSquare < 0) {
            continue;
        }
        const auto [outerFirst, outerLast] = span(std::sqrt(outerSquare));
        if (outerFirst > outerLast) {
            continue;
        }
        auto* row = reinterpret_cast<QRgb*>(m_image.scanLine(y));
        const double innerSquare = innerRadius > 0 ? innerRadius * innerRadius - dy * dy : -1;
        if (innerSquare < 0) {
            combine(row, outerFirst, outerLast, outlinePen);
        } else {
            const auto [innerFirst, innerLast] = span(std::sqrt(innerSquare));
            combine(row, outerFirst, innerFirst - 1, outlinePen);
            if (m_solidFill) {
                combine(row, innerFirst, innerLast, fillPen);
            }
            combine(row, innerLast + 1, outerLast, outlinePen);
        }
        changed |= QRect(QPoint(outerFirst, y), QPoint(outerLast, y)).intersected(m_image.rect());
    }
    if (!changed.isEmpty()) {
        Changed(changed);
    }
}

// Boxes and circles are combined with the drawing here, span by span, in the
// same three ways as the composition modes of lines: the toolkit hands larger
// fills and image blends to a thread pool, whose hand-over costs more than
// the whole figure.
void DrawingSurface::CombineSpan(QRgb* pixels, int count, QRgb pen) const
{
    switch (m_penMode) {
    case PenMode::Copy:
        std::fill(pixels, pixels + count, 0xff000000u | pen);
        break;
    case PenMode::Merge:
        std::for_each(pixels, pixels + count, [pen](QRgb& pixel) { pixel |= pen; });
        break;
    case PenMode::Xor:
        std::for_each(pixels, pixels + count, [pen](QRgb& pixel) { pixel ^= pen; });
        break;
    }
}

void DrawingSurface::Clear()
{
    // Only what was drawn since the last clearing is restored and repainted,
    // unless the background itself changed.
    const QRegion dirty = m_backgroundChanged ? QRegion(m_image.rect()) : m_drawnSinceClear;
    for (const QRect& rect : dirty) {
        RestoreBackground(rect);
    }
    m_backgroundChanged = false;
    m_drawnSinceClear = QRegion();
    m_currentX = 0;
    m_currentY = 0;
    update(dirty.translated(BorderPx, BorderPx));
}

void DrawingSurface::SetCurrentPosition(float x, float y)
{
    m_currentX = x;
    m_currentY = y;
}

void DrawingSurface::Print(const QString& text)
{
    QFont textFont = font();
    textFont.setStyleStrategy(QFont::NoAntialias);
    const QFontMetrics metrics(textFont);
    const auto column = m_scale.ColumnOf(m_currentX);
    const auto row = m_scale.RowOf(m_currentY);
    if (column && row) {
        QPainter painter(&m_image);
        PreparePainter(painter);
        painter.setFont(textFont);
        painter.setPen(m_foreColour);
        painter.drawText(QPoint(*column, *row + metrics.ascent()), text);
        // Glyphs may overhang their advance by a pixel or two on either side.
        Changed(QRect(*column, *row, metrics.horizontalAdvance(text), metrics.height()).adjusted(-4, -4, 4, 4));
    }
    m_currentX = static_cast<float>(m_scale.Left);
    m_currentY = static_cast<float>(m_currentY + metrics.height() * m_scale.Height / m_scale.AreaHeightPx);
}

void DrawingSurface::SetBackgroundPicture(const QImage& picture)
{
    m_background = picture.convertToFormat(QImage::Format_RGB32);
    m_backgroundChanged = true;
    ComposeClearedImage();
}

void DrawingSurface::ComposeClearedImage()
{
    m_cleared = QImage(m_image.size(), QImage::Format_RGB32);
    m_cleared.fill(m_backColour);
    if (!m_background.isNull()) {
        QPainter painter(&m_cleared);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(0, 0, m_background);
    }
}

void DrawingSurface::RestoreBackground(const QRect& areaRect)
{
    const QRect rect = areaRect.intersected(m_image.rect());
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        const auto* source = reinterpret_cast<const QRgb*>(m_cleared.constScanLine(y)) + rect.left();
        auto* target = reinterpret_cast<QRgb*>(m_image.scanLine(y)) + rect.left();
        std::copy_n(source, rect.width(), target);
    }
}

void DrawingSurface::Changed(const QRect& areaRect)
{
    const QRect onArea = areaRect.intersected(m_image.rect());
    m_drawnSinceClear |= onArea;
    update(onArea.translated(BorderPx, BorderPx));
}

void DrawingSurface::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    const QRect areaOnWidget(BorderPx, BorderPx, m_image.width(), m_image.height());
    if (!areaOnWidget.contains(event->rect())) {
        qDrawWinPanel(&painter, rect(), palette(), true);
    }
    // Only the part that needs repainting is copied.
    const QRect dirty = event->rect().intersected(areaOnWidget);
    painter.drawImage(dirty.topLeft(), m_image, dirty.translated(-BorderPx, -BorderPx));
}

void DrawingSurface::mousePressEvent(QMouseEvent* event)
{
    const QPointF inArea = event->position() - QPointF(BorderPx, BorderPx);
    const double px = std::floor(inArea.x());
    const double py = std::floor(inArea.y());
    m_leftPressedInside = event->button() == Qt::LeftButton;
    event->accept();
    emit Pressed(static_cast<float>(m_scale.ToUserX(px)), static_cast<float>(m_scale.ToUserY(py)));
}

void DrawingSurface::mouseReleaseEvent(QMouseEvent* event)
{
    const bool click =
        m_leftPressedInside && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    m_leftPressedInside = false;
    event->accept();
    if (click) {
        emit Clicked();
    }
}

}  // namespace halvane
