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

SummaryInput SummaryOfRun(const SharedState& state, const RunSummary& summary)
{
    SummaryInput input;
    input.skipMs = state.SkipMs;
    input.displayWindowMs = state.DisplayWindowMs;
    input.averagingWindowMs = state.AveragingWindowMs;
    input.intensityWindows = summary.IntensityWindows();
    input.directionWindows = summary.DirectionWindows();
    return input;
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
    // Without a parent the surfaces are ours to delete.
    const std::unique_ptr<DrawingSurface> map(CreateDirectionMap(nullptr));
    const std::unique_ptr<DrawingSurface> strip(CreateTimeStrip(nullptr));
    const std::unique_ptr<DrawingSurface> polar(CreatePolarView(nullptr));
    if (!input.background.isNull()) {
        map->SetBackgroundPicture(input.background);
        map->Clear();  // shows the new picture
    }

    // The strip and the map scale exactly as a run draws them.
    LiveDisplay display(*strip, *map, *polar, DisplayControls{}, input.decimalSeparator);
    display.PrepareDisplay(input.skipMs, input.displayWindowMs);
    for (const auto& w : input.intensityWindows) {
        const LevelPair levels = StripLevels(w.sums);
        if (std::isfinite(levels.energy) && std::isfinite(levels.intensity)) {
            display.DrawLevelBars(w.windowIndex, input.averagingWindowMs, levels.energy, levels.intensity);
        }
    }
    display.DrawStripGrid(input.skipMs, input.displayWindowMs);

    // The circles, latest first so that the early, strong arrivals lie on top.
    map->SetPenMode(PenMode::Copy);
    map->SetSolidFill(true);
    map->SetLineWidth(1);
    std::vector<DirectionQuantities> shown;
    for (const auto& w : input.directionWindows) {
        if (w.writesRow) shown.push_back(w);
    }
    std::stable_sort(shown.begin(), shown.end(), [](const auto& a, const auto& b) { return a.TimeMs > b.TimeMs; });
    // The ramp spans the circles' own times, so that early arrivals a few ms
    // apart get colours that tell them apart.
    double firstMs = input.skipMs;
    double spanMs = input.displayWindowMs;
    if (!shown.empty()) {
        firstMs = shown.back().TimeMs;
        spanMs = std::max(shown.front().TimeMs - firstMs, input.averagingWindowMs);
    }
    for (const auto& w : shown) {
        const QColor colour = TimeRampColour((w.TimeMs - firstMs) / spanMs);
        map->SetFillColour(colour);
        DrawArrivalMark(*map, w.view.Az, w.view.El, w.view.MapRadius, colour.darker(160));
    }
    DrawArrivalMarks(*map, input.arrivals, input.arrivalFloorDb, input.decimalSeparator);

    const SummaryLayout layout = LayoutSummary(!input.roomParameters.empty());
    const std::unique_ptr<DrawingSurface> topView(PlotSurface(layout.topView.size(), map->font()));
    DrawTopView(*topView, input.arrivals, input.arrivalFloorDb, input.bandHz, input.decimalSeparator);
    const std::unique_ptr<DrawingSurface> reflectogram(PlotSurface(layout.reflectogram.size(), map->font()));
    DrawReflectogram(*reflectogram, input.arrivals, input.arrivalFloorDb, input.bandHz, input.decimalSeparator);
    std::unique_ptr<DrawingSurface> decay;
    if (!input.roomParameters.empty()) {
        decay = PlotSurface(layout.decayPlot.size(), map->font());
        DrawDecayPlot(*decay, input.roomParameters, input.decimalSeparator);
    }

    QImage picture(layout.picture, QImage::Format_RGB32);
    picture.fill(QColor(240, 240, 240));
    QPainter painter(&picture);
    painter.drawImage(layout.map.topLeft(), map->Image());
    painter.drawImage(layout.strip.topLeft(), strip->Image());
    painter.drawImage(layout.topView.topLeft(), topView->Image());
    painter.drawImage(layout.reflectogram.topLeft(), reflectogram->Image());
    if (decay) painter.drawImage(layout.decayPlot.topLeft(), decay->Image());

    // The legend: the ramp across the circles' times, with five times in ms.
    const int legendTop = layout.timeLegend.top();
    const int rampLeft = 60;
    const int rampWidth = kSummaryWidthPx - 2 * rampLeft;
    for (int x = 0; x < rampWidth; ++x) {
        painter.setPen(TimeRampColour(static_cast<double>(x) / (rampWidth - 1)));
        painter.drawLine(rampLeft + x, legendTop, rampLeft + x, legendTop + 12);
    }
    painter.setPen(Qt::black);
    painter.drawText(QRect(0, legendTop, rampLeft - 6, 14), Qt::AlignRight | Qt::AlignVCenter, "ms");
    for (int i = 0; i <= 4; ++i) {
        const double ms = firstMs + spanMs * i / 4;
        const int x = rampLeft + rampWidth * i / 4;
        painter.drawLine(x, legendTop + 12, x, legendTop + 16);
        const QString text = QString::fromStdString(FormatGeneral(ms, input.decimalSeparator)).trimmed();
        painter.drawText(QRect(x - 60, legendTop + 16, 120, 18), Qt::AlignHCenter | Qt::AlignTop, text);
    }
    painter.end();
    return picture;
}

}  // namespace halvane
