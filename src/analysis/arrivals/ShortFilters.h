#pragma once

#include <cstddef>
#include <vector>

namespace halvane {

// The arrivals' levels, and the direct sound's search, are energies over
// this window: long enough to hold a measured pulse, short enough to hold one
// arrival.
inline constexpr double kLevelWindowMs = 0.5;

// A high-pass with a short, symmetric impulse response: the values less
// their triangular-weighted moving average over spanSamples (two running
// means of half that length). Its response is 1 - sinc^2(f T / 2) for the
// span T: 0 at 0 Hz, 0.6 at 1 / T, 1 from 2 / T on. What it takes from a
// pulse stays within T / 2 of it, so no arrival's lowest frequencies reach
// over the next one. Beyond either end the end values go on (a constant
// offset leaves nothing, even at the ends), unless there are fewer than four
// spans of values, which are taken with silence around them. A value
// depends only on the values within spanSamples of it.
void HighPassCompact(std::vector<double>& values, std::ptrdiff_t spanSamples);

// The span of the high-pass that leaves out what lies below lowCutHz at
// rateHz (its nearest whole number of samples, at most 8192), or 0 where no
// high-pass is taken: lowCutHz 0, or at or above a quarter of the rate, where
// it would leave no band.
std::ptrdiff_t LowCutSpanSamples(double rateHz, double lowCutHz);

// The energy of values over the samples n - half .. n + half, at every n
// (values beyond either end count as zero).
std::vector<double> MovingEnergy(const std::vector<double>& values, std::ptrdiff_t half);

}  // namespace halvane
