#pragma once

// Which first-order convention a B-format impulse response is in, judged from its direct
// sound.
//
// The same four channels read under different conventions differ in two ways only:
// - the gains: the direct sound's energy ratio (X^2 + Y^2 + Z^2) / W^2, after conversion to
//   SN3D, is 1 for a plane wave. Read under the wrong gains it moves by a factor 2 (FuMa's W
//   at -3 dB) or 3 (N3D), and a factor 2/3 or 3/2 between those two;
// - the order: W, X, Y, Z read as W, Y, Z, X turns a frontal source into one from the left
//   side whose azimuth shows as its elevation, and the reverse puts it nearly overhead.
// A measurement normally places the source in front of the microphone or to its side, near
// its height, so the convention under which the direct sound reads as a plane wave from such
// a direction is the likely one.
//
// Ratios: an encoded or simulated response gives exactly 1 under its own convention; a real
// microphone's direct sound gives 1.0 to about 1.8 (its X, Y, Z pick up more of the capsule
// mismatch and of the high frequencies than W). That overlaps the 2/3 step between FuMa and
// N3D, so in that range the direction decides: a FuMa recording read as N3D puts its frontal
// source at the side, which counts against it. Only an exact plane wave from the left side in
// N3D and a FuMa microphone response 1.5 times hot from the front give the same four
// channels; there the exact ratio wins.
//
// The analysis is one pass over the frames in blocks: it keeps the window sums of only those
// windows that can still be the direct sound (see DirectSound.h), so its memory does not grow
// with the length of the response (only a response that keeps getting louder makes many).
//
// Direction convention: azimuth positive to the left (towards +Y), elevation positive upwards,
// degrees; Az = atan2(Iy, Ix) in (-180, 180], El = asin(Iz / |I|) with Ix = sum X*W,
// Iy = sum Y*W, Iz = sum Z*W over a window.

#include "analysis/convention/DirectSound.h"
#include "bformat/AmbisonicConvention.h"

#include <array>
#include <cstddef>
#include <map>
#include <optional>
#include <span>
#include <vector>

namespace halvane {

// The analysis window, and how far after the direct sound's first window its loudest window
// is looked for (the direct pulse can straddle a window boundary).
inline constexpr double kConventionWindowMs = 5.0;
inline constexpr double kDirectSoundSearchMs = 10.0;

// The energy ratios that read as a plane wave: an exact one gives 1, real microphones up to
// about 1.8, while a FuMa file read with SN3D gains gives 2 or more.
inline constexpr double kPlaneWaveRatioLow = 0.8;
inline constexpr double kPlaneWaveRatioHigh = 1.9;

// Directions: in front up to kFrontAzimuthDeg either side, to the side up to
// kBehindAzimuthDeg, behind beyond. A source a little below the microphone is ordinary
// (outdoors, a raised microphone), so only a direct sound well below the horizon is
// suspect; above it a wrong order puts a frontal source nearly overhead.
inline constexpr double kFrontAzimuthDeg = 45.0;
inline constexpr double kBehindAzimuthDeg = 135.0;
inline constexpr double kBelowHorizonDeg = -30.0;
inline constexpr double kOverheadDeg = 60.0;

enum class Placement {
    Front,     // |Az| <= kFrontAzimuthDeg
    Side,      // kFrontAzimuthDeg < |Az| <= kBehindAzimuthDeg
    Behind,    // |Az| > kBehindAzimuthDeg
    Below,     // El < kBelowHorizonDeg (whatever the azimuth)
    Overhead,  // El > kOverheadDeg (whatever the azimuth)
    Nowhere,   // no direction: no intensity, or sums that are not finite
};

// Where a direction lies; elevation is judged first.
Placement PlaceDirection(double azDeg, double elDeg);
// Front and Side are where a measured source stands; the others point at a wrong convention.
bool IsPlausible(Placement placement);

// The direct sound as it reads under one convention.
struct DirectSoundReading {
    AmbisonicConvention convention;
    std::size_t window = 0;  // index of kConventionWindowMs windows from the file's start
    double startMs = 0;      // the window's start
    double energyRatio = 0;  // (X^2 + Y^2 + Z^2) / W^2 in SN3D; +infinity when W is 0
    bool planeWave = false;  // energyRatio within [kPlaneWaveRatioLow, kPlaneWaveRatioHigh]
    double azDeg = 0;        // (-180, 180], 0 without a direction
    double elDeg = 0;        // [-90, 90], 0 without a direction
    Placement placement = Placement::Nowhere;
    double cost = 0;  // how unlikely this reading is; 0 for an exact plane wave in front
};

// The cost of a reading, lower for a likelier convention:
// - ratio within the plane-wave band: min(|ln ratio| / 0.05, 1) (0 for an exact plane wave,
//   1 for anything a microphone gives); outside it: 10 plus |ln| of its distance to the band;
// - direction in front: 0; to the side: up to 0.5, growing from |Az| 45 to 90 degrees; also
//   up to 0.5 growing with the elevation from 30 to 60 degrees; behind, well below, overhead or
//   without a direction: 10.
// So a plane wave beats anything outside the band, a plausible direction beats an implausible
// one, and in front beats the side unless the side reading is an exact plane wave.
double ReadingCost(double energyRatio, Placement placement, double azDeg, double elDeg);

// Collects the window sums of a four-channel response, frame blocks in file order, and reads
// its direct sound under any convention.
class ConventionCheck {
public:
    // sampleRateHz must be above 0 and finite. A window holds nearbyint(sampleRateHz x 5 ms)
    // frames, at least one.
    explicit ConventionCheck(double sampleRateHz);

    // The next frames of the file, interleaved, four channels in the file's own order (not yet
    // converted). A trailing partial frame is ignored. Not after Finish.
    void AddFrames(std::span<const double> interleaved);
    // The same for single-precision samples (each taken exactly as a double).
    void AddFrames(std::span<const float> interleaved);
    // Ends the frames; a last, shorter window counts as a window.
    void Finish();

    // The direct sound read under convention: the first window within 20 dB of the loudest
    // (energies W^2 + X^2 + Y^2 + Z^2 in that convention's gains), or the loudest of it and the
    // windows of the following 10 ms. std::nullopt for silence (no window with energy), or
    // before Finish.
    std::optional<DirectSoundReading> Read(AmbisonicConvention convention) const;

    std::size_t FramesPerWindow() const { return m_framesPerWindow; }
    std::size_t WindowCount() const { return m_finders[0].WindowCount(); }

    // Sums of the products of the file's channels over one window: products[i][j] for i <= j.
    using ChannelProducts = std::array<std::array<double, kBFormatChannels>, kBFormatChannels>;

private:
    template <typename Sample> void Add(std::span<const Sample> interleaved);
    // Frames that all belong to the current window.
    template <typename Sample> void AddToWindow(std::span<const Sample> interleaved);
    void CloseWindow();
    bool Needed(std::size_t window) const;

    double m_sampleRateHz;
    std::size_t m_framesPerWindow;
    std::size_t m_searchWindows;
    std::array<DirectSoundFinder, 3> m_finders;     // by normalisation: SN3D, N3D, FuMa
    std::map<std::size_t, ChannelProducts> m_kept;  // the candidates' windows
    ChannelProducts m_current{};
    std::size_t m_framesInCurrent = 0;
    bool m_finished = false;
};

// The readings of each candidate convention and the likeliest of them.
struct ConventionChoice {
    std::vector<DirectSoundReading> readings;  // in the order of the candidates given
    std::size_t best = 0;                      // index of the lowest cost (the first on a tie)

    const DirectSoundReading& Best() const { return readings[best]; }
};

// Reads the direct sound under every candidate (none: no choice) and picks the likeliest.
// std::nullopt for silence or no candidates.
std::optional<ConventionChoice> ChooseConvention(const ConventionCheck& check,
                                                 std::span<const AmbisonicConvention> candidates);

// The conventions to choose among when the order, the gains, both or neither are given
// (std::nullopt: to be found): both given: that one; one given: it with each value of the
// other; neither: kCommonConventions.
std::vector<AmbisonicConvention> CandidateConventions(std::optional<ChannelOrder> order,
                                                      std::optional<Normalisation> norm);

// The convention to use, and whether the data favour another.
struct ConventionVerdict {
    ConventionChoice found;   // among the candidates the given parts leave; found.Best() is used
    ConventionChoice common;  // among kCommonConventions

    const DirectSoundReading& Used() const { return found.Best(); }
    // The common convention whose reading is likelier than the one used, if there is one.
    std::optional<DirectSoundReading> Suggested() const;
};

// Chooses among CandidateConventions(order, norm) and among the common conventions.
// std::nullopt for silence.
std::optional<ConventionVerdict> JudgeConvention(const ConventionCheck& check, std::optional<ChannelOrder> order,
                                                 std::optional<Normalisation> norm);

}  // namespace halvane
