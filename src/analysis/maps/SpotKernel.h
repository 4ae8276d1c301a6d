#pragma once

#include <cstddef>
#include <span>
#include <vector>

namespace halvane {

// The smoothing of the histogram estimator (analysis/maps/EnergyMaps.h):
// energy placed in cells of values/MapGrid.h spread over the cells around
// them by the von Mises-Fisher kernel exp(k (cos(angle) - 1)),
// k = 1 / width^2 (width in radians), which near its centre is a Gaussian of
// standard deviation width. The kernel is left out where it is more than
// kCutDb down, and it is scaled, for each row of the grid, so that energy e
// placed in a cell of that row raises the map's mean over the sphere by e
// exactly: the spread map holds the placed energy, none gained or lost.
// Built once per width; the weights depend only on the rows and the
// difference of the columns.
class SpotKernel {
public:
    static constexpr double kCutDb = 50;

    // widthDeg in [0.5, 30] (the tables grow as the width does).
    explicit SpotKernel(double widthDeg);

    double WidthDeg() const { return m_widthDeg; }

    // Adds the spread of placed (kMapCells energies) to spread (kMapCells).
    void Spread(std::span<const double> placed, std::span<double> spread) const;

private:
    // The weights one cell of a row gives the cells of another row, for
    // column offsets -reach .. reach around its own (all 180 columns, offsets
    // -89 .. 90, when the kernel covers the whole row).
    struct Run {
        std::size_t row = 0;
        int firstOffset = 0;
        std::vector<double> weights;  // for offsets firstOffset, firstOffset + 1, ...
    };
    std::vector<Run> RunsOfRow(std::size_t sourceRow) const;

    double m_widthDeg;
    double m_concentration;
    std::vector<std::vector<Run>> m_runs;  // per source row
};

}  // namespace halvane
