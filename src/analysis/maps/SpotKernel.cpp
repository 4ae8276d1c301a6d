#include "analysis/maps/SpotKernel.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "values/MapGrid.h"
#include "values/SoundField.h"

namespace halvane {
namespace {

constexpr int kColumns = static_cast<int>(kMapColumns);

}  // namespace

SpotKernel::SpotKernel(double widthDeg)
    : m_widthDeg(widthDeg), m_concentration(1 / (RadiansFromDegrees(widthDeg) * RadiansFromDegrees(widthDeg)))
{
    m_runs.reserve(kMapRows);
    for (std::size_t row = 0; row < kMapRows; ++row) m_runs.push_back(RunsOfRow(row));
}

std::vector<SpotKernel::Run> SpotKernel::RunsOfRow(std::size_t sourceRow) const
{
    // The kernel is kept where k (cos(angle) - 1) >= -kCutDb ln(10) / 10.
    const double cutExponent = -kCutDb * std::log(10.0) / 10;
    const double sourceEl = RadiansFromDegrees(MapRowElDeg(sourceRow));
    std::vector<Run> runs;
    double weightedSum = 0;  // sum of kernel x solid angle over every cell kept
    for (std::size_t row = 0; row < kMapRows; ++row) {
        const double el = RadiansFromDegrees(MapRowElDeg(row));
        const double sinProduct = std::sin(sourceEl) * std::sin(el);
        const double cosProduct = std::cos(sourceEl) * std::cos(el);
        // Nearest cell of this row: the same column. Nothing reached here
        // means nothing reached further along the row either.
        if (m_concentration * (sinProduct + cosProduct - 1) < cutExponent) continue;
        int reach = 0;
        while (reach < kColumns / 2) {
            const double cosAngle = sinProduct + cosProduct * std::cos(RadiansFromDegrees((reach + 1) * kMapCellDeg));
            if (m_concentration * (cosAngle - 1) < cutExponent) break;
            ++reach;
        }
        Run run;
        run.row = row;
        const int last = reach >= kColumns / 2 ? kColumns / 2 : reach;
        run.firstOffset = reach >= kColumns / 2 ? -(kColumns / 2 - 1) : -reach;
        for (int offset = run.firstOffset; offset <= last; ++offset) {
            const double cosAngle = sinProduct + cosProduct * std::cos(RadiansFromDegrees(offset * kMapCellDeg));
            const double weight = std::exp(m_concentration * (cosAngle - 1));
            run.weights.push_back(weight);
            weightedSum += weight * MapCellSolidAngleSr(row);
        }
        runs.push_back(std::move(run));
    }
    // Unit energy in the source cell raises the mean over the sphere,
    // sum of value x solid angle / 4 pi, by exactly 1.
    const double scale = 4 * std::numbers::pi / weightedSum;
    for (Run& run : runs) {
        for (double& weight : run.weights) weight *= scale;
    }
    return runs;
}

void SpotKernel::Spread(std::span<const double> placed, std::span<double> spread) const
{
    for (std::size_t sourceRow = 0; sourceRow < kMapRows; ++sourceRow) {
        for (std::size_t sourceColumn = 0; sourceColumn < kMapColumns; ++sourceColumn) {
            const double energy = placed[sourceRow * kMapColumns + sourceColumn];
            if (energy == 0) continue;
            for (const Run& run : m_runs[sourceRow]) {
                double* target = spread.data() + run.row * kMapColumns;
                // The run's columns, in at most two stretches either side of the seam.
                const int count = static_cast<int>(run.weights.size());
                int column = static_cast<int>(sourceColumn) + run.firstOffset;
                if (column < 0) column += kColumns;
                const int firstStretch = std::min(count, kColumns - column);
                const double* weights = run.weights.data();
                for (int i = 0; i < firstStretch; ++i) target[column + i] += energy * weights[i];
                for (int i = firstStretch; i < count; ++i) target[i - firstStretch] += energy * weights[i];
            }
        }
    }
}

}  // namespace halvane
