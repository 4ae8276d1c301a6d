#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <vector>

#include "values/RoomQuantities.h"

namespace halvane {

// The energy decay of a squared impulse response, from the start of the
// response on, with the background noise taken out by Lundeby's iterative
// method (Lundeby, Vigran, Bietz, Vorlaender, Acustica 81, 1995), one of the
// corrections ISO 3382-1 allows for the integration of a response that ends
// in noise:
//   1. the squared response is averaged over intervals of the given length
//      and the noise is taken as the mean of the last 10 %;
//   2. a line fitted to the interval levels from the peak down to 10 dB above
//      the noise meets the noise level at a first crossing point;
//   3. the intervals are shortened to 5 per 10 dB of that decay; the noise is
//      taken again from 5 dB of decay past the crossing point (from the last
//      10 % at the latest), the late decay fitted from 25 dB to 5 dB above it,
//      and the crossing point moved to where that line meets the noise; step 3
//      repeats until the crossing point moves by less than an interval (at
//      most 5 times).
// Backward (Schroeder) integration then runs from the crossing point, and the
// energy the noise hid after it is added back from the late-decay line, taken
// as an exponential decay to infinity. Where the noise was measured past the
// crossing point (the response reached its noise floor before its last 10 %),
// the noise's mean energy is also taken off every frame before the crossing
// point: truncation and compensation alone leave that noise in the integral,
// which lengthens T30 by a few tenths of a percent at 60 dB of decay range.
//
// Frames are counted from the first value given (the start of the response);
// energies are squared sample values. A response that is silent, too short
// for four intervals, or shows no decay above its noise finds no decay: then
// the noise is not removed, the integration runs over all the values given,
// and the decay range is 0 dB.
class EnergyDecay {
public:
    // energy: squared values from the start of the response, taken over (the
    // decay keeps its backward sums in the same storage); sampleRateHz finite
    // and positive; firstIntervalFrames the averaging interval of step 1
    // (at least 1).
    EnergyDecay(std::vector<double> energy, double sampleRateHz, std::size_t firstIntervalFrames);

    bool Found() const { return m_found; }
    // Where the late decay meets the noise, in frames from the start (the
    // number of frames given when no decay is found or the decay never reaches
    // the noise before the end).
    double CrossingFrame() const { return m_crossingFrame; }
    // The noise level: mean squared value of the frames judged to be noise
    // (0 when no decay is found).
    double NoiseEnergy() const { return m_noiseEnergy; }
    // Whether the noise was measured past the crossing point, and so taken
    // off the frames before it.
    bool NoiseFloorReached() const { return m_subtractedNoise > 0; }
    // The depth of the decay curve at the crossing point, in dB below its
    // start: how far the decay can be followed above the noise. 0 when no
    // decay is found.
    double DecayRangeDb() const { return m_decayRangeDb; }

    // The energy from frame on to infinity: the squared values (less the
    // noise energy when the floor was reached) up to the crossing point and
    // the late-decay line's tail after it (only the tail for a frame at or
    // past the crossing point). Never negative; where noise dominates, it can
    // rise by a frame's noise fluctuation from one frame to the next.
    double Remaining(std::size_t frame) const;
    // The sum of frame * energy over the same energy as Remaining(0), in
    // frames times energy.
    double FirstMoment() const { return m_firstMoment; }

    // A stretch of the decay curve, fromDb > toDb, both at most 0.
    struct FitRange {
        double fromDb = 0;
        double toDb = 0;
    };
    // For each range, the line fitted to the decay curve (10 log10 of
    // Remaining(t) / Remaining(0)) over its points from the first at or below
    // fromDb to the last at or above toDb: nothing when that holds fewer than
    // two points or Remaining(0) is 0. Each point's level is computed once
    // however many ranges hold it.
    std::vector<std::optional<DecayFit>> Fit(std::span<const FitRange> ranges) const;

    // The decay curve in dB re Remaining(0), every strideFrames frames from 0
    // up to the crossing point (past it the curve is the late-decay line's
    // alone) or, when no decay is found, the end of the values given; it stops
    // early where the energy left is 0.
    void Curve(std::size_t strideFrames, std::vector<double>& timeS, std::vector<double>& levelDb) const;

private:
    struct Line {
        double interceptDb = 0;  // at frame 0
        double slopeDbPerFrame = 0;
    };
    void Analyse(std::size_t firstIntervalFrames);
    double IntervalMean(std::size_t first, std::size_t end) const;
    std::vector<double> IntervalLevelsDb(std::size_t intervalFrames) const;
    std::optional<Line> FitIntervals(const std::vector<double>& levelsDb, std::size_t intervalFrames, double topDb,
                                     double bottomDb) const;
    // The first frame whose Remaining is at or below energy (m_frames if none).
    std::size_t FirstAtOrBelow(double energy) const;
    double Suffix(std::size_t frame) const;  // m_suffix[frame], 0 from m_frames on

    double m_sampleRateHz = 0;
    std::size_t m_frames = 0;
    // m_suffix[n]: the plain sum of the squared values from frame n to the end.
    std::vector<double> m_suffix;
    bool m_found = false;
    double m_crossingFrame = 0;
    std::size_t m_cutFrame = 0;  // the crossing point rounded to a frame
    double m_noiseEnergy = 0;
    double m_subtractedNoise = 0;  // m_noiseEnergy when the floor was reached, else 0
    double m_tailEnergy = 0;       // the late-decay line's energy from m_cutFrame on
    double m_tailRatio = 0;        // its decay factor per frame
    double m_decayRangeDb = 0;
    double m_firstMoment = 0;
};

}  // namespace halvane
