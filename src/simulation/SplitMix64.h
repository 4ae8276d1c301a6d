#pragma once

// The random numbers of every simulated response: SplitMix64, whose sequence is
// fixed by its definition (unlike the standard library's distributions), so a
// room, its options and a seed give the same samples on every platform.

#include <cstdint>

namespace halvane::simulation {

class SplitMix64 {
public:
    explicit SplitMix64(std::uint64_t seed) : m_state(seed) { }

    // The next 64 bits: the state advanced by 0x9E3779B97F4A7C15, then mixed.
    std::uint64_t Next();
    // Uniform in [0, 1): the top 53 bits of Next() over 2^53.
    double Uniform();
    // Uniform in (0, 1]: (the top 53 bits + 1) over 2^53; a finite logarithm.
    double UniformAboveZero();
    // Standard normal (Box-Muller): sqrt(-2 ln u1) cos(2 pi u2), u1 then u2
    // from UniformAboveZero(); one value per pair.
    double Gaussian();
    // Zero mean, unit variance, bell-shaped and bounded (|value| < 2 sqrt 3):
    // the sum of four Uniform() values less 2, times sqrt 3.
    double Bell();

private:
    std::uint64_t m_state;
};

}  // namespace halvane::simulation
