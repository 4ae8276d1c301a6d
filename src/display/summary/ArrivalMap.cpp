#include "display/summary/ArrivalMap.h"

#include <QFont>

#include <algorithm>
#include <array>
#include <cmath>
#include <numeric>

#include "display/DrawingSurface.h"
#include "display/LabelPlacer.h"
#include "display/summary/PlotFrame.h"
#include "report/ArrivalTable.h"

namespace halvane {
namespace {

const QColor kRingWhite(255, 255, 255);
const QColor kRingEdge(24, 24, 24);
constexpr int kRingWidthPx = 5;  // 1 px edge, 3 px white, 1 px edge
constexpr int kLabelGapPx = 3;   // between a ring and its label
// Labels for more arrivals than this turn the map into text: the softer ones keep their ring alone.
constexpr std::size_t kMaxLabels = 20;
// The map's time scale (StaticDiagrams.h) takes the bottom 10 degrees; its
// numbers' boxes reach 2 degrees higher when printed.
constexpr double kTimeScaleTopDeg = -78;

struct Mark {
    int number = 0;
    double azDeg = 0;
    double elDeg = 0;
    double levelDb = 0;
    double timeMs = 0;
    double radiusDeg = 0;
    QString surface;  // its surface's name, or empty
};

// The ring about one point, and its copy at the other edge when it crosses +-180.
void DrawRing(DrawingSurface& map, const Mark& mark, double degPerPx)
{
    for (const double shiftDeg : {0.0, -360.0, 360.0}) {
        const double az = mark.azDeg + shiftDeg;
        if (az - mark.radiusDeg > 180 || az + mark.radiusDeg < -180) continue;
        map.SetLineWidth(kRingWidthPx);
        map.Circle(static_cast<float>(az), static_cast<float>(mark.elDeg), static_cast<float>(mark.radiusDeg),
                   kRingEdge);
        map.SetLineWidth(kRingWidthPx - 2);
        map.Circle(static_cast<float>(az), static_cast<float>(mark.elDeg),
                   static_cast<float>(mark.radiusDeg - degPerPx), kRingWhite);
    }
}

QRect RingBoxPx(const DrawingSurface& map, double azDeg, double elDeg, double radiusPx)
{
    const double cx = map.Scale().ToPixelX(azDeg);
    const double cy = map.Scale().ToPixelY(elDeg);
    const auto reach = static_cast<int>(std::ceil(radiusPx));
    return QRect(static_cast<int>(std::floor(cx)) - reach, static_cast<int>(std::floor(cy)) - reach, 2 * reach + 1,
                 2 * reach + 1);
}

// Right of the ring, left of it, above and below, each with the text's box
// a pixel larger all round for its outline.
std::array<QRect, 4> LabelCandidates(const DrawingSurface& map, const Mark& mark, double radiusPx, const QString& text)
{
    const double cx = map.Scale().ToPixelX(mark.azDeg);
    const double cy = map.Scale().ToPixelY(mark.elDeg);
    const double side = radiusPx + kLabelGapPx;
    return {
        TextBoxPx(map, cx + side, cy, text, TextAnchor::MiddleLeft).adjusted(-1, -1, 1, 1),
        TextBoxPx(map, cx - side, cy, text, TextAnchor::MiddleRight).adjusted(-1, -1, 1, 1),
        TextBoxPx(map, cx, cy - side, text, TextAnchor::BottomCentre).adjusted(-1, -1, 1, 1),
        TextBoxPx(map, cx, cy + side, text, TextAnchor::TopCentre).adjusted(-1, -1, 1, 1),
    };
}

}  // namespace

QString ArrivalLabel(int number, double timeMs, char decimalSeparator)
{
    QString time = QString::fromStdString(FormatArrivalNumber(timeMs, 1));
    time.replace(QLatin1Char('.'), QLatin1Char(decimalSeparator));
    return QStringLiteral("%1: %2 ms").arg(number).arg(time);
}

void DrawArrivalMarks(DrawingSurface& map, const std::vector<Arrival>& arrivals, double floorDb, char decimalSeparator,
                      const std::vector<std::string>& surfaceNames)
{
    std::vector<Mark> marks;
    for (std::size_t i = 0; i < arrivals.size(); ++i) {
        const Arrival& a = arrivals[i];
        if (!std::isfinite(a.azDeg) || !std::isfinite(a.elDeg)) continue;
        const QString surface = i < surfaceNames.size() ? QString::fromStdString(surfaceNames[i]) : QString();
        marks.push_back({static_cast<int>(i + 1), a.azDeg, a.elDeg, a.levelDb, a.timeMs,
                         ArrivalMarkRadiusDeg(a.levelDb, floorDb), surface});
    }
    // Loudest first: the rings are drawn in that order, so that softer
    // (smaller) rings stay visible inside louder ones, and the loudest
    // arrivals choose their label's place first.
    std::stable_sort(marks.begin(), marks.end(), [](const Mark& a, const Mark& b) { return a.levelDb > b.levelDb; });

    const PenMode pen = map.CurrentPenMode();
    const bool solid = map.SolidFill();
    const int lineWidth = map.LineWidth();
    const QColor fore = map.ForeColour();
    const QFont font = map.font();

    const double pxPerDeg = map.Scale().PixelsPerUnitX();
    map.SetPenMode(PenMode::Copy);
    map.SetSolidFill(false);
    for (const Mark& mark : marks) DrawRing(map, mark, 1 / pxPerDeg);

    const QSize area = map.DrawingAreaSize();
    LabelPlacer placer(QRect(QPoint(0, 0), area));
    const int scaleTopPx = static_cast<int>(std::floor(map.Scale().ToPixelY(kTimeScaleTopDeg)));
    placer.Keep(QRect(0, scaleTopPx, area.width(), area.height() - scaleTopPx));
    // Labels keep clear of the labelled arrivals' rings; a softer ring may lie beneath one.
    const std::size_t labelled = std::min(marks.size(), kMaxLabels);
    for (std::size_t i = 0; i < labelled; ++i) {
        const Mark& mark = marks[i];
        const double radiusPx = mark.radiusDeg * pxPerDeg;
        placer.Keep(RingBoxPx(map, mark.azDeg, mark.elDeg, radiusPx));
        if (mark.azDeg + mark.radiusDeg > 180) placer.Keep(RingBoxPx(map, mark.azDeg - 360, mark.elDeg, radiusPx));
        if (mark.azDeg - mark.radiusDeg < -180) placer.Keep(RingBoxPx(map, mark.azDeg + 360, mark.elDeg, radiusPx));
    }

    QFont bold = font;
    bold.setBold(true);
    map.setFont(bold);
    for (std::size_t i = 0; i < labelled; ++i) {
        const Mark& mark = marks[i];
        const double radiusPx = mark.radiusDeg * pxPerDeg;
        QString text = ArrivalLabel(mark.number, mark.timeMs, decimalSeparator);
        const QString number = QString::number(mark.number);
        if (!mark.surface.isEmpty()) text += QLatin1Char(' ') + mark.surface;
        auto place = placer.Place(LabelCandidates(map, mark, radiusPx, text));
        if (!place && !mark.surface.isEmpty()) {
            text = number + QLatin1Char(' ') + mark.surface;
            place = placer.Place(LabelCandidates(map, mark, radiusPx, text));
        }
        if (!place) {
            text = number;
            const auto candidates = LabelCandidates(map, mark, radiusPx, number);
            // The direct sound is always named.
            place = mark.number == 1 ? placer.PlaceAnyway(candidates) : placer.Place(candidates);
        }
        if (place) {
            PrintOutlinedAtPx(map, place->left() + 1, place->top() + 1, text, TextAnchor::TopLeft, kRingWhite,
                              kRingEdge);
        }
    }

    map.setFont(font);
    map.SetForeColour(fore);
    map.SetLineWidth(lineWidth);
    map.SetSolidFill(solid);
    map.SetPenMode(pen);
}

}  // namespace halvane
