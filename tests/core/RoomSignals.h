#pragma once

// Synthetic impulse responses for the room-parameter tests: damped tones,
// exponentially decaying noise, plane waves and diffuse fields in B-format
// (AmbiX order, SN3D), from a deterministic generator so that every run and
// every platform sees the same samples.

#include <cmath>
#include <numbers>
#include <vector>

#include "bformat/BFormatSignal.h"
#include "simulation/SplitMix64.h"

namespace halvane::test {

// The simulator's own generator: the same sequence on every platform.
using Random = simulation::SplitMix64;

// The amplitude envelope exp(-k t) that falls by 60 dB in rtS: k = ln(1000) / rtS.
inline double AmplitudeDecayPerS(double rtS) { return std::log(1000.0) / rtS; }

inline std::size_t FramesOf(double seconds, double rateHz)
{
    return static_cast<std::size_t>(std::nearbyint(seconds * rateHz));
}

// A sine of amplitude 1 at frequencyHz starting at phase 0 at onsetS and
// decaying by 60 dB in rtS; silence before.
inline std::vector<double> DampedTone(double rateHz, double frequencyHz, double rtS, double onsetS, double lengthS)
{
    std::vector<double> mono(FramesOf(lengthS, rateHz), 0.0);
    const double decay = AmplitudeDecayPerS(rtS);
    for (std::size_t n = FramesOf(onsetS, rateHz); n < mono.size(); ++n) {
        const double t = static_cast<double>(n) / rateHz - onsetS;
        mono[n] = std::sin(2 * std::numbers::pi * frequencyHz * t) * std::exp(-decay * t);
    }
    return mono;
}

// Gaussian white noise of unit variance from onsetS on, decaying by 60 dB in rtS.
inline std::vector<double> DecayingNoise(double rateHz, double rtS, double onsetS, double lengthS, Random& random)
{
    std::vector<double> mono(FramesOf(lengthS, rateHz), 0.0);
    const double decay = AmplitudeDecayPerS(rtS);
    for (std::size_t n = FramesOf(onsetS, rateHz); n < mono.size(); ++n) {
        const double t = static_cast<double>(n) / rateHz - onsetS;
        mono[n] = random.Gaussian() * std::exp(-decay * t);
    }
    return mono;
}

// Adds stationary Gaussian white noise of the given RMS to every frame.
inline void AddNoise(std::vector<double>& mono, double rms, Random& random)
{
    for (double& v : mono) v += rms * random.Gaussian();
}

// A plane wave from (azDeg, elDeg) carrying mono: W = s, Y = s sin(az) cos(el),
// Z = s sin(el), X = s cos(az) cos(el); azimuth positive to the left.
inline BFormatSignal PlaneWave(const std::vector<double>& mono, double rateHz, double azDeg, double elDeg)
{
    const double az = azDeg * std::numbers::pi / 180, el = elDeg * std::numbers::pi / 180;
    BFormatSignal signal;
    signal.SampleRateHz = rateHz;
    for (double s : mono) {
        signal.W.push_back(static_cast<float>(s));
        signal.Y.push_back(static_cast<float>(s * std::sin(az) * std::cos(el)));
        signal.Z.push_back(static_cast<float>(s * std::sin(el)));
        signal.X.push_back(static_cast<float>(s * std::cos(az) * std::cos(el)));
    }
    return signal;
}

// Adds mono to signal frame by frame, each frame arriving from its own
// direction drawn uniformly over the sphere: an isotropic diffuse field.
inline void AddDiffuse(BFormatSignal& signal, const std::vector<double>& mono, Random& random)
{
    for (std::size_t n = 0; n < mono.size() && n < signal.W.size(); ++n) {
        const double z = 2 * random.Uniform() - 1;  // sin(el), uniform for a uniform sphere
        const double az = 2 * std::numbers::pi * random.Uniform();
        const double horizontal = std::sqrt(1 - z * z);
        signal.W[n] += static_cast<float>(mono[n]);
        signal.Y[n] += static_cast<float>(mono[n] * horizontal * std::sin(az));
        signal.Z[n] += static_cast<float>(mono[n] * z);
        signal.X[n] += static_cast<float>(mono[n] * horizontal * std::cos(az));
    }
}

}  // namespace halvane::test
