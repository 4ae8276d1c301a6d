#pragma once

// A plausibility check of a converted B-format impulse response: where does its direct sound
// come from? A measurement normally puts the source in front of the microphone and near its
// height, so a direct sound from behind or from well below is more often a wrong channel
// order or a wrong normalisation than a real geometry.
//
// Direction convention: azimuth positive to the left (towards +Y), elevation positive
// upwards, degrees; Az = atan2(Iy, Ix), El = asin(Iz / |I|) with Ix = sum X*W, Iy = sum Y*W,
// Iz = sum Z*W over a window.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace halvane::convert {

/// Sums over one window, in double precision: De = sum(W^2 + X^2 + Y^2 + Z^2), Ix, Iy, Iz.
struct WindowSums {
    double energy = 0;
    double ix = 0;
    double iy = 0;
    double iz = 0;
};

/// Sums consecutive windows of framesPerWindow frames over interleaved W, Y, Z, X samples,
/// window k holding frames k*framesPerWindow up to (k+1)*framesPerWindow - 1; a last,
/// shorter window is kept. framesPerWindow 0 gives no windows.
std::vector<WindowSums> SumWindows(std::span<const float> wyzx, std::size_t framesPerWindow);

struct Direction {
    double azimuthDeg = 0;    // (-180, 180]
    double elevationDeg = 0;  // [-90, 90]
};

/// The direction of a window's intensity vector; std::nullopt when the vector is zero or
/// its sums are not finite.
std::optional<Direction> DirectionOf(const WindowSums& sums);

inline constexpr double kCheckWindowMs = 5.0;

struct DirectSoundEstimate {
    std::size_t windowIndex = 0;  // of kCheckWindowMs windows
    double startMs = 0;
    Direction direction;
};

/// The direct sound: the first 5 ms window whose energy comes within 20 dB of the loudest
/// window, or the loudest of it and the windows of the following 10 ms (the direct pulse
/// can straddle a window boundary). std::nullopt for silence or a zero sample rate.
std::optional<DirectSoundEstimate> EstimateDirectSound(std::span<const float> wyzx, std::uint32_t sampleRateHz);

inline constexpr double kBehindAzimuthDeg = 135.0;
// A source a little below the microphone is ordinary (outdoors, a raised microphone), so only
// a direct sound well below the horizon counts as suspect.
inline constexpr double kBelowHorizonDeg = -30.0;
// W, Y, Z, X read as W, X, Y, Z puts a frontal source nearly overhead.
inline constexpr double kOverheadDeg = 60.0;

/// Warnings, in words for the user, when the direct sound arrives from behind
/// (|Az| > kBehindAzimuthDeg), from well below the horizon (El < kBelowHorizonDeg) or from
/// nearly overhead (El > kOverheadDeg).
std::vector<std::string> ConventionSlipWarnings(const DirectSoundEstimate& estimate);

}  // namespace halvane::convert
