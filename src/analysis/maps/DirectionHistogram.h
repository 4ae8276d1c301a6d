#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "analysis/maps/SpotKernel.h"
#include "bformat/BFormatSignal.h"

namespace halvane {

// The histogram estimator of analysis/maps/EnergyMaps.h. Each frame's
// direction (the cell of its pseudo-intensity over the direction window) and
// energy are found once, for the frames [first, end) that the ranges of one
// response need; maps of any ranges within them are then made from those.
class DirectionHistogram {
public:
    // halfWindowFrames: the pseudo-intensity of frame n sums the frames
    // n - halfWindowFrames .. n + halfWindowFrames (those beyond the signal
    // counting as silent). Channels are read to the shortest; end is clamped
    // to it.
    DirectionHistogram(const BFormatSignal& signal, std::size_t first, std::size_t end, std::size_t halfWindowFrames);

    // kMapCells cell energies of the frames [first, end) (clamped to those
    // given to the constructor), spread by kernel; their mean over the sphere
    // is the frames' energy of W.
    std::vector<double> Map(std::size_t first, std::size_t end, const SpotKernel& kernel) const;

private:
    static constexpr std::uint32_t kNoDirection = UINT32_MAX;

    std::size_t m_first = 0;
    std::vector<double> m_energy;        // W^2 of frame m_first + i
    std::vector<std::uint32_t> m_cells;  // its cell, or kNoDirection where the intensity is 0
};

}  // namespace halvane
