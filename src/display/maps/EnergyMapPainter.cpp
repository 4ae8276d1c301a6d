#include "display/maps/EnergyMapPainter.h"

#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <array>
#include <cmath>

#include "display/AxisTicks.h"
#include "display/LabelPlacer.h"
#include "display/maps/ArrivalRings.h"
#include "report/EnergyMapTable.h"
#include "values/MapGrid.h"

namespace halvane {
namespace {

constexpr double kGridStepDeg = 30;
// The cells are drawn from a picture this many times finer than the grid,
// smoothed, so that every device (a PDF viewer too) shows the same soft map.
constexpr int kCellUpsampling = 4;
// Over a photo the loudest cells are this opaque; quieter ones less, as the
// square root of their place in the range, so the room shows through them.
constexpr double kLoudestOpacity = 0.8;
// The beam's width at first order: the angle whose cosine is its r_E, 1/sqrt(3).
constexpr int kBeamWidthDeg = 55;
const QColor kFrameColour(40, 40, 40);
const QColor kGridColour(255, 255, 255, 120);
const QColor kRingDark(20, 20, 20, 220);
const QColor kRingLight(255, 255, 255, 235);
const QColor kNameBox(255, 255, 255, 210);

// A line's width: a twelfth of the font's height, whatever the device.
double LineUnit(const QPainter& painter) { return QFontMetricsF(painter.font()).height() / 12; }

QPointF MapPoint(const QRectF& r, double azDeg, double elDeg)
{
    return {r.left() + (180 - azDeg) / 360 * r.width(), r.top() + (90 - elDeg) / 180 * r.height()};
}

QString Degrees(double deg) { return QString::number(deg == 0 ? 0 : deg) + QChar(0x00B0); }

QImage CellPicture(const EnergyMap& map, double rangeDb, bool overPhoto, bool difference)
{
    QImage cells(kMapColumns, kMapRows, QImage::Format_ARGB32);
    for (std::size_t row = 0; row < kMapRows; ++row) {
        auto* line = reinterpret_cast<QRgb*>(cells.scanLine(static_cast<int>(row)));
        for (std::size_t column = 0; column < kMapColumns; ++column) {
            const std::size_t cell = row * kMapColumns + column;
            const double level = cell < map.levelDb.size() ? map.levelDb[cell] : kEnergyMapFloorDb;
            if (difference) {
                line[column] = DifferenceColour(level).rgb();
                continue;
            }
            const double fraction = MapLevelFraction(level, rangeDb);
            const QColor colour = ViridisColour(fraction);
            double opacity = 1;
            if (overPhoto) opacity = fraction > 0 ? kLoudestOpacity * std::sqrt(std::min(fraction, 1.0)) : 0;
            line[column] =
                qRgba(colour.red(), colour.green(), colour.blue(), static_cast<int>(std::nearbyint(255 * opacity)));
        }
    }
    return cells.convertToFormat(QImage::Format_ARGB32_Premultiplied)
        .scaled(kMapColumns * kCellUpsampling, kMapRows * kCellUpsampling, Qt::IgnoreAspectRatio,
                Qt::SmoothTransformation);
}

void PaintGrid(QPainter& painter, const QRectF& r)
{
    painter.setPen(QPen(kGridColour, LineUnit(painter)));
    for (double az = 180 - kGridStepDeg; az > -180; az -= kGridStepDeg) {
        painter.drawLine(MapPoint(r, az, 90), MapPoint(r, az, -90));
    }
    for (double el = 90 - kGridStepDeg; el > -90; el -= kGridStepDeg) {
        painter.drawLine(MapPoint(r, 180, el), MapPoint(r, -180, el));
    }
}

// Hollow rings, loudest first, so a softer ring inside a louder one stays seen.
void PaintRings(QPainter& painter, const QRectF& r, std::vector<Arrival> arrivals, double floorDb)
{
    std::stable_sort(arrivals.begin(), arrivals.end(),
                     [](const Arrival& a, const Arrival& b) { return a.levelDb > b.levelDb; });
    const double unit = LineUnit(painter);
    painter.setBrush(Qt::NoBrush);
    for (const Arrival& a : arrivals) {
        if (!std::isfinite(a.azDeg) || !std::isfinite(a.elDeg)) continue;
        const double radius = ArrivalMarkRadiusDeg(a.levelDb, floorDb) * r.width() / 360;
        for (const double shiftDeg : {0.0, -360.0, 360.0}) {
            const QPointF centre = MapPoint(r, a.azDeg + shiftDeg, a.elDeg);
            painter.setPen(QPen(kRingDark, 2.2 * unit));
            painter.drawEllipse(centre, radius, radius);
            painter.setPen(QPen(kRingLight, unit));
            painter.drawEllipse(centre, radius - 1.2 * unit, radius - 1.2 * unit);
        }
    }
}

QRectF RingBox(const QRectF& r, const Arrival& a, double floorDb)
{
    const double radius = ArrivalMarkRadiusDeg(a.levelDb, floorDb) * r.width() / 360;
    const QPointF centre = MapPoint(r, a.azDeg, a.elDeg);
    return QRectF(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
}

// The arrivals' names beside their rings, on light boxes so that they read
// over any colour; the loudest choose first, none covers a ring or a name.
void PaintNames(QPainter& painter, const QRectF& r, const EnergyMapPanel& panel, double floorDb)
{
    std::vector<std::size_t> order;
    for (std::size_t i = 0; i < panel.arrivals.size() && i < panel.names.size(); ++i) {
        const Arrival& a = panel.arrivals[i];
        if (!panel.names[i].isEmpty() && std::isfinite(a.azDeg) && std::isfinite(a.elDeg)) order.push_back(i);
    }
    if (order.empty()) return;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return panel.arrivals[a].levelDb > panel.arrivals[b].levelDb;
    });
    LabelPlacer placer(r.toAlignedRect());
    for (const std::size_t i : order) placer.Keep(RingBox(r, panel.arrivals[i], floorDb).toAlignedRect());
    const QFontMetricsF metrics(painter.font());
    const double unit = LineUnit(painter);
    for (const std::size_t i : order) {
        const QRectF ring = RingBox(r, panel.arrivals[i], floorDb);
        const QSizeF size(metrics.horizontalAdvance(panel.names[i]) + 4 * unit, metrics.height());
        const double gap = 2 * unit;
        const QPointF c = ring.center();
        const std::array<QRect, 4> candidates = {
            QRectF(QPointF(ring.right() + gap, c.y() - size.height() / 2), size).toAlignedRect(),
            QRectF(QPointF(ring.left() - gap - size.width(), c.y() - size.height() / 2), size).toAlignedRect(),
            QRectF(QPointF(c.x() - size.width() / 2, ring.top() - gap - size.height()), size).toAlignedRect(),
            QRectF(QPointF(c.x() - size.width() / 2, ring.bottom() + gap), size).toAlignedRect(),
        };
        const auto place = placer.Place(candidates);
        if (!place) continue;
        painter.setPen(Qt::NoPen);
        painter.setBrush(kNameBox);
        painter.drawRoundedRect(QRectF(*place), 2 * unit, 2 * unit);
        painter.setPen(Qt::black);
        painter.drawText(QRectF(*place), Qt::AlignCenter, panel.names[i]);
    }
}

}  // namespace

QString EnergyMapLegend(const EnergyMapSet& set)
{
    const QString re = QStringLiteral("levels in dB re the direct sound's peak");
    if (set.estimator == MapEstimator::Histogram) {
        return QStringLiteral("Direction histogram: each sample's energy at its intensity direction, spread by a "
                              "%1%2 spot; %3.")
            .arg(set.spotWidthDeg)
            .arg(QChar(0x00B0))
            .arg(re);
    }
    return QStringLiteral("First-order max-rE beam: one plane wave is a spot about %1%2 across; %3.")
        .arg(kBeamWidthDeg)
        .arg(QChar(0x00B0))
        .arg(re);
}

void PaintEnergyMap(QPainter& painter, const QRectF& mapRect, const EnergyMapPanel& panel, const EnergyMapStyle& style)
{
    painter.save();
    painter.setClipRect(mapRect);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const bool overPhoto = !style.background.isNull() && !style.difference;
    if (overPhoto) {
        painter.drawImage(mapRect, style.background);
    } else {
        painter.fillRect(mapRect, style.difference ? kMaskedCellColour : ViridisColour(0));
    }
    if (panel.map) painter.drawImage(mapRect, CellPicture(*panel.map, style.rangeDb, overPhoto, style.difference));
    PaintGrid(painter, mapRect);
    PaintRings(painter, mapRect, panel.arrivals, style.arrivalFloorDb);
    PaintNames(painter, mapRect, panel, style.arrivalFloorDb);
    painter.setClipping(false);
    painter.setPen(QPen(kFrameColour, LineUnit(painter)));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(mapRect);
    painter.restore();
}

void PaintMapAxes(QPainter& painter, const QRectF& mapRect)
{
    painter.save();
    const QFontMetricsF metrics(painter.font());
    const double unit = LineUnit(painter);
    painter.setPen(kFrameColour);
    const double widest = metrics.horizontalAdvance(Degrees(-150));
    double stepDeg = 90;
    for (const double step : {30.0, 60.0}) {
        if (step * mapRect.width() / 360 >= 1.25 * widest) {
            stepDeg = step;
            break;
        }
    }
    const double numbersTop = mapRect.bottom() + 2 * unit;
    for (double az = 180; az >= -180; az -= stepDeg) {
        const double x = MapPoint(mapRect, az, 0).x();
        painter.drawLine(QPointF(x, mapRect.bottom()), QPointF(x, numbersTop));
        painter.drawText(QRectF(x - widest, numbersTop, 2 * widest, metrics.height()), Qt::AlignHCenter | Qt::AlignTop,
                         Degrees(az));
    }
    const double numbersRight = mapRect.left() - 2 * unit;
    const double elStep = mapRect.height() / 6 >= 1.1 * metrics.height() ? 30 : 90;
    for (double el = 90; el >= -90; el -= elStep) {
        const double y = MapPoint(mapRect, 0, el).y();
        painter.drawLine(QPointF(numbersRight, y), QPointF(mapRect.left(), y));
        painter.drawText(
            QRectF(numbersRight - 2 * widest, y - metrics.height() / 2, 2 * widest - unit, metrics.height()),
            Qt::AlignRight | Qt::AlignVCenter, Degrees(el));
    }
    // The axes' names where the numbers leave room: "Az" left of the first
    // azimuth number, "El" above the first elevation number.
    const double firstAzLeft = mapRect.left() - metrics.horizontalAdvance(Degrees(180)) / 2 - 4 * unit;
    painter.drawText(QRectF(firstAzLeft - 2 * widest, numbersTop, 2 * widest, metrics.height()),
                     Qt::AlignRight | Qt::AlignTop, QStringLiteral("Az"));
    painter.drawText(
        QRectF(numbersRight - 2 * widest, mapRect.top() - 1.6 * metrics.height(), 2 * widest - unit, metrics.height()),
        Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("El"));
    painter.restore();
}

MapPanelLayout LayoutMapPanel(QPainter& painter, const QRectF& panelRect)
{
    const QFontMetricsF metrics(painter.font());
    // Room for the elevation numbers, and for "Az" before the first azimuth number.
    const double left =
        std::max(metrics.horizontalAdvance(Degrees(-90)),
                 metrics.horizontalAdvance(QStringLiteral("Az")) + metrics.horizontalAdvance(Degrees(180)) / 2) +
        5 * LineUnit(painter);
    const double right = metrics.horizontalAdvance(Degrees(-180)) / 2;
    const double title = 1.5 * metrics.height();
    const double bottom = 1.4 * metrics.height();
    const double width = std::max(1.0, panelRect.width() - left - right);
    const double height = std::max(1.0, panelRect.height() - title - bottom);
    const double mapWidth = std::min(width, 2 * height);
    MapPanelLayout layout;
    const double mapLeft = panelRect.left() + left + (width - mapWidth) / 2;
    layout.title = QRectF(mapLeft, panelRect.top(), mapWidth, title);
    layout.map = QRectF(mapLeft, panelRect.top() + title, mapWidth, mapWidth / 2);
    return layout;
}

void PaintEnergyMapPanel(QPainter& painter, const QRectF& panelRect, const EnergyMapPanel& panel,
                         const EnergyMapStyle& style)
{
    const MapPanelLayout layout = LayoutMapPanel(painter, panelRect);
    painter.save();
    QFont bold = painter.font();
    bold.setBold(true);
    painter.setFont(bold);
    painter.setPen(Qt::black);
    painter.drawText(layout.title, Qt::AlignHCenter | Qt::AlignVCenter, panel.title);
    painter.restore();
    PaintEnergyMap(painter, layout.map, panel, style);
    PaintMapAxes(painter, layout.map);
}

std::vector<double> DbColourBarTicks(double rangeDb)
{
    if (!(rangeDb > 0) || !std::isfinite(rangeDb)) rangeDb = kDefaultMapRangeDb;
    std::vector<double> ticks;
    for (const double db : NiceTicks(-rangeDb, 0, 5).Values()) {
        if (db >= -rangeDb) ticks.push_back(db == 0 ? 0 : db);
    }
    return ticks;
}

namespace {

// A colour bar's tick: its height as a fraction of the bar from the bottom, and its label.
struct BarTick {
    double fraction;
    QString label;
};

// A vertical colour bar: the ramp of stops from bottom to top, framed, with
// its ticks at the right and its title above, titleMargin average characters
// wider than the bar on either side. Leaves the painter as it found it, except
// for its pen and brush (the caller's save and restore).
void PaintColourBar(QPainter& painter, const QRectF& barRect, const std::vector<QColor>& stops,
                    const std::vector<BarTick>& ticks, const QString& title, double titleMargin)
{
    QLinearGradient ramp(barRect.bottomLeft(), barRect.topLeft());
    for (std::size_t i = 0; i < stops.size(); ++i)
        ramp.setColorAt(static_cast<double>(i) / (stops.size() - 1), stops[i]);
    painter.fillRect(barRect, ramp);
    const double unit = LineUnit(painter);
    const QFontMetricsF metrics(painter.font());
    painter.setPen(QPen(kFrameColour, unit));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(barRect);
    for (const BarTick& tick : ticks) {
        const double y = barRect.bottom() - tick.fraction * barRect.height();
        painter.drawLine(QPointF(barRect.right(), y), QPointF(barRect.right() + 3 * unit, y));
        painter.drawText(QRectF(barRect.right() + 4 * unit, y - metrics.height() / 2, 6 * metrics.averageCharWidth(),
                                metrics.height()),
                         Qt::AlignLeft | Qt::AlignVCenter, tick.label);
    }
    const double margin = titleMargin * metrics.averageCharWidth();
    painter.drawText(QRectF(barRect.left() - margin, barRect.top() - 1.3 * metrics.height(),
                            barRect.width() + 2 * margin, metrics.height()),
                     Qt::AlignHCenter | Qt::AlignBottom, title);
}

}  // namespace

void PaintDbColourBar(QPainter& painter, const QRectF& barRect, double rangeDb)
{
    if (!(rangeDb > 0) || !std::isfinite(rangeDb)) rangeDb = kDefaultMapRangeDb;
    std::vector<BarTick> ticks;
    for (const double db : DbColourBarTicks(rangeDb)) ticks.push_back({(db + rangeDb) / rangeDb, QString::number(db)});
    painter.save();
    PaintColourBar(painter, barRect, {ViridisStops().begin(), ViridisStops().end()}, ticks, QStringLiteral("dB"), 2);
    painter.restore();
}

QString DifferenceLegend()
{
    return QStringLiteral("B's level less A's in dB, each re its own direct sound unless both are calibrated; grey: "
                          "both below the floor.");
}

void PaintDifferenceColourBar(QPainter& painter, const QRectF& barRect, double spanDb)
{
    if (!(spanDb > 0) || !std::isfinite(spanDb)) spanDb = kDifferenceSpanDb;
    std::vector<BarTick> ticks;
    for (int k = -2; k <= 2; ++k) {
        const double db = k * spanDb / 2;
        ticks.push_back(
            {(db + spanDb) / (2 * spanDb), (db > 0 ? QStringLiteral("+") : QString()) + QString::number(db)});
    }
    painter.save();
    PaintColourBar(painter, barRect, {DivergingStops().begin(), DivergingStops().end()}, ticks,
                   QStringLiteral("B-A dB"), 4);
    const QFontMetricsF metrics(painter.font());
    const QRectF masked(barRect.left(), barRect.bottom() + 0.6 * metrics.height(), barRect.width(), barRect.width());
    painter.fillRect(masked, kMaskedCellColour);
    painter.drawRect(masked);
    painter.drawText(QRectF(masked.center().x() - 4 * metrics.averageCharWidth(), masked.bottom(),
                            8 * metrics.averageCharWidth(), metrics.height()),
                     Qt::AlignHCenter | Qt::AlignTop, QStringLiteral("masked"));
    painter.restore();
}

double PaintEnergyMapRow(QPainter& painter, const QRectF& rowRect, const EnergyMapRow& row)
{
    if (!row.set || row.set->maps.empty()) return 0;
    const QFontMetricsF metrics(painter.font());
    const double barWidth = 1.2 * metrics.height();
    const double barSpace = barWidth + 7 * metrics.averageCharWidth();
    const std::size_t count = row.set->maps.size();
    const std::size_t columns = row.columns > 0 ? std::min(count, static_cast<std::size_t>(row.columns)) : count;
    const std::size_t rows = (count + columns - 1) / columns;
    const double panelWidth = (rowRect.width() - barSpace) / static_cast<double>(columns);
    // The height a panel's map takes at the full width, and the lines under them all.
    const std::optional<QString> warning = BackgroundWarning(row.style.background.size());
    const double textHeight = metrics.height() * (warning ? 2.6 : 1.3);
    const MapPanelLayout wide = LayoutMapPanel(painter, QRectF(0, 0, panelWidth, 1e9));
    const double panelHeight = std::min((rowRect.height() - textHeight) / static_cast<double>(rows),
                                        wide.map.bottom() + 1.4 * metrics.height());

    MapPanelLayout first;
    for (std::size_t i = 0; i < count; ++i) {
        const EnergyMap& map = row.set->maps[i];
        const QRectF panelRect(rowRect.left() + panelWidth * static_cast<double>(i % columns),
                               rowRect.top() + panelHeight * static_cast<double>(i / columns), panelWidth, panelHeight);
        if (i == 0) first = LayoutMapPanel(painter, panelRect);
        EnergyMapPanel panel{&map, QString::fromStdString(TimeRangeName(map.range)), {}, {}};
        for (const std::size_t k : ArrivalRowsInRange(row.arrivals, map, row.set->onsetMs)) {
            panel.arrivals.push_back(row.arrivals[k]);
            if (!row.surfaceNames.empty())
                panel.names.push_back(k < row.surfaceNames.size() ? QString::fromStdString(row.surfaceNames[k])
                                                                  : QString());
        }
        PaintEnergyMapPanel(painter, panelRect, panel, row.style);
    }
    const QRectF bar(rowRect.right() - barSpace + 2 * metrics.averageCharWidth(), first.map.top(), barWidth,
                     first.map.height());
    if (row.style.difference) {
        PaintDifferenceColourBar(painter, bar.adjusted(0, 0, 0, -3 * metrics.height()));
    } else {
        PaintDbColourBar(painter, bar, row.style.rangeDb);
    }

    painter.save();
    painter.setPen(Qt::black);
    const double legendTop = rowRect.top() + panelHeight * static_cast<double>(rows);
    painter.drawText(QRectF(rowRect.left(), legendTop, rowRect.width(), metrics.height()),
                     Qt::AlignLeft | Qt::AlignVCenter,
                     row.style.difference ? DifferenceLegend() : EnergyMapLegend(*row.set));
    if (warning) {
        painter.setPen(QColor(170, 0, 0));
        painter.drawText(QRectF(rowRect.left(), legendTop + 1.3 * metrics.height(), rowRect.width(), metrics.height()),
                         Qt::AlignLeft | Qt::AlignVCenter, *warning);
    }
    painter.restore();
    return panelHeight * static_cast<double>(rows) + textHeight;
}

}  // namespace halvane
