#pragma once

#include <cstddef>
#include <vector>

#include "bformat/BFormatSignal.h"

namespace halvane {

// The beam estimator of analysis/maps/EnergyMaps.h over the frames
// [first, end) of signal (channels read to the shortest, end clamped to it):
// kMapCells cell energies, their mean over the sphere the range's energy of
// W. All zero for a range with no frames or no energy in W.
std::vector<double> SteeredBeamMap(const BFormatSignal& signal, std::size_t first, std::size_t end);

}  // namespace halvane
