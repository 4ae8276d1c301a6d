#include "display/summary/TopView.h"

#include <QFont>

#include <algorithm>
#include <array>
#include <cmath>

#include "display/DrawingSurface.h"
#include "display/summary/AzimuthColour.h"
#include "display/summary/LabelPlacer.h"
#include "display/summary/PlotFrame.h"

namespace halvane {
namespace {

constexpr double kDefaultFloorDb = 40;
constexpr double kPi = 3.14159265358979323846;
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
    if (!(floorDb > 0) || !std::isfinite(floorDb)) floorDb = kDefaultFloorDb;
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

void DrawTopView(DrawingSurface& surface, const std::vector<Arrival>& arrivals, double floorDb, int bandHz,
                 char decimalSeparator)
{
    if (!(floorDb > 0) || !std::isfinite(floorDb)) floorDb = kDefaultFloorDb;
    const QSize area = surface.DrawingAreaSize();
    const TopViewGeometry g = TopViewGeometryFor(area.width(), area.height());
    // One user unit is the outer ring's radius; y grows upwards, to the front.
    surface.SetScale(-g.centreXPx / g.radiusPx, g.centreYPx / g.radiusPx, area.width() / g.radiusPx,
                     -area.height() / g.radiusPx);
    surface.SetPenMode(PenMode::Copy);
    surface.SetSolidFill(false);
    surface.SetLineWidth(1);

    surface.Line(-1.0f, 0.0f, 1.0f, 0.0f, kRingColour);
    surface.Line(0.0f, -1.0f, 0.0f, 1.0f, kRingColour);
    const AxisTicks levels = NiceTicks(-floorDb, 0, 4);
    surface.SetForeColour(kRingTextColour);
    LabelPlacer placer(QRect(QPoint(0, kTitleRowBottomPx), QPoint(area.width() - 1, area.height() - 1)));
    for (const double levelDb : levels.Values()) {
        const double reach = TopViewReach(levelDb, floorDb);
        if (levelDb < -floorDb || reach <= 0) continue;
        surface.Circle(0.0f, 0.0f, static_cast<float>(reach), reach < 1 ? kRingColour : kOuterRingColour);
        // Each ring's level where it crosses the line to the back right.
        const double xPx = g.centreXPx + reach * g.radiusPx * std::sqrt(0.5) + 2;
        const double yPx = g.centreYPx + reach * g.radiusPx * std::sqrt(0.5) + 1;
        QString text = PlotNumber(levelDb, decimalSeparator);
        if (reach >= 1) text += QStringLiteral(" dB");
        placer.Keep(TextBoxPx(surface, xPx, yPx, text, TextAnchor::TopLeft));
        PrintAtPx(surface, xPx, yPx, text, TextAnchor::TopLeft);
    }

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

    std::vector<Ray> rays;
    for (std::size_t i = 0; i < arrivals.size(); ++i) {
        const Arrival& a = arrivals[i];
        const double reach = TopViewReach(a.levelDb, floorDb);
        if (std::isfinite(a.azDeg) && reach > 0) rays.push_back({static_cast<int>(i + 1), a.azDeg, reach});
    }
    // Longest first, so that the shorter lines stay visible on top of them.
    std::stable_sort(rays.begin(), rays.end(), [](const Ray& a, const Ray& b) { return a.reach > b.reach; });
    surface.SetLineWidth(kLineWidthPx);
    for (const Ray& r : rays) {
        const double azRad = r.azDeg * kPi / 180;
        // Left (positive azimuth) is to the left, front is up.
        surface.Line(0.0f, 0.0f, static_cast<float>(-std::sin(azRad) * r.reach),
                     static_cast<float>(std::cos(azRad) * r.reach), AzimuthColour(r.azDeg));
    }
    surface.SetLineWidth(1);
    for (std::size_t i = 0; i < std::min(rays.size(), kMaxLabels); ++i) {
        const Ray& r = rays[i];
        const double azRad = r.azDeg * kPi / 180;
        const double towardsXPx = -std::sin(azRad);
        const double towardsYPx = -std::cos(azRad);  // pixel rows grow downwards
        const double tipXPx = g.centreXPx + towardsXPx * r.reach * g.radiusPx;
        const double tipYPx = g.centreYPx + towardsYPx * r.reach * g.radiusPx;
        const QString number = QString::number(r.number);
        const QRect box = TextBoxPx(surface, 0, 0, number, TextAnchor::TopLeft);
        // The number's box beyond the line's end, touching neither.
        const double centreX = tipXPx + towardsXPx * (box.width() / 2.0 + 3);
        const double centreY = tipYPx + towardsYPx * (box.height() / 2.0 + 3);
        const std::array<QRect, 1> candidates = {
            TextBoxPx(surface, centreX, centreY + box.height() / 2.0, number, TextAnchor::BottomCentre)};
        if (const auto place = placer.Place(candidates)) {
            PrintAtPx(surface, place->left(), place->top(), number, TextAnchor::TopLeft);
        }
    }
}

}  // namespace halvane
