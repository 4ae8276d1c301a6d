#pragma once

// Band-limited interpolation of sampled pulses: windowed sincs for a
// fractional delay and for a change of sample rate.

#include <cstddef>
#include <vector>

namespace halvane::simulation {

// sin(pi x) / (pi x), 1 at 0.
double Sinc(double x);
// Windows over |x| < halfWidth, 0 outside: the 4-term Blackman-Harris and the
// classic Blackman window, 1 at the centre.
double BlackmanHarris(double x, double halfWidth);
double Blackman(double x, double halfWidth);

// Samples from index first on.
struct PlacedValues {
    std::ptrdiff_t first = 0;
    std::vector<double> values;
};

// The sampled pulse delayed by shiftSamples (any real value): a sinc windowed
// by Blackman-Harris over 32 samples either side, whose error stays below
// -80 dB up to 0.4 of the rate. Values from first = floor(shift) - 31 on,
// pulse.size() + 63 of them.
PlacedValues Delayed(const std::vector<double>& pulse, double shiftSamples);

// The pulse sampled at toHz instead of fromHz, low-passed at cutoffHz (below
// half of both rates): a Blackman-Harris windowed sinc over 32 of its zero
// crossings either side. Output sample first + i lies at input time
// (first + i) x fromHz / toHz, first < 0 by the kernel's reach, so nothing is cut.
PlacedValues Resampled(const std::vector<double>& pulse, double fromHz, double toHz, double cutoffHz);

// A low-pass pulse evaluated exactly at its offsets from centreSamples: a sinc
// of bandwidth (cut-off over half the rate) times a Hann window of
// halfWidthSamples either side. Values on every sample from
// ceil(centre - halfWidth) to floor(centre + halfWidth), 0 at the window's edge.
PlacedValues HannSincAt(double centreSamples, double bandwidth, int halfWidthSamples);

}  // namespace halvane::simulation
