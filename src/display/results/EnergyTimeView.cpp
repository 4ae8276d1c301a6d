#include "display/results/EnergyTimeView.h"

#include <QMouseEvent>

#include <algorithm>
#include <cmath>

#include "display/PictureBoxes.h"
#include "display/results/EnergyMapView.h"
#include "display/summary/PlotFrame.h"

namespace halvane {
namespace {

constexpr QSize kBoxPx{961, 170};
constexpr PlotMarginsPx kMarginsPx{40, 20, 12, 32};
constexpr double kLowestDb = -80;
const QColor kRangeColour(200, 222, 255);
const QColor kDragColour(255, 226, 170);
const QColor kGridColour(225, 225, 225);
const QColor kCurveColour(30, 30, 30);

AxisTicks TimeAxis(const EnergyTimeCurve& curve)
{
    return curve.levelDb.empty() ? AxisTicks{0, 100, 10} : NiceTicks(curve.fromMs, curve.ToMs(), 10);
}

}  // namespace

EnergyTimeView::EnergyTimeView(QWidget* parent) : DrawingSurface(kBoxPx, Qt::white, parent)
{
    setFont(PictureTextFont());
    Redraw();
}

void EnergyTimeView::Show(EnergyTimeCurve curve, double fromMs, double toMs, std::optional<double> markMs)
{
    m_curve = std::move(curve);
    m_fromMs = fromMs;
    m_toMs = toMs;
    m_markMs = markMs;
    Redraw();
}

void EnergyTimeView::SetMark(std::optional<double> markMs)
{
    m_markMs = markMs;
    Redraw();
}

double EnergyTimeView::MsAtColumn(int column) const { return Scale().ToUserX(column + 0.5); }

int EnergyTimeView::ColumnOfMs(double ms) const { return Scale().ColumnOf(ms).value_or(-1); }

void EnergyTimeView::Redraw()
{
    Clear();
    PlotFrame frame(*this, kMarginsPx, TimeAxis(m_curve), AxisTicks{kLowestDb, 0, 20});
    const double top = frame.Y().to, bottom = frame.Y().from;
    auto shade = [&](double from, double to, QColor colour) {
        const double left = std::max(from, frame.X().from), right = std::min(to, frame.X().to);
        if (right > left)
            Box(static_cast<float>(left), static_cast<float>(top), static_cast<float>(right),
                static_cast<float>(bottom), colour);
    };
    shade(m_fromMs, m_toMs, kRangeColour);
    if (m_dragStartX) shade(std::min(m_dragFromMs, m_dragToMs), std::max(m_dragFromMs, m_dragToMs), kDragColour);
    frame.DrawGrid(kGridColour);
    SetLineWidth(1);
    for (std::size_t i = 0; i < m_curve.levelDb.size(); ++i) {
        // Each bin a step: flat across its width, joined to the next.
        const double from = m_curve.fromMs + m_curve.binMs * static_cast<double>(i);
        const double level = std::max(kLowestDb, m_curve.levelDb[i]);
        frame.ClippedLine(from, level, from + m_curve.binMs, level, kCurveColour);
        if (i + 1 < m_curve.levelDb.size()) {
            const double next = std::max(kLowestDb, m_curve.levelDb[i + 1]);
            frame.ClippedLine(from + m_curve.binMs, level, from + m_curve.binMs, next, kCurveColour);
        }
    }
    if (m_markMs) {
        SetLineWidth(2);
        frame.ClippedLine(*m_markMs, bottom, *m_markMs, top, kSelectedArrivalColour);
        SetLineWidth(1);
    }
    SetForeColour(Qt::black);
    frame.DrawAxes(QStringLiteral("Energy-time curve of W"), QStringLiteral("dB re its peak"),
                   QStringLiteral("ms after the direct sound (drag across to choose a range)"), '.');
}

double EnergyTimeView::ClampedMsAt(double widgetX) const
{
    const double ms = MsAtColumn(static_cast<int>(std::floor(widgetX - BorderPx)));
    const double end = m_curve.levelDb.empty() ? 0 : m_curve.ToMs();
    return std::clamp(ms, 0.0, std::max(0.0, end));
}

void EnergyTimeView::mousePressEvent(QMouseEvent* event)
{
    DrawingSurface::mousePressEvent(event);
    if (event->button() != Qt::LeftButton || m_curve.levelDb.empty()) return;
    m_dragStartX = event->position().x();
    m_dragFromMs = m_dragToMs = ClampedMsAt(event->position().x());
}

void EnergyTimeView::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_dragStartX) return;
    m_dragToMs = ClampedMsAt(event->position().x());
    Redraw();
}

void EnergyTimeView::mouseReleaseEvent(QMouseEvent* event)
{
    DrawingSurface::mouseReleaseEvent(event);
    if (!m_dragStartX || event->button() != Qt::LeftButton) return;
    const bool dragged = std::abs(event->position().x() - *m_dragStartX) >= kLeastDragPx;
    m_dragToMs = ClampedMsAt(event->position().x());
    m_dragStartX.reset();
    Redraw();
    const double from = std::min(m_dragFromMs, m_dragToMs), to = std::max(m_dragFromMs, m_dragToMs);
    if (dragged && to > from) emit RangeDragged(from, to);
}

}  // namespace halvane
