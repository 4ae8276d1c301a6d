#pragma once

#include <QColor>

#include <array>

namespace halvane {

// The colours of the energy maps and of the summary's time ramp.

// A perceptually uniform ramp from dark violet (0) through blue and teal to
// yellow (1): nine equally spaced stops of the viridis colour map, linear
// between them; fractions outside [0, 1] (and not-a-number) take the nearer
// end (0 for not-a-number).
QColor ViridisColour(double fraction);
inline constexpr std::size_t kViridisStops = 9;
// The stops themselves, for a gradient that draws the same ramp as vectors.
const std::array<QColor, kViridisStops>& ViridisStops();

// An energy map's colour scale over a fixed span of rangeDb below the direct
// sound's peak (0 dB on every map): the fraction (levelDb / rangeDb) + 1,
// 1 at 0 dB and above, 0 at -rangeDb, negative below (a level not in the
// range), not-a-number for a level that is not one. rangeDb must be > 0; a
// non-positive or non-finite one counts as kDefaultMapRangeDb. Fixed, not
// stretched to each map, so that the same dB is the same colour in every
// range, band and file.
inline constexpr double kDefaultMapRangeDb = 35;
double MapLevelFraction(double levelDb, double rangeDb);

// The colour of a level: ViridisColour of its fraction, clamped into the ramp.
QColor MapLevelColour(double levelDb, double rangeDb);

// The colours of a difference map (B's level less A's): a diverging ramp
// from blue at -spanDb through a light neutral at 0 to red at +spanDb, seven
// stops of the red-blue ColorBrewer map, linear between them; a difference
// beyond the span takes the nearer end. Not-a-number (a cell where both lie
// below the floor) is kMaskedCellColour, a mid grey that no difference has.
// spanDb must be > 0; a non-positive or non-finite one counts as
// kDifferenceSpanDb.
inline constexpr double kDifferenceSpanDb = 10;
inline constexpr std::size_t kDivergingStops = 7;
const std::array<QColor, kDivergingStops>& DivergingStops();
QColor DifferenceColour(double differenceDb, double spanDb = kDifferenceSpanDb);
inline const QColor kMaskedCellColour{150, 150, 150};

}  // namespace halvane
