#pragma once

// Measurements of a simulated arrival on its own signal, independent of any
// analysis of the response: where its energy envelope peaks, and its energy
// over a stretch.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <vector>

#include "simulation/Direction.h"

namespace halvane::simulation {

// Where the energy envelope |analytic signal|^2 of values peaks, in samples
// from values[0], to about 1e-6 of a sample: the analytic signal from the
// discrete Fourier transform of values zero-padded to at least twice their
// length, its largest value on the samples, then a golden-section search over
// the sample either side. 0 for empty or silent values.
double EnvelopePeakSamples(const std::vector<double>& values);

// The sum of values[n - first]^2 over the samples n with |n - centreSamples| <=
// halfWidthSamples (values outside count as 0).
double EnergyAround(const std::vector<double>& values, std::ptrdiff_t first, double centreSamples,
                    double halfWidthSamples);

// The pseudo-intensity over the samples n with |n - centreSamples| <=
// halfWidthSamples of four channels in the AmbiX order W, Y, Z, X, each
// holding values from sample first on: I the sum of W times (X, Y, Z), E half
// the sum of the four channels' squares.
struct IntensityReading {
    Vector3 intensity{0, 0, 0};  // x, y, z
    double energy = 0;
    // 1 - |I| / E: 0 for one plane wave, 1 for an isotropic field; 1 for silence.
    double Diffuseness() const
    {
        if (!(energy > 0)) return 1.0;
        return std::max(0.0, 1.0 - std::sqrt(Dot(intensity, intensity)) / energy);
    }
};

template <class Channel>
IntensityReading IntensityAround(const std::array<const Channel*, 4>& wyzx, std::ptrdiff_t first, double centreSamples,
                                 double halfWidthSamples)
{
    const auto lo =
        std::max<std::ptrdiff_t>(static_cast<std::ptrdiff_t>(std::ceil(centreSamples - halfWidthSamples)), first);
    const auto hi = std::min<std::ptrdiff_t>(static_cast<std::ptrdiff_t>(std::floor(centreSamples + halfWidthSamples)),
                                             first + static_cast<std::ptrdiff_t>(wyzx[0]->size()) - 1);
    IntensityReading reading;
    double squares = 0;
    for (std::ptrdiff_t n = lo; n <= hi; ++n) {
        const auto i = static_cast<std::size_t>(n - first);
        const double w = (*wyzx[0])[i], y = (*wyzx[1])[i], z = (*wyzx[2])[i], x = (*wyzx[3])[i];
        reading.intensity[0] += w * x;
        reading.intensity[1] += w * y;
        reading.intensity[2] += w * z;
        squares += w * w + x * x + y * y + z * z;
    }
    reading.energy = squares / 2;
    return reading;
}

}  // namespace halvane::simulation
