#include "analysis/arrivals/Fourier.h"

#include <cmath>
#include <numbers>
#include <utility>

namespace halvane {

FourierPlan::FourierPlan(std::size_t size) : m_size(size)
{
    m_twiddles.resize(size / 2);
    for (std::size_t k = 0; k < size / 2; ++k) {
        const double angle = -2.0 * std::numbers::pi * static_cast<double>(k) / static_cast<double>(size);
        m_twiddles[k] = {std::cos(angle), std::sin(angle)};
    }
}

void FourierPlan::Transform(Spectrum& values, bool inverse) const
{
    const std::size_t n = m_size;
    for (std::size_t i = 1, j = 0; i < n; ++i) {
        std::size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j ^= bit;
        if (i < j) std::swap(values[i], values[j]);
    }
    for (std::size_t length = 2; length <= n; length <<= 1) {
        const std::size_t half = length / 2, stride = n / length;
        for (std::size_t k = 0; k < half; ++k) {
            const std::complex<double> t = m_twiddles[k * stride];
            const std::complex<double> twiddle = inverse ? std::conj(t) : t;
            for (std::size_t start = 0; start < n; start += length) {
                const std::complex<double> even = values[start + k];
                const std::complex<double> odd = values[start + k + half] * twiddle;
                values[start + k] = even + odd;
                values[start + k + half] = even - odd;
            }
        }
    }
    if (inverse) {
        for (auto& v : values) v /= static_cast<double>(n);
    }
}

void Transform(Spectrum& values, bool inverse) { FourierPlan(values.size()).Transform(values, inverse); }

std::size_t PowerOfTwoAtLeast(std::size_t count)
{
    std::size_t size = 1;
    while (size < count) size <<= 1;
    return size;
}

}  // namespace halvane
