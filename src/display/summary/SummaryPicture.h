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
    // The panorama behind the map and under the range maps; null: a plain
    // field. A 2:1 picture of any size is scaled to the map; any other is
    // drawn scaled all the same, with a warning line in the title block.
    QImage background;
    char decimalSeparator = '.';
    double mapRangeDb = 35;  // the range maps' colour span below 0 dB
    // For the title block: when the picture is drawn and by which version
    // (empty: not said, so that a test's pixels do not depend on the day).
    QString date;
    QString version;
};

// A colour of a perceptually uniform ramp from dark violet (0) through teal
// to yellow (1); fractions outside [0, 1] take the nearer end.
QColor TimeRampColour(double fraction);

// Pixel sizes of the parts of the summary, top to bottom: the title block,
// the map's drawing area with its angle numbers under it and at its left
// (the margins), the row of range maps (with energy maps only), the time
// strip's drawing area, a gap, the time legend, a gap, the row of the top
// view (left) and the reflectogram (right, after a gap), and with room
// parameters a gap and the decay plot across the width. Every part lies
// kSummaryLeftPx from the left edge; the picture is kSummaryRightPx wider.
inline constexpr int kSummaryWidthPx = 957;
inline constexpr int kSummaryLeftPx = 44;
inline constexpr int kSummaryRightPx = 14;
inline constexpr int kSummaryPictureWidthPx = kSummaryLeftPx + kSummaryWidthPx + kSummaryRightPx;
inline constexpr int kSummaryTitleHeightPx = 100;
inline constexpr int kSummaryAxisHeightPx = 22;
inline constexpr int kSummaryMapsRowHeightPx = 210;
inline constexpr int kSummaryMapHeightPx = 477;
inline constexpr int kSummaryGapPx = 4;
inline constexpr int kSummaryStripHeightPx = 181;
inline constexpr int kSummaryLegendHeightPx = 36;
inline constexpr int kSummaryPlotRowHeightPx = 258;
inline constexpr int kSummaryTopViewWidthPx = 276;
inline constexpr int kSummaryDecayHeightPx = 250;

// Where each part lies in the picture, in its pixels.
struct SummaryLayout {
    QSize picture;
    QRect title, map, strip, timeLegend, topView, reflectogram;
    QRect mapsRow;    // empty without energy maps
    QRect decayPlot;  // empty without room parameters
};
SummaryLayout LayoutSummary(bool withDecayPlot, bool withMaps = false);

// The picture, laid out as LayoutSummary says: the title block
// (display/summary/TitleBlock.h); the map (background or a plain field, the
// 30-degree grid, time scale, one hollow circle with its cross per window
// that has a reference-table row (drawn on the map and strongly
// directional), coloured by its time from the first to the last of them, the
// earliest on top, and over them every arrival's ring and label,
// display/summary/ArrivalMap.h) with its angle numbers in the window's
// convention (+180 at the left); the energy map of each range over the
// background with its colour bar and legend when the results hold maps
// (display/maps/EnergyMapPainter.h); the time strip with its level bars and
// grid, a legend of the time ramp in ms at round values, the top view and
// the reflectogram of the arrivals (display/summary/TopView.h,
// display/summary/Reflectogram.h), and the decay plot of the run's band
// (every band for a broadband run) when there are room parameters
// (display/summary/DecayPlot.h). No part asks for anything: the picture is
// for a report. The same input gives the same pixels. Needs a QApplication
// (the surfaces are widgets); an offscreen platform is enough.
QImage RenderSummary(const SummaryInput& input);

}  // namespace halvane
