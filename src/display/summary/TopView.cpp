#include "display/summary/TopView.h"

#include <QFont>

#include <algorithm>
#include <array>
#include <cmath>

#include "display/DrawingSurface.h"
#include "display/LabelPlacer.h"
#include "display/summary/AzimuthColour.h"
#include "display/summary/PlotFrame.h"
#include "values/SoundField.h"

namespace halvane {
namespace {

constexpr int kTitleRowBottomPx = 17;
constexpr int kAboveRingPx = 16;   // for "front" between the title and the ring
constexpr int kBelowRingPx = 16;   // for "back"
constexpr int kBesideRingPx = 32;  // for "left" and "right"
constexpr int kLineWidthPx = 3;
// More numbers than this crowd the middle, where the soft arrivals end.
constexpr std::size_t kMaxLabels = 12;
const QColor kRingColour(215, 215, 215);
const QColor kOuterRingColour(150, 150, 150);
const QColor kRingTextColour(110, 110, 110);

struct Ray {
    int number;
    double azDeg;
    double reach;
};

}  // namespace

double TopViewReach(double levelDb, double floorDb)
{
    if (!(floorDb > 0) || !std::isfinite(floorDb)) floorDb = kArrivalFloorDb;
    if (std::isnan(levelDb)) return 0;
    return std::clamp(1 + levelDb / floorDb, 0.0, 1.0);
}

TopViewGeometry TopViewGeometryFor(int areaWidthPx, int areaHeightPx)
{
    const double top = kTitleRowBottomPx + kAboveRingPx;
    const double radius =
        std::max(std::min((areaHeightPx - top - kBelowRingPx) / 2, (areaWidthPx - 2.0 * kBesideRingPx) / 2), 1.0);
    return {areaWidthPx / 2.0, top + radius, radius};
}

namespace {

// The cross and the rings at the level axis's ticks, each labelled where it
// crosses the line to the back right; the labels' boxes kept in placer.
void DrawRings(DrawingSurface& surface, const TopViewGeometry& g, double floorDb, char decimalSeparator,
               LabelPlacer& placer)
{
    surface.Line(-1.0f, 0.0f, 1.0f, 0.0f, kRingColour);
    surface.Line(0.0f, -1.0f, 0.0f, 1.0f, kRingColour);
    const AxisTicks levels = NiceTicks(-floorDb, 0, 4);
    surface.SetForeColour(kRingTextColour);
    for (const double levelDb : levels.Values()) {
        const double reach = TopViewReach(levelDb, floorDb);
        if (levelDb < -floorDb || reach <= 0) continue;
        surface.Circle(0.0f, 0.0f, static_cast<float>(reach), reach < 1 ? kRingColour : kOuterRingColour);
        const double xPx = g.centreXPx + reach * g.radiusPx * std::sqrt(0.5) + 2;
        const double yPx = g.centreYPx + reach * g.radiusPx * std::sqrt(0.5) + 1;
        QString text = PlotNumber(levelDb, decimalSeparator);
        if (reach >= 1) text += QStringLiteral(" dB");
        placer.Keep(TextBoxPx(surface, xPx, yPx, text, TextAnchor::TopLeft));
        PrintAtPx(surface, xPx, yPx, text, TextAnchor::TopLeft);
    }
}

// "front", "back", "left" and "right" beyond the outer ring, and the title
// in bold at the top left.
void DrawNames(DrawingSurface& surface, const TopViewGeometry& g, int bandHz, LabelPlacer& placer)
{
    surface.SetForeColour(Qt::black);
    struct DirectionName {
        QString name;
        double dxPx, dyPx;  // from the centre
        TextAnchor anchor;
    };
    const std::array<DirectionName, 4> directions = {{
        {QStringLiteral("front"), 0, -(g.radiusPx + 2), TextAnchor::BottomCentre},
        {QStringLiteral("back"), 0, g.radiusPx + 2, TextAnchor::TopCentre},
        {QStringLiteral("left"), -(g.radiusPx + 4), 0, TextAnchor::MiddleRight},
        {QStringLiteral("right"), g.radiusPx + 4, 0, TextAnchor::MiddleLeft},
    }};
    for (const DirectionName& d : directions) {
        placer.Keep(TextBoxPx(surface, g.centreXPx + d.dxPx, g.centreYPx + d.dyPx, d.name, d.anchor));
        PrintAtPx(surface, g.centreXPx + d.dxPx, g.centreYPx + d.dyPx, d.name, d.anchor);
    }
    const QFont plain = surface.font();
    QFont bold = plain;
    bold.setBold(true);
    surface.setFont(bold);
    QString title = QStringLiteral("Top view");
    if (bandHz > 0) title += QStringLiteral(", %1 Hz band").arg(bandHz);
    PrintAtPx(surface, 4, 3, title, TextAnchor::TopLeft);
    surface.setFont(plain);
}

// The arrivals that reach into the view, numbered as on the map, longest
// first (so that the shorter lines stay visible on top of them).
std::vector<Ray> RaysOf(const std::vector<Arrival>& arrivals, double floorDb)
{
    std::vector<Ray> rays;
    for (std::size_t i = 0; i < arrivals.size(); ++i) {
        const Arrival& a = arrivals[i];
        const double reach = TopViewReach(a.levelDb, floorDb);
        if (std::isfinite(a.azDeg) && reach > 0) rays.push_back({static_cast<int>(i + 1), a.azDeg, reach});
    }
    std::stable_sort(rays.begin(), rays.end(), [](const Ray& a, const Ray& b) { return a.reach > b.reach; });
    return rays;
}

// The number of each of the first kMaxLabels rays beyond its line's end,
// touching neither, where it finds room.
void DrawRayNumbers(DrawingSurface& surface, const TopViewGeometry& g, const std::vector<Ray>& rays,
                    LabelPlacer& placer)
{
    for (std::size_t i = 0; i < std::min(rays.size(), kMaxLabels); ++i) {
        const Ray& r = rays[i];
        const double azRad = RadiansFromDegrees(r.azDeg);
        const double towardsXPx = -std::sin(azRad);
        const double towardsYPx = -std::cos(azRad);  // pixel rows grow downwards
        const double tipXPx = g.centreXPx + towardsXPx * r.reach * g.radiusPx;
        const double tipYPx = g.centreYPx + towardsYPx * r.reach * g.radiusPx;
        const QString number = QString::number(r.number);
        const QRect box = TextBoxPx(surface, 0, 0, number, TextAnchor::TopLeft);
        const double centreX = tipXPx + towardsXPx * (box.width() / 2.0 + 3);
        const double centreY = tipYPx + towardsYPx * (box.height() / 2.0 + 3);
        const std::array<QRect, 1> candidates = {
            TextBoxPx(surface, centreX, centreY + box.height() / 2.0, number, TextAnchor::BottomCentre)};
        if (const auto place = placer.Place(candidates)) {
            PrintAtPx(surface, place->left(), place->top(), number, TextAnchor::TopLeft);
        }
    }
}

}  // namespace

void DrawTopView(DrawingSurface& surface, const std::vector<Arrival>& arrivals, double floorDb, int bandHz,
                 char decimalSeparator)
{
    if (!(floorDb > 0) || !std::isfinite(floorDb)) floorDb = kArrivalFloorDb;
    const QSize area = surface.DrawingAreaSize();
    const TopViewGeometry g = TopViewGeometryFor(area.width(), area.height());
    // One user unit is the outer ring's radius; y grows upwards, to the front.
    surface.SetScale(-g.centreXPx / g.radiusPx, g.centreYPx / g.radiusPx, area.width() / g.radiusPx,
                     -area.height() / g.radiusPx);
    surface.SetPenMode(PenMode::Copy);
    surface.SetSolidFill(false);
    surface.SetLineWidth(1);
    LabelPlacer placer(QRect(QPoint(0, kTitleRowBottomPx), QPoint(area.width() - 1, area.height() - 1)));
    DrawRings(surface, g, floorDb, decimalSeparator, placer);
    DrawNames(surface, g, bandHz, placer);

    const std::vector<Ray> rays = RaysOf(arrivals, floorDb);
    surface.SetLineWidth(kLineWidthPx);
    for (const Ray& r : rays) {
        const double azRad = RadiansFromDegrees(r.azDeg);
        // Left (positive azimuth) is to the left, front is up.
        surface.Line(0.0f, 0.0f, static_cast<float>(-std::sin(azRad) * r.reach),
                     static_cast<float>(std::cos(azRad) * r.reach), AzimuthColour(r.azDeg));
    }
    surface.SetLineWidth(1);
    DrawRayNumbers(surface, g, rays, placer);
}

}  // namespace halvane
