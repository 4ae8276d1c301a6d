#include "analysis/maps/DirectionHistogram.h"

#include <algorithm>
#include <cmath>

#include "values/MapGrid.h"
#include "values/SoundField.h"

namespace halvane {
namespace {

// The window sums slide along the frames, adding the frame that enters and
// taking off the one that leaves; they are summed afresh this often so that
// no rounding is carried from a loud stretch into a quiet one.
constexpr std::size_t kFreshSumFrames = 4096;

struct Intensity {
    double x = 0, y = 0, z = 0;
    void Add(double w, double xValue, double yValue, double zValue)
    {
        x += w * xValue;
        y += w * yValue;
        z += w * zValue;
    }
};

}  // namespace

DirectionHistogram::DirectionHistogram(const BFormatSignal& signal, std::size_t first, std::size_t end,
                                       std::size_t halfWindowFrames)
{
    const std::size_t frames = std::min({signal.W.size(), signal.Y.size(), signal.Z.size(), signal.X.size()});
    end = std::min(end, frames);
    first = std::min(first, end);
    m_first = first;
    m_energy.resize(end - first);
    m_cells.resize(end - first);

    // The intensity of the frames [from, to) clamped to the signal.
    auto windowSum = [&](std::size_t from, std::size_t to) {
        Intensity sum;
        for (std::size_t m = from; m < std::min(to, frames); ++m) {
            sum.Add(signal.W[m], signal.X[m], signal.Y[m], signal.Z[m]);
        }
        return sum;
    };
    auto windowFirst = [halfWindowFrames](std::size_t n) { return n > halfWindowFrames ? n - halfWindowFrames : 0; };
    Intensity sum;
    for (std::size_t n = first; n < end; ++n) {
        if ((n - first) % kFreshSumFrames == 0) {
            sum = windowSum(windowFirst(n), n + halfWindowFrames + 1);
        } else {
            const std::size_t entering = n + halfWindowFrames;
            if (entering < frames)
                sum.Add(signal.W[entering], signal.X[entering], signal.Y[entering], signal.Z[entering]);
            if (n > halfWindowFrames) {
                const std::size_t leaving = n - halfWindowFrames - 1;
                sum.Add(-static_cast<double>(signal.W[leaving]), signal.X[leaving], signal.Y[leaving],
                        signal.Z[leaving]);
            }
        }
        const double w = signal.W[n];
        m_energy[n - first] = w * w;
        if (sum.x == 0 && sum.y == 0 && sum.z == 0) {
            m_cells[n - first] = kNoDirection;
            continue;
        }
        const Direction direction = DirectionOfIntensity(sum.x, sum.y, sum.z);
        m_cells[n - first] = static_cast<std::uint32_t>(MapCellOf(direction.azDeg, direction.elDeg));
    }
}

std::vector<double> DirectionHistogram::Map(std::size_t first, std::size_t end, const SpotKernel& kernel) const
{
    const std::size_t held = m_energy.size();
    const std::size_t from = std::clamp(first, m_first, m_first + held) - m_first;
    const std::size_t to = std::clamp(end, m_first + from, m_first + held) - m_first;
    std::vector<double> placed(kMapCells, 0.0);
    double everywhere = 0;  // energy without a direction, spread evenly
    for (std::size_t i = from; i < to; ++i) {
        if (m_cells[i] == kNoDirection) {
            everywhere += m_energy[i];
        } else {
            placed[m_cells[i]] += m_energy[i];
        }
    }
    std::vector<double> cells(kMapCells, everywhere);
    kernel.Spread(placed, cells);
    return cells;
}

}  // namespace halvane
