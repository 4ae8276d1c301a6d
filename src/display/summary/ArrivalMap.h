#pragma once

#include <QString>

#include <string>
#include <vector>

#include "display/maps/ArrivalRings.h"
#include "values/Arrival.h"

namespace halvane {

class DrawingSurface;

// An arrival's label: its number (1 for the direct sound) and its time in ms
// with one decimal, rounded half to even ("1: 9.3 ms").
QString ArrivalLabel(int number, double timeMs, char decimalSeparator);

// Marks every arrival on the map (scaled 180 to -180 across, 90 to -90
// down): a ring about its direction, white with a dark edge inside and out
// so that it reads over any picture, of ArrivalMarkRadiusDeg (continued at
// the other edge where it crosses +-180), the louder rings beneath the
// softer. Then each arrival's label, white with a dark outline, beside its
// ring (right, left, above or below, the first that is free), for the 20
// loudest arrivals, the loudest first; an arrival with no free place for its
// label keeps its number alone, or no label when that finds no place either
// (the direct sound's number is shown all the same). Labels keep clear of
// the labelled arrivals' rings and of the time scale along the map's bottom
// edge. With surface names (one per arrival, AnalysisResults::
// arrivalSurfaceNames) an arrival with a name has it after its time
// ("2: 12.4 ms floor"), or after its number alone ("2 floor") where that
// finds no place, before its number alone; without them the labels are as
// said.
// Arrivals are numbered in the order given (FindArrivals: time order, the
// direct sound first). Leaves the map's pen, fill, line width, colours and
// font as they were.
void DrawArrivalMarks(DrawingSurface& map, const std::vector<Arrival>& arrivals, double floorDb, char decimalSeparator,
                      const std::vector<std::string>& surfaceNames = {});

}  // namespace halvane
