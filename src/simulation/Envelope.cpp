#include "simulation/Envelope.h"

#include <algorithm>
#include <cmath>
#include <complex>

#include "simulation/Direction.h"

namespace halvane::simulation {
namespace {

using Complex = std::complex<double>;

// In-place radix-2 transform of a power-of-two length; sign -1 forward, +1 inverse (unscaled).
void Transform(std::vector<Complex>& a, int sign)
{
    const std::size_t n = a.size();
    for (std::size_t i = 1, j = 0; i < n; ++i) {
        std::size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j ^= bit;
        if (i < j) std::swap(a[i], a[j]);
    }
    for (std::size_t length = 2; length <= n; length <<= 1) {
        const double angle = sign * 2.0 * kPi / static_cast<double>(length);
        for (std::size_t start = 0; start < n; start += length) {
            for (std::size_t k = 0; k < length / 2; ++k) {
                const Complex turn = std::polar(1.0, angle * static_cast<double>(k));
                const Complex u = a[start + k], v = a[start + k + length / 2] * turn;
                a[start + k] = u + v;
                a[start + k + length / 2] = u - v;
            }
        }
    }
}

}  // namespace

double EnvelopePeakSamples(const std::vector<double>& values)
{
    if (values.empty()) return 0;
    std::size_t size = 1;
    while (size < 2 * values.size()) size <<= 1;
    std::vector<Complex> spectrum(size);
    for (std::size_t n = 0; n < values.size(); ++n) spectrum[n] = values[n];
    Transform(spectrum, -1);
    // The analytic signal's spectrum: the positive frequencies doubled, the negative ones dropped.
    const std::size_t half = size / 2;
    for (std::size_t f = 1; f < half; ++f) spectrum[f] *= 2.0;
    for (std::size_t f = half + 1; f < size; ++f) spectrum[f] = 0;
    std::vector<Complex> analytic = spectrum;
    Transform(analytic, +1);
    std::size_t largest = 0;
    for (std::size_t n = 1; n < values.size(); ++n) {
        if (std::norm(analytic[n]) > std::norm(analytic[largest])) largest = n;
    }
    if (std::norm(analytic[largest]) == 0) return 0;

    // The analytic signal between samples from its spectrum, the phase of each
    // frequency advanced by one turn step after another.
    auto envelope = [&](double t) {
        const Complex step = std::polar(1.0, 2.0 * kPi * t / static_cast<double>(size));
        Complex turn = 1, z = 0;
        for (std::size_t f = 0; f <= half; ++f) {
            z += spectrum[f] * turn;
            turn *= step;
        }
        return std::norm(z);
    };
    constexpr double kInverseGolden = 0.6180339887498949;
    double a = static_cast<double>(largest) - 1.0, b = static_cast<double>(largest) + 1.0;
    double c = b - kInverseGolden * (b - a), d = a + kInverseGolden * (b - a);
    double fc = envelope(c), fd = envelope(d);
    while (b - a > 1e-6) {
        if (fc > fd) {
            b = d;
            d = c;
            fd = fc;
            c = b - kInverseGolden * (b - a);
            fc = envelope(c);
        } else {
            a = c;
            c = d;
            fc = fd;
            d = a + kInverseGolden * (b - a);
            fd = envelope(d);
        }
    }
    return 0.5 * (a + b);
}

double EnergyAround(const std::vector<double>& values, std::ptrdiff_t first, double centreSamples,
                    double halfWidthSamples)
{
    const auto lo =
        std::max<std::ptrdiff_t>(static_cast<std::ptrdiff_t>(std::ceil(centreSamples - halfWidthSamples)), first);
    const auto hi = std::min<std::ptrdiff_t>(static_cast<std::ptrdiff_t>(std::floor(centreSamples + halfWidthSamples)),
                                             first + static_cast<std::ptrdiff_t>(values.size()) - 1);
    double energy = 0;
    for (std::ptrdiff_t n = lo; n <= hi; ++n) {
        const double v = values[static_cast<std::size_t>(n - first)];
        energy += v * v;
    }
    return energy;
}

}  // namespace halvane::simulation
