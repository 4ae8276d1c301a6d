#pragma once

#include <vector>

namespace halvane {

// One axis of a plot: the stretch from `from` to `to` (from < to) with a tick
// at every multiple of step between them, both ends included.
struct AxisTicks {
    double from = 0;
    double to = 1;
    double step = 1;

    // from, from + step, ..., to; each tick computed as a whole multiple of
    // the step, so that errors do not accumulate along the axis.
    std::vector<double> Values() const;
};

// The axis that covers [low, high] with the largest step of the form 1, 2 or
// 5 times a power of ten, no larger than high - low, that still gives at
// least minIntervals intervals (values below 1 count as 1), from and to
// being multiples of the step. Swapped ends are swapped back; a stretch of no
// width (low == high) is widened by 1 on either side; non-finite ends give
// the axis 0 to 1.
AxisTicks NiceTicks(double low, double high, int minIntervals);

}  // namespace halvane
