#pragma once

// The demo room: a shoebox hall with one loudspeaker and one first-order Ambisonic
// microphone, the sound arrivals an image-source model gives for it, and its impulse response.
//
// Room coordinates in metres: x from the back wall (0) to the front wall, y from the right
// wall (0) to the left wall, z from the floor (0) to the ceiling. The microphone faces +x, so
// azimuth is measured from +x, positive to the left (towards +y), and elevation is positive
// upwards, both in degrees.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace halvane::demo {

struct Point3 {
    double xM = 0;
    double yM = 0;
    double zM = 0;
};

enum class Surface { None, FrontWall, BackWall, LeftWall, RightWall, Floor, Ceiling };

struct DemoRoom {
    double lengthM = 28.0;  // along x
    double widthM = 18.0;   // along y
    double heightM = 9.0;   // along z
    Point3 microphone{11.0, 7.5, 3.0};
    Point3 source{14.0, 8.5, 3.5};
    double speedOfSoundMPerS = 343.0;
    double directPeak = 0.5;  // peak of the direct sound's pulse in W, full scale 1
};

/// One sound arrival at the microphone: the direct sound or a reflection off one surface.
struct Arrival {
    std::string name;                 // "direct", "floor", "left wall", ...
    Surface surface = Surface::None;  // the reflecting surface; None for the direct sound
    double timeMs = 0;                // from the start of the file (the source fires at 0)
    double azimuthDeg = 0;
    double elevationDeg = 0;
    double levelDb = 0;    // amplitude re the direct sound, 20 log10
    double amplitude = 0;  // peak of its pulse in W
    double pathM = 0;      // length of the sound path
};

inline constexpr std::uint32_t kDemoSampleRateHz = 48000;
inline constexpr std::size_t kDemoFrameCount = 24000;  // 0.5 s
inline constexpr int kDemoChannelCount = 4;

/// The direct sound and the six first-order reflections, sorted by time.
std::vector<Arrival> DemoArrivals(const DemoRoom& room);

/// The impulse response: every arrival as a short band-limited pulse (scaled 1/r and by the
/// surface's reflection factor) plus an exponentially decaying diffuse tail from random
/// directions. AmbiX order W, Y, Z, X with SN3D gains, interleaved, kDemoFrameCount frames.
/// Deterministic: the same room gives the same samples bit for bit.
std::vector<float> RenderDemoImpulseResponse(const DemoRoom& room);

/// The surface a ray from the microphone in the given direction meets first, and how far away.
Surface SurfaceInDirection(const DemoRoom& room, double azimuthDeg, double elevationDeg, double* distanceM = nullptr);

/// "front wall", "floor", ...; "" for Surface::None.
std::string SurfaceName(Surface surface);

/// The arrivals as a comma-separated table, header "time (ms)","Az","El","level (dB)","arrival",
/// CR LF after every line, "." as decimal separator.
std::string ArrivalTableText(const std::vector<Arrival>& arrivals);

}  // namespace halvane::demo
