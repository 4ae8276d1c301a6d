#pragma once

#include <QColor>
#include <QImage>

#include <vector>

#include "analysis/FrameAccumulator.h"
#include "BatchHost.h"
#include "analysis/RunHost.h"
#include "analysis/SharedState.h"

namespace halvane {

// Everything the summary picture shows of one run.
struct SummaryInput {
    double skipMs = 0;
    double displayWindowMs = 1000;
    double averagingWindowMs = 5;
    struct StripWindow {
        double windowIndex = 0;
        WindowSums sums;
    };
    std::vector<StripWindow> intensityWindows;  // every window of the intensity pass
    struct MapWindow {
        double timeMs = 0;
        DirectionView view;
    };
    std::vector<MapWindow> directionWindows;    // every window shown by the direction pass
    QImage background;                          // null: the map's placeholder picture
    char decimalSeparator = '.';
};

// The summary of a batch run that kept its summary (BatchHost::KeepSummary),
// with the parameters the run used; no background picture.
SummaryInput SummaryOfRun(const SharedState& state, const BatchHost& host);

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

// Whether a shown window counts for the summary: it was drawn on the map and
// is strongly directional (I/D of -6 dB or more), like a reference-table row.
bool QualifiesForSummary(const DirectionView& view);

// The picture: the map (background, time scale, one circle with its cross per
// qualifying window, coloured by its time from the first to the last of
// them, the earliest on top), the time strip with its level bars and grid,
// and a legend of the time ramp in ms. Needs a QApplication (the surfaces are
// widgets); an offscreen platform is enough.
QImage RenderSummary(const SummaryInput& input);

}  // namespace halvane
