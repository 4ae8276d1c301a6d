#include "display/results/EnergyMapView.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>

#include <algorithm>
#include <cmath>

#include "display/PictureBoxes.h"
#include "display/results/MapPointer.h"
#include "display/summary/ArrivalMap.h"
#include "display/summary/SummaryPicture.h"
#include "values/MapGrid.h"

namespace halvane {
namespace {

// How much of a drawn cell's colour covers the picture behind it: enough to
// read the level, little enough to see what lies there.
constexpr int kLevelOpacityPercent = 70;
// The selected arrival's ring: this far outside its mark, this thick.
constexpr double kSelectedRingGapDeg = 2.5;
constexpr int kSelectedRingWidthPx = 3;
constexpr double kBarStepDb = 10;

QRgb Blend(QRgb under, QRgb over)
{
    auto mix = [](int a, int b) { return (a * (100 - kLevelOpacityPercent) + b * kLevelOpacityPercent + 50) / 100; };
    return qRgb(mix(qRed(under), qRed(over)), mix(qGreen(under), qGreen(over)), mix(qBlue(under), qBlue(over)));
}

}  // namespace

QColor MapOverlayColour(double levelDb, double rangeDb)
{
    if (!(levelDb >= -rangeDb)) return QColor();
    return TimeRampColour((levelDb + rangeDb) / rangeDb);
}

QImage MapColourBar(double rangeDb, QSize sizePx, const QFont& font)
{
    QImage bar(sizePx, QImage::Format_RGB32);
    bar.fill(QGuiApplication::palette().color(QPalette::Window));
    QPainter painter(&bar);
    painter.setFont(font);
    const int top = 8, bottom = sizePx.height() - 8, width = 14;
    for (int y = top; y <= bottom; ++y) {
        painter.setPen(MapOverlayColour(-rangeDb * (y - top) / (bottom - top), rangeDb));
        painter.drawLine(0, y, width - 1, y);
    }
    painter.setPen(QGuiApplication::palette().color(QPalette::WindowText));
    for (double db = 0; db >= -rangeDb - 1e-9; db -= kBarStepDb) {
        const int y = top + static_cast<int>(std::lround(-db / rangeDb * (bottom - top)));
        painter.drawLine(width, y, width + 3, y);
        painter.drawText(QRect(width + 6, y - 8, sizePx.width() - width - 6, 16), Qt::AlignLeft | Qt::AlignVCenter,
                         db == 0 ? QStringLiteral("0 dB") : QString::number(db, 'f', 0));
    }
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

void EnergyMapView::ShowLevels(std::vector<double> levelDb, double rangeDb)
{
    m_levelDb = std::move(levelDb);
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
    // The picture and the levels over it become the surface's background;
    // the rings are drawings on it.
    QImage picture(DrawingAreaSize(), QImage::Format_RGB32);
    picture.fill(QGuiApplication::palette().color(QPalette::Button));
    {
        QPainter painter(&picture);
        // Without a picture, the field alone: the placeholder's words ask
        // for a click that loads a picture in the main window only.
        if (!m_background.isNull()) painter.drawImage(0, 0, m_background);
    }
    if (m_levelDb.size() == kMapCells) {
        const UserScale& scale = Scale();
        for (int y = 0; y < picture.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(picture.scanLine(y));
            const double elDeg = scale.ToUserY(y + 0.5);
            for (int x = 0; x < picture.width(); ++x) {
                const QColor colour = MapOverlayColour(m_levelDb[MapCellOf(scale.ToUserX(x + 0.5), elDeg)], m_rangeDb);
                if (colour.isValid()) line[x] = Blend(line[x], colour.rgb());
            }
        }
    }
    SetBackgroundPicture(picture);
    Clear();
    // The selected ring outside its mark, beneath the marks and labels so
    // that every label still reads.
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
    DrawArrivalMarks(*this, m_arrivals, m_floorDb, '.');
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
