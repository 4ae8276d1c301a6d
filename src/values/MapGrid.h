#pragma once

#include <cstddef>

namespace halvane {

// The grid of the directional energy maps: 2-degree cells over the whole
// sphere, 180 columns of azimuth by 90 rows of elevation, held row by row in
// the order a map is drawn: column 0 at the left edge, row 0 at the top.
//
// Directions as everywhere in Halvane: azimuth 0 straight ahead (+X),
// positive to the left (towards +Y); elevation positive upwards; degrees.
// Drawn as the window draws its map, azimuth runs from +180 at the left edge
// to -180 at the right edge, elevation from +90 at the top to -90 at the
// bottom.
//
// Cell centres lie at odd degrees: column c at azimuth 179 - 2c (179 at the
// left, -179 at the right), row r at elevation 89 - 2r (89 at the top, -89 at
// the bottom). The seam at +-180 and the two poles are cell edges: no cell is
// centred on them, the two columns beside the seam are neighbours, and the
// cells of the top and bottom rows meet at the pole in a point.
//
// A direction on an edge between cells belongs to the cell on its right
// (the smaller azimuth) and below it (the smaller elevation): the column is
// floor((180 - az) / 2) taken modulo 180, so that +180 and -180 both lie in
// column 0, and the row floor((90 - el) / 2), with -90 in the bottom row.

inline constexpr double kMapCellDeg = 2;
inline constexpr std::size_t kMapColumns = 180;
inline constexpr std::size_t kMapRows = 90;
inline constexpr std::size_t kMapCells = kMapColumns * kMapRows;

// The centre of a column or a row, in degrees.
inline double MapColumnAzDeg(std::size_t column) { return 179.0 - 2.0 * static_cast<double>(column); }
inline double MapRowElDeg(std::size_t row) { return 89.0 - 2.0 * static_cast<double>(row); }

// The solid angle of one cell of a row, in steradians: the column width in
// radians times the difference of the sines of the row's upper and lower
// edges. The cells of all rows add up to 4 pi.
double MapCellSolidAngleSr(std::size_t row);

// The cell (row * kMapColumns + column) holding a direction, by the edge
// rule above. Azimuths outside [-180, 180] are taken modulo 360; elevations
// are clamped to [-90, 90]. A direction that is not finite lies in cell 0.
std::size_t MapCellOf(double azDeg, double elDeg);

}  // namespace halvane
