#include "display/summary/Reflectogram.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "display/DrawingSurface.h"
#include "display/LabelPlacer.h"
#include "display/summary/AzimuthColour.h"

namespace halvane {
namespace {

const QColor kGridColour(222, 222, 222);
constexpr int kDotRadiusPx = 3;
constexpr int kLegendBarWidthPx = 144;
constexpr int kLegendBarHeightPx = 9;
constexpr int kTitleRowBottomPx = 17;  // the title line ends here

// The azimuth legend at the top right of the surface: a bar of the colours
// from 180 (left) to -180 degrees (right), the map's order, with five
// numbers beneath and its caption before it. Returns the area it takes.
QRect DrawAzimuthLegend(DrawingSurface& surface, int rightPx, char decimalSeparator)
{
    const QRect bar(rightPx - kLegendBarWidthPx + 1, 4, kLegendBarWidthPx, kLegendBarHeightPx);
    for (int i = 0; i < bar.width(); ++i) {
        const double azDeg = 180.0 - 360.0 * (i + 0.5) / bar.width();
        FillPx(surface, QRect(bar.left() + i, bar.top(), 1, bar.height()), AzimuthColour(azDeg));
    }
    QRect taken = bar;
    for (int k = 0; k <= 4; ++k) {
        const double x = bar.left() + (bar.width() - 1) * k / 4.0;
        const QString number = PlotNumber(180 - 90 * k, decimalSeparator);
        taken |= TextBoxPx(surface, x, bar.bottom() + 2, number, TextAnchor::TopCentre);
        PrintAtPx(surface, x, bar.bottom() + 2, number, TextAnchor::TopCentre);
    }
    const QString caption = QStringLiteral("azimuth (") + QChar(0x00B0) + QStringLiteral(")");
    const double captionX = bar.left() - 6;
    const double captionY = bar.center().y() + 1;
    taken |= TextBoxPx(surface, captionX, captionY, caption, TextAnchor::MiddleRight);
    PrintAtPx(surface, captionX, captionY, caption, TextAnchor::MiddleRight);
    return taken;
}

}  // namespace

AxisTicks ReflectogramTimeAxis(const std::vector<Arrival>& arrivals)
{
    double firstMs = INFINITY;
    double lastMs = -INFINITY;
    for (const Arrival& a : arrivals) {
        if (!std::isfinite(a.timeMs)) continue;
        firstMs = std::min(firstMs, a.timeMs);
        lastMs = std::max(lastMs, a.timeMs);
    }
    if (!(lastMs >= firstMs)) return NiceTicks(0, 100, 5);
    const double marginMs = std::max(0.05 * (lastMs - firstMs), 1.0);
    return NiceTicks(std::max(firstMs - marginMs, 0.0), lastMs + marginMs, 5);
}

AxisTicks ReflectogramLevelAxis(const std::vector<Arrival>& arrivals, double floorDb)
{
    if (!(floorDb > 0) || !std::isfinite(floorDb)) floorDb = kArrivalFloorDb;
    double topDb = 0;
    for (const Arrival& a : arrivals) {
        if (std::isfinite(a.levelDb)) topDb = std::max(topDb, a.levelDb);
    }
    return NiceTicks(-floorDb, topDb, 4);
}

void DrawReflectogram(DrawingSurface& surface, const std::vector<Arrival>& arrivals, double floorDb, int bandHz,
                      char decimalSeparator)
{
    PlotFrame frame(surface, kReflectogramMarginsPx, ReflectogramTimeAxis(arrivals),
                    ReflectogramLevelAxis(arrivals, floorDb));
    frame.DrawGrid(kGridColour);
    QString title = QStringLiteral("Reflectogram");
    if (bandHz > 0) title += QStringLiteral(", %1 Hz band").arg(bandHz);
    frame.DrawAxes(title, QStringLiteral("level re direct sound (dB)"), QStringLiteral("time (ms)"), decimalSeparator);
    surface.SetForeColour(Qt::black);
    const QRect box = frame.BoxPx();
    const QRect legend = DrawAzimuthLegend(surface, box.right(), decimalSeparator);

    struct Stem {
        int number;
        Arrival arrival;
    };
    std::vector<Stem> stems;
    for (std::size_t i = 0; i < arrivals.size(); ++i) {
        const Arrival& a = arrivals[i];
        if (std::isfinite(a.timeMs) && std::isfinite(a.levelDb)) stems.push_back({static_cast<int>(i + 1), a});
    }
    if (stems.empty()) {
        frame.Text((frame.X().from + frame.X().to) / 2, (frame.Y().from + frame.Y().to) / 2,
                   QStringLiteral("no arrivals found"), TextAnchor::TopCentre);
        return;
    }
    std::stable_sort(stems.begin(), stems.end(),
                     [](const Stem& a, const Stem& b) { return a.arrival.levelDb > b.arrival.levelDb; });

    const double halfWidth = frame.UnitsPerPxX();  // a 3 px stem about its time's column
    const double dotRadius = kDotRadiusPx * frame.UnitsPerPxX();
    const double bottomDb = frame.Y().from;
    surface.SetSolidFill(true);
    surface.SetLineWidth(1);
    LabelPlacer placer(
        QRect(QPoint(0, kTitleRowBottomPx), QPoint(surface.DrawingAreaSize().width() - 1, box.bottom())));
    placer.Keep(legend);
    const UserScale& scale = surface.Scale();
    for (const Stem& s : stems) {
        const QColor colour = AzimuthColour(s.arrival.azDeg);
        const double levelDb = std::clamp(s.arrival.levelDb, bottomDb, frame.Y().to);
        surface.Box(static_cast<float>(s.arrival.timeMs - halfWidth), static_cast<float>(bottomDb),
                    static_cast<float>(s.arrival.timeMs + halfWidth), static_cast<float>(levelDb), colour);
        surface.SetFillColour(colour);
        surface.Circle(static_cast<float>(s.arrival.timeMs), static_cast<float>(levelDb), static_cast<float>(dotRadius),
                       colour.darker(140));
        const int x = static_cast<int>(std::floor(scale.ToPixelX(s.arrival.timeMs)));
        const int top = static_cast<int>(std::floor(scale.ToPixelY(levelDb)));
        placer.Keep(QRect(QPoint(x - kDotRadiusPx, top - kDotRadiusPx), QPoint(x + kDotRadiusPx, box.bottom())));
    }
    for (const Stem& s : stems) {
        const double levelDb = std::clamp(s.arrival.levelDb, bottomDb, frame.Y().to);
        const double x = scale.ToPixelX(s.arrival.timeMs);
        const double y = scale.ToPixelY(levelDb);
        const QString number = QString::number(s.number);
        const std::array<QRect, 3> candidates = {
            TextBoxPx(surface, x, y - kDotRadiusPx - 2, number, TextAnchor::BottomCentre),
            TextBoxPx(surface, x + kDotRadiusPx + 3, y, number, TextAnchor::MiddleLeft),
            TextBoxPx(surface, x - kDotRadiusPx - 3, y, number, TextAnchor::MiddleRight),
        };
        if (const auto place = placer.Place(candidates)) {
            PrintAtPx(surface, place->left(), place->top(), number, TextAnchor::TopLeft);
        }
    }
}

}  // namespace halvane
