#pragma once

#include <QColor>

#include <vector>

#include "display/summary/PlotFrame.h"
#include "values/RoomQuantities.h"

namespace halvane {

class DrawingSurface;

// The colour of an octave band's curves: warm for the low bands, cool for
// the high ones (125 Hz vermilion ... 4000 Hz purple), black for the
// unfiltered response (kBroadband); mid grey for any other value.
QColor BandColour(int nominalHz);

// The decay plot's axes. Time in s from the start of the response: 0 to the
// last point of the longest curve, or further to where a T30 line reaches
// -60 dB, widened to whole ticks (at least 5 intervals; 0 to 1 s without
// any). Level in dB: from the lowest point of any curve, at least as low as
// -60 dB and never below -120, up to 0 (at least 4 intervals).
AxisTicks DecayTimeAxis(const std::vector<BandParameters>& bands);
AxisTicks DecayLevelAxis(const std::vector<BandParameters>& bands);

// The bands whose curves a run's pictures show: that band alone for a run of
// one octave band (bandHz one of the table's), every band for a broadband
// run (kBroadband) or a band the table does not hold.
std::vector<BandParameters> DecayBandsShown(const std::vector<BandParameters>& bands, int bandHz);

inline constexpr PlotMarginsPx kDecayPlotMarginsPx{36, 22, 200, 34};

// The Schroeder decay curves of W on a white surface, one per band in its
// BandColour, 2 px wide, the unfiltered response ("all") last, on top. Each
// band's T30 fit as a dashed line of its colour from the start of the
// response to where it reaches -60 dB (so that it meets the -60 dB line at
// T30). Title, axis numbers and captions with units, grid, and at the right
// a legend: each band's colour, name and T30 in s (2 decimals, "no T30" when
// the band has none). A band without curve points has only its legend line.
void DrawDecayPlot(DrawingSurface& surface, const std::vector<BandParameters>& bands, char decimalSeparator);

}  // namespace halvane
