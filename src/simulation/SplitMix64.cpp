#include "simulation/SplitMix64.h"

#include <cmath>
#include <numbers>

namespace halvane::simulation {

std::uint64_t SplitMix64::Next()
{
    std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

double SplitMix64::Uniform() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }

double SplitMix64::UniformAboveZero() { return (static_cast<double>(Next() >> 11) + 1.0) * 0x1.0p-53; }

double SplitMix64::Gaussian()
{
    const double u1 = UniformAboveZero();
    const double u2 = UniformAboveZero();
    return std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * std::numbers::pi * u2);
}

double SplitMix64::Bell()
{
    const double sum = Uniform() + Uniform() + Uniform() + Uniform();
    return (sum - 2.0) * std::sqrt(3.0);
}

}  // namespace halvane::simulation
