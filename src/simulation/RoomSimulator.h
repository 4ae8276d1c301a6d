#pragma once

// Simulated first-order Ambisonic impulse responses with the truth they were
// built from, for the tests and the arrival benchmark.
//
// Every image source of a scene arrives as the system pulse (simulation/
// SystemPulse.h) at its exact fractional time, scaled by its reflection
// factors and 1 / path; a room adds an isotropic tail decaying with its
// reverberation time; sensor noise; float or 16-bit samples, each channel
// clipped at full scale. Clean rooms use the ideal loudspeaker pulse alone.
// Measured-like ones take a measured pulse and give each reflection a wall
// filter of its own and some a scattered tail. Deterministic: the same scene,
// pulse, options and seed give the same samples bit for bit.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "bformat/BFormatSignal.h"
#include "simulation/ChannelMix.h"
#include "simulation/Scene.h"
#include "simulation/SystemPulse.h"
#include "simulation/WallFilter.h"

namespace halvane::simulation {

// A reflection's scattered tail: copies of its filtered pulse after it, from
// directions spread around its own, their amplitudes Gaussian under an
// exponential decay, their energy together a set share of the reflection's.
struct Scattering {
    int copies = 24;
    double lengthMs = 4.0;                         // copies lie within this long after the pulse, on whole samples
    double minDecayMs = 0.5, maxDecayMs = 1.5;     // the decay's time constant, drawn per reflection
    double minEnergyDb = -14.0, maxEnergyDb = -8;  // the copies' energy in W re the pulse's, drawn per reflection
    double spreadDeg = 25.0;                       // each copy's offset from the reflection's direction, per axis
};

struct SimulationOptions {
    double durationS = 1.0;
    int maxOrder = 3;  // image sources of a shoebox room up to this many reflections
    // The room's reverberation beyond the image sources (Scene.h), in the
    // system pulse's colour; none outdoors.
    bool diffuseTail = true;
    // Sensor noise, white and independent in each channel, RMS in dB re the
    // direct sound's peak in W; none when empty.
    std::optional<double> noiseDb = -70.0;
    SampleFormat format = SampleFormat::Float32;
    // The direct sound's peak in W, full scale 1; above 1 the direct sound
    // clips (every channel is clipped at +-1).
    double directPeak = 0.5;
    double speedOfSoundMPerS = 343.0;
    std::uint64_t seed = 1;
    // The stretch over which each arrival's level, background and diffuseness are measured.
    double levelWindowMs = 0.5;
    // Measured-like colour, off for the clean rooms: each reflection through a
    // wall filter of its own, and this share (0..1) of them with a scattered tail.
    bool wallFilters = false;
    WallColour wallColour;
    double scatteredShare = 0;
    Scattering scattering;
};

// One image source's arrival, as it was put into the response.
struct TrueArrival {
    // Where its pulse sits: path / speed of sound, the time the system
    // pulse's own energy envelope peak is placed at.
    double timeMs = 0;
    // The peak of its own energy envelope in W, after its wall filter and
    // with its scattering (its own signal alone); equal to timeMs, to a small
    // fraction of a sample, for an unfiltered pulse.
    double envelopePeakMs = 0;
    double azDeg = 0;  // the image source's direction
    double elDeg = 0;
    // Its own energy in W over levelWindowMs centred on envelopePeakMs, re
    // the direct sound's measured the same way, in dB.
    double levelDb = 0;
    // 20 log10(reflection factors x direct path / path): the level of an unfiltered copy.
    double geometricLevelDb = 0;
    int order = 0;     // reflections on the way; 0 for the direct sound
    std::string path;  // "direct", "floor", "left wall, ceiling x2", ...
    bool scattered = false;
    // Tail, noise and the other arrivals' scattering in W over levelWindowMs
    // centred on envelopePeakMs, re the arrival's own energy there, in dB
    // (-infinity when there are none).
    double backgroundDb = 0;
    // Its own signal's pseudo-intensity over the same stretch
    // (simulation/Envelope.h): the diffuseness it reads, and how far the
    // direction it reads lies from the image source's, degrees. A measured
    // pulse's figure-of-eights, coloured by a wall, read a few degrees off.
    double ownDiffuseness = 0;
    double ownDirectionOffDeg = 0;
};

struct SimulatedResponse {
    BFormatSignal signal;
    std::vector<TrueArrival> arrivals;  // in time order, the direct sound first
    double reverberationTimeS = 0;      // 0 without a tail
    std::size_t clippedSamples = 0;     // values beyond full scale before clipping, all channels
};

class RoomSimulator {
public:
    // The ideal loudspeaker pulse at this rate (SystemPulse::Loudspeaker).
    explicit RoomSimulator(double sampleRateHz);
    explicit RoomSimulator(SystemPulse pulse);

    double SampleRateHz() const { return m_pulse.RateHz(); }
    const SystemPulse& Pulse() const { return m_pulse; }

    // Adds the unfiltered pulse, scaled by amplitude in W, arriving from
    // (azDeg, elDeg) with its energy envelope peak at timeMs. Grows the
    // channels if needed, never shrinks them.
    void AddPlaneWave(ChannelMix& mix, double timeMs, double azDeg, double elDeg, double amplitude) const;

    // The room's image sources up to options.maxOrder and its tail.
    SimulatedResponse Simulate(const ShoeboxRoom& room, const SimulationOptions& options) const;
    // Any scene; options.maxOrder is not used. Images arriving after the end are left out.
    SimulatedResponse Simulate(const Scene& scene, const SimulationOptions& options) const;

private:
    struct Rendered;
    Rendered Render(const ImageSource& image, const Scene& scene, const SimulationOptions& options,
                    SplitMix64& colourRandom) const;
    std::array<std::vector<double>, 4> Scattered(const PlacedPulse& placed, const Vector3& u,
                                                 const Scattering& scattering, SplitMix64& random) const;
    ChannelMix Background(const Scene& scene, const SimulationOptions& options, std::size_t frames) const;

    SystemPulse m_pulse;
};

}  // namespace halvane::simulation
