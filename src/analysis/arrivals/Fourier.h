#pragma once

#include <complex>
#include <cstddef>
#include <vector>

namespace halvane {

using Spectrum = std::vector<std::complex<double>>;

// The discrete Fourier transform of one power-of-two size (radix 2), its
// twiddle factors worked out once, each from its own angle. Forward:
// X[k] = sum x[n] e^(-2 pi i k n / N); the inverse divides by N.
class FourierPlan {
public:
    explicit FourierPlan(std::size_t size);
    std::size_t Size() const { return m_size; }
    // values.size() must be Size().
    void Transform(Spectrum& values, bool inverse) const;

private:
    std::size_t m_size;
    std::vector<std::complex<double>> m_twiddles;  // e^(-2 pi i k / N), k < N / 2
};

// The transform in place of a power-of-two count of values, planned anew.
void Transform(Spectrum& values, bool inverse);

// The smallest power of two not below count (1 for 0).
std::size_t PowerOfTwoAtLeast(std::size_t count);

}  // namespace halvane
