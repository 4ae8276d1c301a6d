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

}  // namespace halvane
