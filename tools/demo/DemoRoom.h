#pragma once

// The demo room: a shoebox hall with one loudspeaker and one first-order Ambisonic
// microphone, the sound arrivals an image-source model gives for it, and its impulse response.
//
// Room coordinates and directions as in simulation/ShoeboxRoom.h: x from the back wall (0) to
// the front wall, y from the right wall (0) to the left wall, z from the floor (0) to the
// ceiling; the microphone faces +x, azimuth positive to the left, elevation positive upwards.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "simulation/ShoeboxRoom.h"

namespace halvane::demo {

using simulation::Surface;

struct DemoRoom {
    // 28 x 18 x 9 m; plastered walls and ceiling reflect most, the floor is covered by seating
    // and reflects less (amplitude reflection factors).
    simulation::ShoeboxRoom hall{28.0, 18.0, 9.0, {14.0, 8.5, 3.5}, {11.0, 7.5, 3.0}, 0.85, 0.85, 0.85, 0.85, 0.7, 0.8};
    double speedOfSoundMPerS = 343.0;
    double directPeak = 0.5;  // peak of the direct sound's pulse in W, full scale 1
};

// One sound arrival at the microphone: the direct sound or a reflection off one surface.
struct Arrival {
    std::string name;                 // "direct", "floor", "left wall", ...
    Surface surface = Surface::None;  // the reflecting surface; None for the direct sound
    double timeMs = 0;                // from the start of the file (the source fires at 0)
    double azDeg = 0;
    double elDeg = 0;
    double levelDb = 0;    // amplitude re the direct sound, 20 log10
    double amplitude = 0;  // peak of its pulse in W
    double pathM = 0;      // length of the sound path
};

inline constexpr std::uint32_t kDemoSampleRateHz = 48000;
inline constexpr std::size_t kDemoFrameCount = 24000;  // 0.5 s
inline constexpr int kDemoChannelCount = 4;

// The direct sound and the six first-order reflections, sorted by time.
std::vector<Arrival> DemoArrivals(const DemoRoom& room);

// The impulse response: every arrival as a short band-limited pulse (scaled 1/r and by the
// surface's reflection factor) plus an exponentially decaying diffuse tail from random
// directions. AmbiX order W, Y, Z, X with SN3D gains, interleaved, kDemoFrameCount frames.
// Deterministic: the same room gives the same samples bit for bit.
std::vector<float> RenderDemoImpulseResponse(const DemoRoom& room);

// The arrivals as a comma-separated table, header "time (ms)","Az","El","level (dB)","arrival",
// CR LF after every line, "." as decimal separator.
std::string ArrivalTableText(const std::vector<Arrival>& arrivals);

}  // namespace halvane::demo
