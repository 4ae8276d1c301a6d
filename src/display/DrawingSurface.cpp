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

// Circles whose centre or radius lies this many pixels away are beyond what
// the rasteriser's fixed-point arithmetic covers; they are not drawn unless
// they cover the whole drawing area.
constexpr double FarOffPx = 1e7;

QPainter::CompositionMode LineModeFor(PenMode mode) {
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

void PreparePainter(QPainter& painter) {
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, false);
}

QPen FigurePen(QColor colour, int widthPx) {
    QPen pen(colour);
    pen.setWidth(widthPx);
    pen.setCosmetic(widthPx <= 1);
    pen.setCapStyle(Qt::SquareCap);
    pen.setJoinStyle(Qt::MiterJoin);
    return pen;
}

}  // namespace

DrawingSurface::DrawingSurface(QSize boxSize, QColor backColour, QWidget* parent)
    : QWidget(parent),
      m_image(std::max(boxSize.width() - 2 * BorderPx, 1), std::max(boxSize.height() - 2 * BorderPx, 1),
              QImage::Format_RGB32),
      m_backColour(backColour.toRgb()) {
    setFixedSize(boxSize);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    m_scale.AreaWidthPx = m_image.width();
    m_scale.AreaHeightPx = m_image.height();
    ComposeClearedImage();
    RestoreBackground(m_image.rect());
}

void DrawingSurface::SetScale(double left, double top, double width, double height) {
    m_scale.Left = left;
    m_scale.Top = top;
    m_scale.Width = width;
    m_scale.Height = height;
}

void DrawingSurface::SetHorizontalScale(double left, double width) {
    m_scale.Left = left;
    m_scale.Width = width;
}

void DrawingSurface::SetLineWidth(int widthPx) {
    m_lineWidthPx = std::max(widthPx, 1);
}

void DrawingSurface::Line(float x1, float y1, float x2, float y2, QColor colour) {
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

void DrawingSurface::Box(float x1, float y1, float x2, float y2, QColor colour) {
    const auto c1 = m_scale.ClampedColumnOf(x1);
    const auto r1 = m_scale.ClampedRowOf(y1);
    const auto c2 = m_scale.ClampedColumnOf(x2);
    const auto r2 = m_scale.ClampedRowOf(y2);
    if (!c1 || !r1 || !c2 || !r2) {
        return;
    }
    FillPixels(std::min(*c1, *c2), std::min(*r1, *r2), std::max(*c1, *c2), std::max(*r1, *r2), colour);
}

void DrawingSurface::FillPixels(int left, int top, int right, int bottom, QColor colour) {
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

void DrawingSurface::Circle(float x, float y, float radius, QColor outline) {
    const double cx = m_scale.ToPixelX(x);
    const double cy = m_scale.ToPixelY(y);
    const double r = static_cast<double>(radius) * m_scale.PixelsPerUnitX();
    if (!std::isfinite(cx) || !std::isfinite(cy) || !std::isfinite(r) || r < 0) {
        return;
    }
    const double reach = r + m_lineWidthPx + 1;
    const QRectF bounds(cx - reach, cy - reach, 2 * reach, 2 * reach);
    if (!bounds.intersects(QRectF(m_image.rect()))) {
        return;
    }
    const QRect area = bounds.toAlignedRect().intersected(m_image.rect());
    if (area.isEmpty()) {
        return;
    }

    // The figure goes into a transparent mask first, outline over interior,
    // so that each pixel is combined with the surface exactly once: an
    // outline pixel carries the outline colour alone, whatever the pen mode.
    QImage mask(area.size(), QImage::Format_ARGB32_Premultiplied);
    mask.fill(Qt::transparent);
    const double farthestCornerPx =
        std::hypot(std::max(cx, m_image.width() - cx), std::max(cy, m_image.height() - cy));
    if (r > farthestCornerPx + m_lineWidthPx + 1) {
        // The area lies wholly inside the circle: only the interior shows.
        if (!m_solidFill) {
            return;
        }
        mask.fill(m_fillColour);
    } else {
        if (std::fabs(cx) > FarOffPx || std::fabs(cy) > FarOffPx || r > FarOffPx) {
            return;
        }
        QPainter painter(&mask);
        PreparePainter(painter);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.translate(-area.topLeft());
        // Aliased painting puts integer point (i, j) on pixel (i, j), whose
        // centre is at (i + 0.5, j + 0.5) in the scale's continuous pixels;
        // the outline runs half a pixel inside the radius, so a circle
        // spanning the whole area lights its first and last columns.
        const double outlineRadius = std::max(r - 0.5, 0.0);
        const QRectF ellipse(cx - 0.5 - outlineRadius, cy - 0.5 - outlineRadius, 2 * outlineRadius,
                             2 * outlineRadius);
        if (m_solidFill) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(m_fillColour);
            painter.drawEllipse(ellipse);
        }
        painter.setPen(FigurePen(outline.toRgb(), m_lineWidthPx));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(ellipse);
    }

    CombineMask(mask, area.topLeft());
    Changed(area);
}

// Boxes and circles are combined with the drawing here, pixel by pixel, in
// the same three ways as the composition modes of lines: the toolkit hands
// larger fills and image blends to a thread pool, whose hand-over costs more
// than the whole figure.
void DrawingSurface::CombineSpan(QRgb* pixels, int count, QRgb pen) const {
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

void DrawingSurface::CombineMask(const QImage& mask, QPoint at) {
    const int width = mask.width();
    const int height = mask.height();
    for (int y = 0; y < height; ++y) {
        const auto* source = reinterpret_cast<const QRgb*>(mask.constScanLine(y));
        auto* target = reinterpret_cast<QRgb*>(m_image.scanLine(at.y() + y)) + at.x();
        // Runs of one opaque colour (the interior, an outline stretch) at a time.
        int x = 0;
        while (x < width) {
            if (qAlpha(source[x]) == 0) {
                ++x;
                continue;
            }
            const QRgb colour = source[x];
            int end = x + 1;
            while (end < width && source[end] == colour) {
                ++end;
            }
            CombineSpan(target + x, end - x, colour & 0x00ffffffu);
            x = end;
        }
    }
}

void DrawingSurface::Clear() {
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

void DrawingSurface::SetCurrentPosition(float x, float y) {
    m_currentX = x;
    m_currentY = y;
}

void DrawingSurface::Print(const QString& text) {
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

void DrawingSurface::SetBackgroundPicture(const QImage& picture) {
    m_background = picture.convertToFormat(QImage::Format_RGB32);
    m_backgroundChanged = true;
    ComposeClearedImage();
}

void DrawingSurface::ComposeClearedImage() {
    m_cleared = QImage(m_image.size(), QImage::Format_RGB32);
    m_cleared.fill(m_backColour);
    if (!m_background.isNull()) {
        QPainter painter(&m_cleared);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(0, 0, m_background);
    }
}

void DrawingSurface::RestoreBackground(const QRect& areaRect) {
    const QRect rect = areaRect.intersected(m_image.rect());
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        const auto* source = reinterpret_cast<const QRgb*>(m_cleared.constScanLine(y)) + rect.left();
        auto* target = reinterpret_cast<QRgb*>(m_image.scanLine(y)) + rect.left();
        std::copy_n(source, rect.width(), target);
    }
}

void DrawingSurface::Changed(const QRect& areaRect) {
    const QRect onArea = areaRect.intersected(m_image.rect());
    m_drawnSinceClear |= onArea;
    update(onArea.translated(BorderPx, BorderPx));
}

void DrawingSurface::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    const QRect areaOnWidget(BorderPx, BorderPx, m_image.width(), m_image.height());
    if (!areaOnWidget.contains(event->rect())) {
        qDrawWinPanel(&painter, rect(), palette(), true);
    }
    // Only the part that needs repainting is copied.
    const QRect dirty = event->rect().intersected(areaOnWidget);
    painter.drawImage(dirty.topLeft(), m_image, dirty.translated(-BorderPx, -BorderPx));
}

void DrawingSurface::mousePressEvent(QMouseEvent* event) {
    const QPointF inArea = event->position() - QPointF(BorderPx, BorderPx);
    const double px = std::floor(inArea.x());
    const double py = std::floor(inArea.y());
    m_leftPressedInside = event->button() == Qt::LeftButton;
    event->accept();
    emit Pressed(static_cast<float>(m_scale.ToUserX(px)), static_cast<float>(m_scale.ToUserY(py)));
}

void DrawingSurface::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = m_leftPressedInside && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    m_leftPressedInside = false;
    event->accept();
    if (click) {
        emit Clicked();
    }
}

}  // namespace halvane
