#pragma once

// The four channels of a response while it is mixed, in double precision, and
// what goes into them: plane waves, isotropic fields, and the last step to the
// stored samples.

#include <array>
#include <cstddef>
#include <vector>

#include "bformat/BFormatSignal.h"
#include "simulation/BandLimited.h"
#include "simulation/SplitMix64.h"

namespace halvane::simulation {

// W, Y, Z, X (AmbiX order, SN3D gains), full scale +-1.
using ChannelMix = std::array<std::vector<double>, 4>;

// Every channel at least frames long (grown with zeros, never shrunk).
void Grow(ChannelMix& mix, std::size_t frames);

// Adds gains[c] x (amplitude x pulse) to channel c, for the pulse's samples
// that lie inside the mix (the rest are dropped).
void AddPlaneWave(ChannelMix& mix, const PlacedValues& pulse, double amplitude, const std::array<double, 4>& gains);

// Adds amplitude x channels[c] from sample first on, inside the mix.
void AddChannels(ChannelMix& mix, std::ptrdiff_t first, const std::array<std::vector<double>, 4>& channels,
                 double amplitude);

// An isotropic diffuse field, one plane wave per sample: for each sample whose
// envelope is not 0, a value envelope x Bell() arriving from a direction drawn
// uniformly over the sphere (sin el = 2 u - 1, then az = (2 u - 1) pi).
// Samples whose envelope is 0 draw nothing.
void AddIsotropicNoise(ChannelMix& mix, const std::vector<double>& envelope, SplitMix64& random);

enum class SampleFormat { Float32, Pcm16 };

// The stored samples, each channel clipped at full scale first: Float32 keeps
// each value in -1..1 as float; Pcm16 rounds to the nearest of the 16-bit
// steps (half to even), clipped to -32768..32767, over 32768.
BFormatSignal Quantise(const ChannelMix& mix, double sampleRateHz, SampleFormat format);

// How many values of the mix lie beyond full scale (|v| > 1), all channels.
std::size_t ClippedSamples(const ChannelMix& mix);

}  // namespace halvane::simulation
