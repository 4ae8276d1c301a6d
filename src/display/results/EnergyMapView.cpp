#include "display/results/EnergyMapView.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>

#include <algorithm>
#include <cmath>

#include "display/PictureBoxes.h"
#include "display/maps/ArrivalRings.h"
#include "display/maps/EnergyMapPainter.h"
#include "display/results/MapPointer.h"

namespace halvane {
namespace {

// The selected arrival's ring: this far outside its mark, this thick.
constexpr double kSelectedRingGapDeg = 2.5;
constexpr int kSelectedRingWidthPx = 3;

}  // namespace

QImage MapColourBar(double rangeDb, QSize sizePx, const QFont& font)
{
    QImage bar(sizePx, QImage::Format_RGB32);
    bar.fill(QGuiApplication::palette().color(QPalette::Window));
    QPainter painter(&bar);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setFont(font);
    const QFontMetricsF metrics(font);
    // Room above for "dB" and at the right for the numbers.
    const QRectF barRect(4, 2 * metrics.height(), 14, sizePx.height() - 3 * metrics.height());
    PaintDbColourBar(painter, barRect, rangeDb);
    return bar;
}

EnergyMapView::EnergyMapView(QWidget* parent)
    : DrawingSurface(kDirectionMapBoxPx, QGuiApplication::palette().color(QPalette::Button), parent)
{
    setFont(PictureTextFont());
    setMouseTracking(true);
    SetScale(180, 90, -360, -180);
    Redraw();
}

void EnergyMapView::SetBackground(const QImage& picture)
{
    m_background = picture;
    Redraw();
}

void EnergyMapView::ShowMap(std::optional<EnergyMap> map, double rangeDb)
{
    m_map = std::move(map);
    m_rangeDb = rangeDb;
    Redraw();
}

void EnergyMapView::SetArrivals(std::vector<Arrival> arrivals, double floorDb)
{
    m_arrivals = std::move(arrivals);
    m_floorDb = floorDb;
    m_selected = -1;
    Redraw();
}

void EnergyMapView::SelectArrival(int arrival)
{
    const int selected = arrival >= 0 && arrival < static_cast<int>(m_arrivals.size()) ? arrival : -1;
    if (selected == m_selected) return;
    m_selected = selected;
    Redraw();
}

QPoint EnergyMapView::PixelOf(double azDeg, double elDeg) const
{
    return QPoint(Scale().ColumnOf(azDeg).value_or(-1), Scale().RowOf(elDeg).value_or(-1));
}

void EnergyMapView::Redraw()
{
    // The painter's map becomes the surface's background; the selected ring
    // is a drawing on it.
    QImage picture(DrawingAreaSize(), QImage::Format_RGB32);
    {
        QPainter painter(&picture);
        painter.setFont(font());
        EnergyMapPanel panel;
        panel.map = m_map ? &*m_map : nullptr;
        panel.arrivals = m_arrivals;
        EnergyMapStyle style;
        style.rangeDb = m_rangeDb;
        style.background = m_background;
        style.arrivalFloorDb = m_floorDb;
        PaintEnergyMap(painter, QRectF(QPointF(0, 0), QSizeF(picture.size())), panel, style);
    }
    SetBackgroundPicture(picture);
    Clear();
    if (m_selected >= 0) {
        const Arrival& arrival = m_arrivals[static_cast<std::size_t>(m_selected)];
        const double radiusDeg = ArrivalMarkRadiusDeg(arrival.levelDb, m_floorDb) + kSelectedRingGapDeg;
        SetLineWidth(kSelectedRingWidthPx);
        for (const double shiftDeg : {0.0, -360.0, 360.0}) {
            const double az = arrival.azDeg + shiftDeg;
            if (az - radiusDeg > 180 || az + radiusDeg < -180) continue;
            Circle(static_cast<float>(az), static_cast<float>(arrival.elDeg), static_cast<float>(radiusDeg),
                   kSelectedArrivalColour);
        }
        SetLineWidth(1);
    }
}

QPointF EnergyMapView::DirectionAt(QPointF widgetPos) const
{
    const QPointF inArea = widgetPos - QPointF(BorderPx, BorderPx);
    return QPointF(Scale().ToUserX(std::floor(inArea.x()) + 0.5), Scale().ToUserY(std::floor(inArea.y()) + 0.5));
}

void EnergyMapView::mouseMoveEvent(QMouseEvent* event)
{
    const QPointF inArea = event->position() - QPointF(BorderPx, BorderPx);
    if (inArea.x() < 0 || inArea.y() < 0 || inArea.x() >= DrawingAreaSize().width() ||
        inArea.y() >= DrawingAreaSize().height()) {
        emit PointerLeft();
        return;
    }
    const QPointF direction = DirectionAt(event->position());
    emit PointerMoved(direction.x(), direction.y());
}

void EnergyMapView::mousePressEvent(QMouseEvent* event)
{
    DrawingSurface::mousePressEvent(event);
    if (event->button() != Qt::LeftButton) return;
    const QPointF direction = DirectionAt(event->position());
    const int arrival = ArrivalRingAt(m_arrivals, m_floorDb, direction.x(), direction.y());
    if (arrival >= 0) emit ArrivalPressed(arrival);
}

void EnergyMapView::leaveEvent(QEvent* event)
{
    DrawingSurface::leaveEvent(event);
    emit PointerLeft();
}

}  // namespace halvane
