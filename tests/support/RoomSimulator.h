#pragma once

// A shoebox room for the tests and the arrival score: image sources with
// per-surface reflection factors, each arriving as the loudspeaker's pulse at
// its exact fractional time and encoded as a first-order AmbiX plane wave
// (SN3D), an isotropic diffuse tail decaying with the room's reverberation
// time, sensor noise, and float or 16-bit samples. Deterministic: the same
// room, options and seed give the same samples bit for bit.
//
// Room coordinates in metres: x from the back wall (0) to the front wall, y
// from the right wall (0) to the left wall, z from the floor (0) to the
// ceiling. The microphone faces +x: azimuth is measured from +x, positive to
// the left (towards +y), elevation positive upwards, both in degrees.

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "bformat/BFormatSignal.h"

namespace halvane::test {

struct RoomPoint {
    double xM = 0;
    double yM = 0;
    double zM = 0;
};

struct ShoeboxRoom {
    double lengthM = 6.0;  // along x
    double widthM = 4.5;   // along y
    double heightM = 3.0;  // along z
    RoomPoint source{4.3, 1.9, 1.4};
    RoomPoint listener{1.7, 2.6, 1.2};  // distinct from the source, both inside the room
    // Amplitude reflection factors, 0..1 (energy absorption 1 - factor^2).
    double backWall = 0.8;   // x = 0
    double frontWall = 0.8;  // x = lengthM
    double rightWall = 0.8;  // y = 0
    double leftWall = 0.8;   // y = widthM
    double floor = 0.8;      // z = 0
    double ceiling = 0.8;    // z = heightM
};

enum class SampleFormat { Float32, Pcm16 };

struct SimulationOptions {
    double durationS = 1.0;
    int maxOrder = 3;  // image sources up to this many reflections
    // The reverberation beyond the image sources: isotropic noise shaped by
    // the loudspeaker's band, rising from the first image source of order
    // maxOrder + 1, decaying 60 dB over the Sabine reverberation time, at the
    // level the Sabine reverberant-to-direct ratio gives at the listener.
    bool diffuseTail = true;
    // Sensor noise, white and independent in each channel, RMS in dB re the
    // direct sound's peak in W; none when empty.
    std::optional<double> noiseDb = -70.0;
    SampleFormat format = SampleFormat::Float32;
    double directPeak = 0.5;  // the direct sound's peak in W, full scale 1
    double speedOfSoundMPerS = 343.0;
    std::uint64_t seed = 1;
    // The stretch, centred on each arrival, over which its background is measured.
    double backgroundWindowMs = 0.5;
};

// One image source's arrival, as it was put into the response.
struct TrueArrival {
    double timeMs = 0;  // path / speed of sound: where the pulse's energy envelope peaks
    double azDeg = 0;
    double elDeg = 0;
    double levelDb = 0;  // peak energy re the direct sound: 20 log10(reflection factors x direct path / path)
    int order = 0;       // reflections on the way; 0 for the direct sound
    // Tail and noise energy in W over backgroundWindowMs centred on the
    // arrival, re the arrival's own energy in W over the same stretch, in dB
    // (-infinity without tail and noise).
    double backgroundDb = 0;
};

struct SimulatedResponse {
    BFormatSignal signal;
    std::vector<TrueArrival> arrivals;  // in time order, the direct sound first
    double reverberationTimeS = 0;
};

// The four channels before quantisation, W, Y, Z, X.
using ChannelMix = std::array<std::vector<double>, 4>;

// Sabine: 0.161 V / sum of S (1 - factor^2), in seconds.
double ReverberationTimeS(const ShoeboxRoom& room);

// Float32 keeps each value as float; Pcm16 rounds to the nearest of the
// 16-bit steps (half to even), clipped to -32768..32767, over 32768.
BFormatSignal Quantise(const ChannelMix& mix, double sampleRateHz, SampleFormat format);

class RoomSimulator {
public:
    // The loudspeaker pulse for this rate: a windowed-sinc low-pass at 16 kHz
    // (at most 0.36 of the rate) followed by a second-order high-pass at
    // 80 Hz, so it rings a little after its peak as a real one does; peak 1.
    explicit RoomSimulator(double sampleRateHz);

    double SampleRateHz() const { return m_rateHz; }
    const std::vector<double>& Pulse() const { return m_pulse; }
    // Where the pulse's energy envelope peaks, in samples from Pulse()[0].
    double PulsePeakSamples() const { return m_pulsePeak; }

    // Adds the pulse, scaled by amplitude in W, as a plane wave from
    // (azDeg, elDeg) whose energy envelope peaks at timeMs (fractional delay
    // by a windowed sinc). Grows the channels if needed, never shrinks them.
    void AddPlaneWave(ChannelMix& mix, double timeMs, double azDeg, double elDeg, double amplitude) const;

    SimulatedResponse Simulate(const ShoeboxRoom& room, const SimulationOptions& options) const;

private:
    // The pulse delayed so its envelope peaks at timeSamples: values from sample first on.
    void Delayed(double timeSamples, std::ptrdiff_t& first, std::vector<double>& values) const;

    double m_rateHz;
    std::vector<double> m_pulse;
    std::vector<double> m_band;  // the low-pass part alone, unit energy: the colour of the tail
    double m_pulsePeak = 0;
};

}  // namespace halvane::test
