#pragma once

#include <cstddef>
#include <vector>

namespace halvane {

// A recording's clipped samples restored from the band limit of the rest: the
// values at the clipped positions are replaced by what keeps the stretch
// around them free of content above bandShare of the sample rate, while
// each restored value is at least as large as the clipped one, with its sign
// (alternating projections, a fixed number of rounds). A few flattened
// samples at a measured pulse's peak come back to a few per cent; its energy
// envelope then peaks where it did before it clipped, which the clipped
// pulse's does not (a flattened main lobe lets a later one win).
//
// clipped marks the samples to restore (the same size as values); the
// stretch worked on reaches kDeclipContext samples beyond the first and the
// last of them, and values outside it are left as they are. bandShare in
// (0, 0.5).
void Declip(std::vector<double>& values, const std::vector<bool>& clipped, double bandShare);
inline constexpr std::size_t kDeclipContext = 96;

// The share of the sample rate above which values hold no more than
// kBandEdgeDb below their whole energy, between 0.2 and 0.45: the band limit
// a recording's own content shows (a pulse recorded at 48 kHz and
// resampled to 96 kHz holds nothing above a quarter of the new rate).
double BandLimitShare(const std::vector<double>& values);
inline constexpr double kBandEdgeDb = 40.0;

}  // namespace halvane
