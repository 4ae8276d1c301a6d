#pragma once

#include <QImage>
#include <QRectF>
#include <QString>

#include <optional>
#include <string>
#include <vector>

#include "display/BackgroundPicture.h"
#include "display/maps/MapColours.h"
#include "values/Arrival.h"
#include "values/EnergyMapQuantities.h"

class QPainter;

namespace halvane {

// Draws the directional energy maps (analysis/maps/EnergyMaps.h) with a
// QPainter on any paint device: a QImage for the PNG summary, a QPdfWriter
// for the report (text stays text there), a widget for the results window.
// Everything is drawn in the painter's logical units and sized from its
// current font: a line is a twelfth of the font's height, so the same call
// reads alike at 96 and at 300 dpi. The painter's state is left as it was.
//
// Conventions, as in the window's map (values/MapGrid.h): equirectangular,
// azimuth +180 at the left edge to -180 at the right (positive to the left),
// elevation +90 at the top to -90 at the bottom, in degrees.
//
// Use: fill an EnergyMapRow and call PaintEnergyMapRow for the maps of every
// range side by side with one colour bar and the legend; or lay out panels
// yourself with PaintEnergyMapPanel and PaintDbColourBar.

// What the maps are drawn with, shared by every panel of a set.
struct EnergyMapStyle {
    double rangeDb = kDefaultMapRangeDb;  // the colour scale's span below 0 dB (MapColours.h)
    // The photo under the maps, the panorama of the room from the microphone:
    // any picture, scaled to the map (BackgroundFitsMap, display/BackgroundPicture.h,
    // says whether its directions are the map's). Null: the maps alone, opaque.
    QImage background;
    double arrivalFloorDb = kArrivalFloorDb;  // the arrivals' floor, which sizes their rings
    // The maps are differences (B's level less A's in dB, not-a-number where
    // both lie below the floor): each cell opaque in DifferenceColour over
    // +-kDifferenceSpanDb (MapColours.h), no photo, the masked cells grey;
    // the row's colour bar is the difference bar, its legend says so.
    bool difference = false;
};

// One range's map and the arrivals marked on it.
struct EnergyMapPanel {
    const EnergyMap* map = nullptr;  // not owned; nullptr draws the frame alone
    QString title;                   // above the map, e.g. "early 5-80 ms"
    std::vector<Arrival> arrivals;   // ringed on the map (ArrivalsInRange picks a range's)
    // Each arrival's surface name, in the order of arrivals; empty (or an
    // empty name): no label at its ring.
    std::vector<QString> names{};
};

// The legend line of a set: the estimator and the width of one plane wave
// (the beam's about 55 degrees at first order, the histogram's spot as
// asked), and what the levels are re.
QString EnergyMapLegend(const EnergyMapSet& set);

// The map's colours in mapRect (2:1 expected; any rectangle is filled): the
// background scaled to the rectangle under the map (each cell's colour,
// MapLevelColour, its opacity growing with its level so that the photo shows
// through the quiet parts and not at all where a level is below the range),
// or without a background the cells opaque, those below the range in the
// ramp's darkest colour; then the 30-degree grid, and each arrival as a
// hollow ring of ArrivalMarkRadiusDeg (a dark line and a white one inside
// it, continued across the +-180 seam), drawn so that it hides nothing
// within it; then the arrivals' names, loudest first, each on a light box
// beside its ring (right, left, above or below, the first clear of the
// rings and of the names placed; none where no place is clear). Nothing is
// drawn outside mapRect.
void PaintEnergyMap(QPainter& painter, const QRectF& mapRect, const EnergyMapPanel& panel, const EnergyMapStyle& style);

// The angle axes outside mapRect: azimuth numbers below it at every 30, 60
// or 90 degrees (the smallest step whose numbers fit), from 180 at the left
// to -180, elevation numbers at the left from 90 to -90 (every 30 degrees
// where they fit, else every 90), each axis named: "Az" left of its first
// number, "El" above its first; the numbers carry the degree sign.
void PaintMapAxes(QPainter& painter, const QRectF& mapRect);

// Where a panel's parts lie in its rectangle: the title's line at the top,
// the elevation numbers at the left, the azimuth numbers at the bottom, and
// the map, 2:1, as large as fits in the rest, centred across.
struct MapPanelLayout {
    QRectF title;
    QRectF map;
};
MapPanelLayout LayoutMapPanel(QPainter& painter, const QRectF& panelRect);

// One panel: the title, the map and its axes, as LayoutMapPanel lays them out.
void PaintEnergyMapPanel(QPainter& painter, const QRectF& panelRect, const EnergyMapPanel& panel,
                         const EnergyMapStyle& style);

// The colour bar's tick values in dB, from -rangeDb up to 0: round values
// (NiceTicks: steps of 1, 2 or 5 times a power of ten, at least 5
// intervals), every 5 dB for 25 to 40 dB, every 10 dB for 60 dB; the
// bottom end -rangeDb is a tick only when it is such a value.
std::vector<double> DbColourBarTicks(double rangeDb);

// The dB colour bar in barRect: the ramp upright from -rangeDb (bottom) to
// 0 dB (top) as a vector gradient, its frame, ticks at DbColourBarTicks
// with their numbers at its right, and "dB" above it.
// The numbers need about four digits' width right of the bar.
void PaintDbColourBar(QPainter& painter, const QRectF& barRect, double rangeDb);

// The difference colour bar in barRect, as PaintDbColourBar: the diverging
// ramp from -spanDb (bottom) to +spanDb (top), ticks every 5 dB (every
// spanDb / 2), "B-A dB" above it and a grey square under it, "masked" below
// that; the square and its word take three lines under barRect.
void PaintDifferenceColourBar(QPainter& painter, const QRectF& barRect, double spanDb = kDifferenceSpanDb);

// The legend line of a difference row.
QString DifferenceLegend();

// The maps of every range of a set, side by side (columns of them a row,
// row under row), each with its title (TimeRangeName) and the arrivals in
// its range, the colour bar at the right of the first row and the legend
// line under them all (and the background's warning line, when it does not
// fit). rowRect is filled as far as the panels' 2:1 maps allow; the height
// it uses is returned.
struct EnergyMapRow {
    const EnergyMapSet* set = nullptr;  // not owned
    std::vector<Arrival> arrivals;      // all of them; each panel takes those of its range
    EnergyMapStyle style;
    int columns = 0;  // panels a row; 0 (or more than the maps): every map in one row
    // Each arrival's surface name (AnalysisResults::arrivalSurfaceNames),
    // labelling its ring; empty: the rings alone.
    std::vector<std::string> surfaceNames{};
};
double PaintEnergyMapRow(QPainter& painter, const QRectF& rowRect, const EnergyMapRow& row);

}  // namespace halvane
