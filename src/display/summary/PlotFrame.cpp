#include "display/summary/PlotFrame.h"

#include <QFont>
#include <QFontMetrics>

#include <algorithm>
#include <cmath>
#include <utility>

#include "display/DrawingSurface.h"
#include "report/NumberFormat.h"

namespace halvane {
namespace {

const QColor kAxisColour(64, 64, 64);
constexpr int kTickPx = 4;
constexpr int kNumberGapPx = 2;  // between a tick's end and its number

}  // namespace

bool ClipSegment(double& x1, double& y1, double& x2, double& y2, double left, double right, double bottom, double top)
{
    if (!std::isfinite(x1) || !std::isfinite(y1) || !std::isfinite(x2) || !std::isfinite(y2)) return false;
    const double dx = x2 - x1;
    const double dy = y2 - y1;
    double enter = 0;
    double leave = 1;
    // Each edge as p * t <= q: the parameter t of the segment must lie on the inner side.
    const std::pair<double, double> edges[4] = {{-dx, x1 - left}, {dx, right - x1}, {-dy, y1 - bottom}, {dy, top - y1}};
    for (const auto& [p, q] : edges) {
        if (p == 0) {
            if (q < 0) return false;  // parallel to the edge and outside it
            continue;
        }
        const double t = q / p;
        if (p < 0) {
            enter = std::max(enter, t);
        } else {
            leave = std::min(leave, t);
        }
        if (enter > leave) return false;
    }
    const double startX = x1;
    const double startY = y1;
    if (leave < 1) {
        x2 = startX + leave * dx;
        y2 = startY + leave * dy;
    }
    if (enter > 0) {
        x1 = startX + enter * dx;
        y1 = startY + enter * dy;
    }
    return true;
}

PlotFrame::PlotFrame(DrawingSurface& surface, PlotMarginsPx margins, AxisTicks x, AxisTicks y)
    : m_surface(surface), m_x(x), m_y(y)
{
    const QSize area = surface.DrawingAreaSize();
    // The data rectangle's far edges land on the last column and row of the
    // box, so that the outline drawn along them is visible.
    const int boxWidthPx = std::max(area.width() - margins.left - margins.right - 1, 1);
    const int boxHeightPx = std::max(area.height() - margins.top - margins.bottom - 1, 1);
    m_boxPx = QRect(margins.left, margins.top, boxWidthPx + 1, boxHeightPx + 1);
    const double unitsX = (m_x.to - m_x.from) / boxWidthPx;
    const double unitsY = (m_y.to - m_y.from) / boxHeightPx;
    surface.SetScale(m_x.from - margins.left * unitsX, m_y.to + margins.top * unitsY, area.width() * unitsX,
                     -area.height() * unitsY);
    surface.SetPenMode(PenMode::Copy);
}

double PlotFrame::UnitsPerPxX() const { return (m_x.to - m_x.from) / (m_boxPx.width() - 1); }

double PlotFrame::UnitsPerPxY() const { return (m_y.to - m_y.from) / (m_boxPx.height() - 1); }

void PlotFrame::DrawGrid(QColor colour)
{
    for (const double x : m_x.Values()) {
        if (x > m_x.from && x < m_x.to) ClippedLine(x, m_y.from, x, m_y.to, colour);
    }
    for (const double y : m_y.Values()) {
        if (y > m_y.from && y < m_y.to) ClippedLine(m_x.from, y, m_x.to, y, colour);
    }
}

void PlotFrame::DrawAxes(const QString& title, const QString& yCaption, const QString& xCaption, char decimalSeparator)
{
    m_surface.SetLineWidth(1);
    const auto left = static_cast<float>(m_x.from);
    const auto right = static_cast<float>(m_x.to);
    const auto bottom = static_cast<float>(m_y.from);
    const auto top = static_cast<float>(m_y.to);
    m_surface.Line(left, bottom, right, bottom, kAxisColour);
    m_surface.Line(left, top, right, top, kAxisColour);
    m_surface.Line(left, bottom, left, top, kAxisColour);
    m_surface.Line(right, bottom, right, top, kAxisColour);

    const double tickX = kTickPx * UnitsPerPxX();
    const double tickY = kTickPx * UnitsPerPxY();
    const QColor textColour = m_surface.ForeColour();
    m_surface.SetForeColour(Qt::black);
    for (const double x : m_x.Values()) {
        m_surface.Line(static_cast<float>(x), bottom, static_cast<float>(x), static_cast<float>(m_y.from - tickY),
                       kAxisColour);
        Text(x, m_y.from - tickY - kNumberGapPx * UnitsPerPxY(), PlotNumber(x, decimalSeparator),
             TextAnchor::TopCentre);
    }
    for (const double y : m_y.Values()) {
        m_surface.Line(static_cast<float>(m_x.from - tickX), static_cast<float>(y), left, static_cast<float>(y),
                       kAxisColour);
        Text(m_x.from - tickX - kNumberGapPx * UnitsPerPxX(), y, PlotNumber(y, decimalSeparator),
             TextAnchor::MiddleRight);
    }
    // The caption sits a number's height below the numbers.
    const int lineHeightPx = QFontMetrics(m_surface.font()).height();
    PrintAtPx(m_surface, m_boxPx.center().x(), m_boxPx.bottom() + kTickPx + kNumberGapPx + lineHeightPx, xCaption,
              TextAnchor::TopCentre);

    const QFont plain = m_surface.font();
    QFont bold = plain;
    bold.setBold(true);
    m_surface.setFont(bold);
    const QRect titleBox = TextBoxPx(m_surface, 4, 3, title, TextAnchor::TopLeft);
    PrintAtPx(m_surface, 4, 3, title, TextAnchor::TopLeft);
    m_surface.setFont(plain);
    PrintAtPx(m_surface, titleBox.right() + 10, 3, yCaption, TextAnchor::TopLeft);
    m_surface.SetForeColour(textColour);
}

void PlotFrame::ClippedLine(double x1, double y1, double x2, double y2, QColor colour)
{
    if (!ClipSegment(x1, y1, x2, y2, m_x.from, m_x.to, m_y.from, m_y.to)) return;
    m_surface.Line(static_cast<float>(x1), static_cast<float>(y1), static_cast<float>(x2), static_cast<float>(y2),
                   colour);
}

void PlotFrame::DashedLine(double x1, double y1, double x2, double y2, QColor colour, int dashPx, int gapPx)
{
    const double lengthPx = std::hypot((x2 - x1) / UnitsPerPxX(), (y2 - y1) / UnitsPerPxY());
    if (!std::isfinite(lengthPx) || dashPx < 1) return;
    const double periodPx = dashPx + std::max(gapPx, 0);
    for (double startPx = 0; startPx < lengthPx; startPx += periodPx) {
        const double from = startPx / lengthPx;
        const double to = std::min(startPx + dashPx - 1, lengthPx) / lengthPx;
        ClippedLine(x1 + from * (x2 - x1), y1 + from * (y2 - y1), x1 + to * (x2 - x1), y1 + to * (y2 - y1), colour);
    }
}

void PlotFrame::Text(double x, double y, const QString& text, TextAnchor anchor)
{
    PrintAtPx(m_surface, m_surface.Scale().ToPixelX(x), m_surface.Scale().ToPixelY(y), text, anchor);
}

QRect TextBoxPx(const DrawingSurface& surface, double xPx, double yPx, const QString& text, TextAnchor anchor)
{
    const QFontMetrics metrics(surface.font());
    const int width = metrics.horizontalAdvance(text);
    const int height = metrics.height();
    double left = xPx;
    double top = yPx;
    switch (anchor) {
    case TextAnchor::TopLeft:
        break;
    case TextAnchor::TopCentre:
        left -= width / 2.0;
        break;
    case TextAnchor::TopRight:
        left -= width;
        break;
    case TextAnchor::MiddleLeft:
        top -= height / 2.0;
        break;
    case TextAnchor::MiddleRight:
        left -= width;
        top -= height / 2.0;
        break;
    case TextAnchor::BottomLeft:
        top -= height;
        break;
    case TextAnchor::BottomCentre:
        left -= width / 2.0;
        top -= height;
        break;
    }
    if (!std::isfinite(left) || !std::isfinite(top) || std::fabs(left) > 1e8 || std::fabs(top) > 1e8) return QRect();
    return QRect(static_cast<int>(std::nearbyint(left)), static_cast<int>(std::nearbyint(top)), width, height);
}

void PrintAtPx(DrawingSurface& surface, double xPx, double yPx, const QString& text, TextAnchor anchor)
{
    const QRect box = TextBoxPx(surface, xPx, yPx, text, anchor);
    if (box.isNull()) return;
    // The middle of the pixel, so that the trip through single-precision
    // user units cannot land on the neighbouring column or row.
    const UserScale& scale = surface.Scale();
    surface.SetCurrentPosition(static_cast<float>(scale.ToUserX(box.left() + 0.5)),
                               static_cast<float>(scale.ToUserY(box.top() + 0.5)));
    surface.Print(text);
}

void PrintOutlinedAtPx(DrawingSurface& surface, double xPx, double yPx, const QString& text, TextAnchor anchor,
                       QColor fill, QColor outline)
{
    const QColor before = surface.ForeColour();
    surface.SetForeColour(outline);
    for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
            if (dx != 0 || dy != 0) PrintAtPx(surface, xPx + dx, yPx + dy, text, anchor);
        }
    }
    surface.SetForeColour(fill);
    PrintAtPx(surface, xPx, yPx, text, anchor);
    surface.SetForeColour(before);
}

void FillPx(DrawingSurface& surface, QRect areaPx, QColor colour)
{
    if (areaPx.isEmpty()) return;
    const UserScale& scale = surface.Scale();
    surface.Box(static_cast<float>(scale.ToUserX(areaPx.left() + 0.5)),
                static_cast<float>(scale.ToUserY(areaPx.top() + 0.5)),
                static_cast<float>(scale.ToUserX(areaPx.right() + 0.5)),
                static_cast<float>(scale.ToUserY(areaPx.bottom() + 0.5)), colour);
}

QString PlotNumber(double value, char decimalSeparator)
{
    if (value == 0) value = 0;  // no "-0"
    return QString::fromStdString(FormatGeneral(value, decimalSeparator)).trimmed();
}

}  // namespace halvane
