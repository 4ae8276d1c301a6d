#pragma once

#include <QColor>
#include <QImage>

#include <vector>

#include "analysis/RunSummary.h"
#include "analysis/SharedState.h"
#include "bformat/WindowQuantities.h"

namespace halvane {

// Everything the summary picture shows of one run.
struct SummaryInput {
    double skipMs = 0;
    double displayWindowMs = 1000;
    double averagingWindowMs = 5;
    std::vector<RunSummary::SummedWindow> intensityWindows;  // every window of the intensity pass
    std::vector<DirectionQuantities> directionWindows;       // every window of the direction pass
    QImage background;                                       // null: the map's placeholder picture
    char decimalSeparator = '.';
};

// The summary of a run whose reports were kept, with the parameters the run
// used; no background picture.
SummaryInput SummaryOfRun(const SharedState& state, const RunSummary& summary);

// A colour of a perceptually uniform ramp from dark violet (0) through teal
// to yellow (1); fractions outside [0, 1] take the nearer end.
QColor TimeRampColour(double fraction);

// Pixel sizes of the parts of the summary, top to bottom: the map's drawing
// area, a gap, the time strip's drawing area, a gap, the time legend.
inline constexpr int kSummaryWidthPx = 957;
inline constexpr int kSummaryMapHeightPx = 477;
inline constexpr int kSummaryGapPx = 4;
inline constexpr int kSummaryStripHeightPx = 181;
inline constexpr int kSummaryLegendHeightPx = 36;
inline constexpr int kSummaryHeightPx =
    kSummaryMapHeightPx + kSummaryGapPx + kSummaryStripHeightPx + kSummaryGapPx + kSummaryLegendHeightPx;

// The picture: the map (background, time scale, one circle with its cross per
// window that has a reference-table row (drawn on the map and strongly
// directional), coloured by its time from the first to the last of
// them, the earliest on top), the time strip with its level bars and grid,
// and a legend of the time ramp in ms. Needs a QApplication (the surfaces are
// widgets); an offscreen platform is enough.
QImage RenderSummary(const SummaryInput& input);

}  // namespace halvane
