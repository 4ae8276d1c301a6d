#include "display/summary/SummaryPicture.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <memory>

#include "analysis/DirectionQuantities.h"
#include "display/BackgroundPicture.h"
#include "display/DrawingSurface.h"
#include "display/LiveDisplay.h"
#include "display/PictureBoxes.h"
#include "display/StaticDiagrams.h"
#include "display/maps/EnergyMapPainter.h"
#include "display/maps/MapColours.h"
#include "display/summary/ArrivalMap.h"
#include "display/summary/DecayPlot.h"
#include "display/summary/PlotFrame.h"
#include "display/summary/Reflectogram.h"
#include "display/summary/TitleBlock.h"
#include "display/summary/TopView.h"

namespace halvane {
namespace {

constexpr int kWindowCircleLinePx = 3;
// The map's field where there is no photo: a neutral light grey.
const QColor kPlainField(216, 216, 212);
const QColor kGridLine(250, 250, 250);
constexpr double kGridStepDeg = 30;

// The 30-degree grid over the map (scaled 180 to -180 across, 90 to -90 down).
void DrawMapGrid(DrawingSurface& map)
{
    map.SetPenMode(PenMode::Copy);
    map.SetLineWidth(1);
    for (double az = 180 - kGridStepDeg; az > -180; az -= kGridStepDeg) {
        map.Line(static_cast<float>(az), 90, static_cast<float>(az), -90, kGridLine);
    }
    for (double el = 90 - kGridStepDeg; el > -90; el -= kGridStepDeg) {
        map.Line(180, static_cast<float>(el), -180, static_cast<float>(el), kGridLine);
    }
}

// The picture behind the map, as the map shows it: a 2:1 panorama scaled to
// it, anything else stretched to it (the title block warns); without one, a
// plain field, so that no export carries the window's prompt.
QImage MapPicture(const QImage& background)
{
    const QSize size(kMapPictureWidthPx, kMapPictureHeightPx);
    if (background.isNull()) {
        QImage field(size, QImage::Format_RGB32);
        field.fill(kPlainField);
        return field;
    }
    if (BackgroundFitsMap(background.size())) return MapBackground(background);
    return background.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

// A white surface whose drawing area is the size of a part of the summary,
// printing in the map's font, so that every part of the picture reads alike.
std::unique_ptr<DrawingSurface> PlotSurface(QSize areaPx, const QFont& font)
{
    auto surface = std::make_unique<DrawingSurface>(
        areaPx + QSize(2 * DrawingSurface::BorderPx, 2 * DrawingSurface::BorderPx), Qt::white);
    surface->setFont(font);
    return surface;
}

// The time ramp's span: the first circle's time and the span to the last, in ms.
struct TimeRamp {
    double firstMs = 0;
    double spanMs = 0;
};

// The strip's level bars and grid, scaled exactly as a run draws them.
void DrawRunOnStrip(DrawingSurface& strip, DrawingSurface& map, DrawingSurface& polar, const AnalysisResults& r,
                    char decimalSeparator)
{
    LiveDisplay display(strip, map, polar, DisplayControls{}, decimalSeparator);
    display.PrepareDisplay(r.skipMs, r.displayWindowMs);
    for (const auto& w : r.intensityWindows) {
        const LevelPair levels = StripLevels(w.sums);
        if (std::isfinite(levels.energy) && std::isfinite(levels.intensity)) {
            display.DrawLevelBars(w.windowIndex, r.averagingWindowMs, levels.energy, levels.intensity);
        }
    }
    display.DrawStripGrid(r.skipMs, r.displayWindowMs);
}

// One hollow circle with its cross per window with a reference-table row,
// coloured by its time, latest first so that the early, strong arrivals lie
// on top. Hollow, so that the direct sound's window (tens of degrees across)
// hides neither the source in the photo nor the arrivals' marks.
// Returns the ramp's span.
TimeRamp DrawWindowCircles(DrawingSurface& map, const AnalysisResults& r)
{
    map.SetPenMode(PenMode::Copy);
    map.SetSolidFill(false);
    map.SetLineWidth(kWindowCircleLinePx);
    std::vector<DirectionQuantities> shown;
    for (const auto& w : r.directionWindows) {
        if (w.writesRow) shown.push_back(w);
    }
    std::stable_sort(shown.begin(), shown.end(), [](const auto& a, const auto& b) { return a.TimeMs > b.TimeMs; });
    // The ramp spans the circles' own times, so that early arrivals a few ms
    // apart get colours that tell them apart.
    TimeRamp ramp{r.skipMs, r.displayWindowMs};
    if (!shown.empty()) {
        ramp.firstMs = shown.back().TimeMs;
        ramp.spanMs = std::max(shown.front().TimeMs - ramp.firstMs, r.averagingWindowMs);
    }
    for (const auto& w : shown) {
        const QColor colour = TimeRampColour((w.TimeMs - ramp.firstMs) / ramp.spanMs);
        DrawArrivalMark(map, w.view.Az, w.view.El, w.view.MapRadius, colour);
    }
    return ramp;
}

// Where the legend's parts lie in it, in pixels from its top left corner.
constexpr int kLegendRampLeftPx = 60;       // the ramp begins here, with "ms" before it
constexpr int kLegendRampHeightPx = 12;     // the ramp's height
constexpr int kLegendTickPx = 4;            // a tick beneath the ramp at each time
constexpr int kLegendUnitGapPx = 6;         // between "ms" and the ramp
constexpr int kLegendUnitHeightPx = 14;     // the line of "ms"
constexpr int kLegendTextHalfWidthPx = 60;  // a time is centred in twice this
constexpr int kLegendTextHeightPx = 18;     // the line of the times
constexpr int kLegendIntervals = 4;         // at least this many between round times

// The legend: the ramp across the circles' times, with round times in ms
// (NiceTicks) where they fall on it.
void DrawTimeLegend(QPainter& painter, QRect legend, const TimeRamp& ramp, char decimalSeparator)
{
    const int top = legend.top();
    const int rampLeft = legend.left() + kLegendRampLeftPx;
    const int rampWidth = legend.width() - 2 * kLegendRampLeftPx;
    for (int x = 0; x < rampWidth; ++x) {
        painter.setPen(TimeRampColour(static_cast<double>(x) / (rampWidth - 1)));
        painter.drawLine(rampLeft + x, top, rampLeft + x, top + kLegendRampHeightPx);
    }
    painter.setPen(Qt::black);
    painter.drawText(QRect(legend.left(), top, kLegendRampLeftPx - kLegendUnitGapPx, kLegendUnitHeightPx),
                     Qt::AlignRight | Qt::AlignVCenter, "ms");
    if (!(ramp.spanMs > 0)) return;
    const double lastMs = ramp.firstMs + ramp.spanMs;
    for (const double ms : NiceTicks(ramp.firstMs, lastMs, kLegendIntervals).Values()) {
        if (ms < ramp.firstMs - 1e-9 * ramp.spanMs || ms > lastMs + 1e-9 * ramp.spanMs) continue;
        const int x = rampLeft + static_cast<int>(std::nearbyint((ms - ramp.firstMs) / ramp.spanMs * (rampWidth - 1)));
        const int tickTop = top + kLegendRampHeightPx;
        painter.drawLine(x, tickTop, x, tickTop + kLegendTickPx);
        const QString text = PlotNumber(ms, decimalSeparator);
        painter.drawText(
            QRect(x - kLegendTextHalfWidthPx, tickTop + kLegendTickPx, 2 * kLegendTextHalfWidthPx, kLegendTextHeightPx),
            Qt::AlignHCenter | Qt::AlignTop, text);
    }
}

}  // namespace

SummaryLayout LayoutSummary(bool withDecayPlot, bool withMaps)
{
    SummaryLayout layout;
    const int left = kSummaryLeftPx;
    layout.title = QRect(left, kSummaryGapPx, kSummaryWidthPx, kSummaryTitleHeightPx);
    layout.map = QRect(left, layout.title.bottom() + 1 + 2 * kSummaryGapPx, kSummaryWidthPx, kSummaryMapHeightPx);
    int next = layout.map.bottom() + 1 + kSummaryAxisHeightPx;
    if (withMaps) {
        layout.mapsRow = QRect(kSummaryGapPx, next + kSummaryGapPx, kSummaryPictureWidthPx - 2 * kSummaryGapPx,
                               kSummaryMapsRowHeightPx);
        next = layout.mapsRow.bottom() + 1;
    }
    layout.strip = QRect(left, next + kSummaryGapPx, kSummaryWidthPx, kSummaryStripHeightPx);
    layout.timeLegend = QRect(left, layout.strip.bottom() + 1 + kSummaryGapPx, kSummaryWidthPx, kSummaryLegendHeightPx);
    const int rowTop = layout.timeLegend.bottom() + 1 + kSummaryGapPx;
    layout.topView = QRect(left, rowTop, kSummaryTopViewWidthPx, kSummaryPlotRowHeightPx);
    const int reflectogramLeft = left + kSummaryTopViewWidthPx + kSummaryGapPx;
    layout.reflectogram =
        QRect(reflectogramLeft, rowTop, left + kSummaryWidthPx - reflectogramLeft, kSummaryPlotRowHeightPx);
    int bottom = layout.topView.bottom() + 1;
    if (withDecayPlot) {
        layout.decayPlot = QRect(left, bottom + kSummaryGapPx, kSummaryWidthPx, kSummaryDecayHeightPx);
        bottom = layout.decayPlot.bottom() + 1;
    }
    layout.picture = QSize(kSummaryPictureWidthPx, bottom + kSummaryGapPx);
    return layout;
}

QColor TimeRampColour(double fraction) { return ViridisColour(fraction); }

QImage RenderSummary(const SummaryInput& input)
{
    const AnalysisResults& r = input.results;
    // Without a parent the surfaces are ours to delete.
    const std::unique_ptr<DrawingSurface> map(CreateDirectionMap(nullptr));
    const std::unique_ptr<DrawingSurface> strip(CreateTimeStrip(nullptr));
    const std::unique_ptr<DrawingSurface> polar(CreatePolarView(nullptr));
    map->SetBackgroundPicture(MapPicture(input.background));
    map->Clear();  // shows the new picture
    DrawRunOnStrip(*strip, *map, *polar, r, input.decimalSeparator);
    DrawMapGrid(*map);
    const TimeRamp ramp = DrawWindowCircles(*map, r);
    DrawArrivalMarks(*map, r.arrivals, r.arrivalFloorDb, input.decimalSeparator, r.arrivalSurfaceNames);

    // The arrivals are the whole response's whatever band the run's windows
    // come from, so their plots name no band.
    const SummaryLayout layout = LayoutSummary(!r.roomParameters.empty(), r.energyMaps.has_value());
    const std::unique_ptr<DrawingSurface> topView(PlotSurface(layout.topView.size(), map->font()));
    DrawTopView(*topView, r.arrivals, r.arrivalFloorDb, kBroadband, input.decimalSeparator);
    const std::unique_ptr<DrawingSurface> reflectogram(PlotSurface(layout.reflectogram.size(), map->font()));
    DrawReflectogram(*reflectogram, r.arrivals, r.arrivalFloorDb, kBroadband, input.decimalSeparator);
    std::unique_ptr<DrawingSurface> decay;
    if (!r.roomParameters.empty()) {
        decay = PlotSurface(layout.decayPlot.size(), map->font());
        DrawDecayPlot(*decay, DecayBandsShown(r.roomParameters, r.bandHz), input.decimalSeparator);
    }

    QImage picture(layout.picture, QImage::Format_RGB32);
    picture.fill(Qt::white);
    QPainter painter(&picture);
    painter.setFont(map->font());
    TitleFacts facts = TitleFactsOf(r, input.date, input.version, input.decimalSeparator);
    if (const auto warning = BackgroundWarning(input.background.size())) facts.lines << *warning;
    PaintTitleBlock(painter, layout.title, facts);
    painter.drawImage(layout.map.topLeft(), map->Image());
    PaintMapAxes(painter, QRectF(layout.map));
    if (r.energyMaps) {
        const EnergyMapRow row{&*r.energyMaps, r.arrivals, {input.mapRangeDb, input.background, r.arrivalFloorDb}};
        PaintEnergyMapRow(painter, QRectF(layout.mapsRow), row);
    }
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.drawImage(layout.strip.topLeft(), strip->Image());
    painter.drawImage(layout.topView.topLeft(), topView->Image());
    painter.drawImage(layout.reflectogram.topLeft(), reflectogram->Image());
    if (decay) painter.drawImage(layout.decayPlot.topLeft(), decay->Image());
    DrawTimeLegend(painter, layout.timeLegend, ramp, input.decimalSeparator);
    painter.end();
    return picture;
}

}  // namespace halvane
