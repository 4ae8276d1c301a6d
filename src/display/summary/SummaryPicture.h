#pragma once

#include <QColor>
#include <QImage>
#include <QRect>

#include <vector>

#include "values/AnalysisResults.h"

namespace halvane {

// Everything the summary picture shows of one response: what its analyses
// found (the run's windows and parameters, the arrivals and the floor they
// were kept to, the band, the room parameters whose decay curves are drawn
// when there are any), and the picture behind the map.
struct SummaryInput {
    AnalysisResults results;
    QImage background;  // null: the map's placeholder picture
    char decimalSeparator = '.';
};

// A colour of a perceptually uniform ramp from dark violet (0) through teal
// to yellow (1); fractions outside [0, 1] take the nearer end.
QColor TimeRampColour(double fraction);

// Pixel sizes of the parts of the summary, top to bottom: the map's drawing
// area, a gap, the time strip's drawing area, a gap, the time legend, a gap,
// the row of the top view (left) and the reflectogram (right, after a gap),
// and with room parameters a gap and the decay plot across the width.
inline constexpr int kSummaryWidthPx = 957;
inline constexpr int kSummaryMapHeightPx = 477;
inline constexpr int kSummaryGapPx = 4;
inline constexpr int kSummaryStripHeightPx = 181;
inline constexpr int kSummaryLegendHeightPx = 36;
inline constexpr int kSummaryPlotRowHeightPx = 258;
inline constexpr int kSummaryTopViewWidthPx = 276;
inline constexpr int kSummaryDecayHeightPx = 250;
inline constexpr int kSummaryHeightPx = kSummaryMapHeightPx + kSummaryGapPx + kSummaryStripHeightPx + kSummaryGapPx +
                                        kSummaryLegendHeightPx + kSummaryGapPx + kSummaryPlotRowHeightPx;
inline constexpr int kSummaryHeightWithDecayPx = kSummaryHeightPx + kSummaryGapPx + kSummaryDecayHeightPx;

// Where each part lies in the picture, in its pixels.
struct SummaryLayout {
    QSize picture;
    QRect map, strip, timeLegend, topView, reflectogram;
    QRect decayPlot;  // empty without room parameters
};
SummaryLayout LayoutSummary(bool withDecayPlot);

// The picture, laid out as LayoutSummary says: the map (background, time
// scale, one circle with its cross per window that has a reference-table
// row (drawn on the map and strongly directional), coloured by its time from
// the first to the last of them, the earliest on top, and over them every
// arrival's ring and label, display/summary/ArrivalMap.h), the time strip with its
// level bars and grid, a legend of the time ramp in ms, the top view and
// the reflectogram of the arrivals (display/summary/TopView.h, display/summary/Reflectogram.h),
// and the decay plot of the room parameters when there are any
// (display/summary/DecayPlot.h). Every part is drawn on a DrawingSurface in the
// map's font. The same input gives the same pixels. Needs a QApplication (the
// surfaces are widgets); an offscreen platform is enough.
QImage RenderSummary(const SummaryInput& input);

}  // namespace halvane
