#include "display/summary/SummaryPicture.h"

#include <QPainter>

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>

#include "analysis/DirectionQuantities.h"
#include "display/DrawingSurface.h"
#include "display/LiveDisplay.h"
#include "display/PictureBoxes.h"
#include "display/StaticDiagrams.h"
#include "display/summary/ArrivalMap.h"
#include "display/summary/DecayPlot.h"
#include "display/summary/Reflectogram.h"
#include "display/summary/TopView.h"
#include "report/NumberFormat.h"

namespace halvane {
namespace {

// Stops of the ramp, equally spaced, from a perceptually uniform colour map
// (violet - blue - teal - green - yellow); linear interpolation between them.
constexpr std::array<std::array<int, 3>, 9> kRampStops = {{
    {68, 1, 84},
    {71, 44, 122},
    {59, 81, 139},
    {44, 113, 142},
    {33, 144, 141},
    {39, 173, 129},
    {92, 200, 99},
    {170, 220, 50},
    {253, 231, 37},
}};

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

// One circle with its cross per window with a reference-table row, coloured
// by its time, latest first so that the early, strong arrivals lie on top.
// Returns the ramp's span.
TimeRamp DrawWindowCircles(DrawingSurface& map, const AnalysisResults& r)
{
    map.SetPenMode(PenMode::Copy);
    map.SetSolidFill(true);
    map.SetLineWidth(1);
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
        map.SetFillColour(colour);
        DrawArrivalMark(map, w.view.Az, w.view.El, w.view.MapRadius, colour.darker(160));
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
constexpr int kLegendTimes = 5;             // times written, from the first to the last circle's

// The legend: the ramp across the circles' times, with five times in ms.
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
    const int steps = kLegendTimes - 1;
    for (int i = 0; i <= steps; ++i) {
        const double ms = ramp.firstMs + ramp.spanMs * i / steps;
        const int x = rampLeft + rampWidth * i / steps;
        const int tickTop = top + kLegendRampHeightPx;
        painter.drawLine(x, tickTop, x, tickTop + kLegendTickPx);
        const QString text = QString::fromStdString(FormatGeneral(ms, decimalSeparator)).trimmed();
        painter.drawText(
            QRect(x - kLegendTextHalfWidthPx, tickTop + kLegendTickPx, 2 * kLegendTextHalfWidthPx, kLegendTextHeightPx),
            Qt::AlignHCenter | Qt::AlignTop, text);
    }
}

}  // namespace

SummaryLayout LayoutSummary(bool withDecayPlot)
{
    SummaryLayout layout;
    layout.map = QRect(0, 0, kSummaryWidthPx, kSummaryMapHeightPx);
    layout.strip = QRect(0, layout.map.bottom() + 1 + kSummaryGapPx, kSummaryWidthPx, kSummaryStripHeightPx);
    layout.timeLegend = QRect(0, layout.strip.bottom() + 1 + kSummaryGapPx, kSummaryWidthPx, kSummaryLegendHeightPx);
    const int rowTop = layout.timeLegend.bottom() + 1 + kSummaryGapPx;
    layout.topView = QRect(0, rowTop, kSummaryTopViewWidthPx, kSummaryPlotRowHeightPx);
    const int reflectogramLeft = kSummaryTopViewWidthPx + kSummaryGapPx;
    layout.reflectogram = QRect(reflectogramLeft, rowTop, kSummaryWidthPx - reflectogramLeft, kSummaryPlotRowHeightPx);
    layout.picture = QSize(kSummaryWidthPx, kSummaryHeightPx);
    if (withDecayPlot) {
        layout.decayPlot =
            QRect(0, layout.topView.bottom() + 1 + kSummaryGapPx, kSummaryWidthPx, kSummaryDecayHeightPx);
        layout.picture = QSize(kSummaryWidthPx, kSummaryHeightWithDecayPx);
    }
    return layout;
}

QColor TimeRampColour(double fraction)
{
    if (!(fraction > 0)) fraction = 0;  // also not-a-number
    if (fraction > 1) fraction = 1;
    const double position = fraction * (kRampStops.size() - 1);
    const auto lower = static_cast<std::size_t>(std::floor(position));
    const std::size_t upper = std::min(lower + 1, kRampStops.size() - 1);
    const double t = position - static_cast<double>(lower);
    auto mix = [&](int channel) {
        return static_cast<int>(std::nearbyint(kRampStops[lower][channel] * (1 - t) + kRampStops[upper][channel] * t));
    };
    return QColor(mix(0), mix(1), mix(2));
}

QImage RenderSummary(const SummaryInput& input)
{
    const AnalysisResults& r = input.results;
    // Without a parent the surfaces are ours to delete.
    const std::unique_ptr<DrawingSurface> map(CreateDirectionMap(nullptr));
    const std::unique_ptr<DrawingSurface> strip(CreateTimeStrip(nullptr));
    const std::unique_ptr<DrawingSurface> polar(CreatePolarView(nullptr));
    if (!input.background.isNull()) {
        map->SetBackgroundPicture(input.background);
        map->Clear();  // shows the new picture
    }
    DrawRunOnStrip(*strip, *map, *polar, r, input.decimalSeparator);
    const TimeRamp ramp = DrawWindowCircles(*map, r);
    DrawArrivalMarks(*map, r.arrivals, r.arrivalFloorDb, input.decimalSeparator);

    // The arrivals are the whole response's whatever band the run's windows
    // come from, so their plots name no band.
    const SummaryLayout layout = LayoutSummary(!r.roomParameters.empty());
    const std::unique_ptr<DrawingSurface> topView(PlotSurface(layout.topView.size(), map->font()));
    DrawTopView(*topView, r.arrivals, r.arrivalFloorDb, kBroadband, input.decimalSeparator);
    const std::unique_ptr<DrawingSurface> reflectogram(PlotSurface(layout.reflectogram.size(), map->font()));
    DrawReflectogram(*reflectogram, r.arrivals, r.arrivalFloorDb, kBroadband, input.decimalSeparator);
    std::unique_ptr<DrawingSurface> decay;
    if (!r.roomParameters.empty()) {
        decay = PlotSurface(layout.decayPlot.size(), map->font());
        DrawDecayPlot(*decay, r.roomParameters, input.decimalSeparator);
    }

    QImage picture(layout.picture, QImage::Format_RGB32);
    picture.fill(QColor(240, 240, 240));
    QPainter painter(&picture);
    painter.drawImage(layout.map.topLeft(), map->Image());
    painter.drawImage(layout.strip.topLeft(), strip->Image());
    painter.drawImage(layout.topView.topLeft(), topView->Image());
    painter.drawImage(layout.reflectogram.topLeft(), reflectogram->Image());
    if (decay) painter.drawImage(layout.decayPlot.topLeft(), decay->Image());
    DrawTimeLegend(painter, layout.timeLegend, ramp, input.decimalSeparator);
    painter.end();
    return picture;
}

}  // namespace halvane
