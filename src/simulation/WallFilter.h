#pragma once

// The colour a reflection takes from the surfaces it meets (their absorption
// over frequency, the loudspeaker seen off its axis): a low shelf, a high
// shelf and a broad dip, each a second-order section, minimum phase so that a
// reflection stays a pulse with its energy at its front. The broadband part of
// the absorption is the room's reflection factors.

#include <cstddef>
#include <vector>

#include "simulation/SplitMix64.h"

namespace halvane::simulation {

// One second-order section, normalised so that a0 = 1.
struct Biquad {
    double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
};

// The ranges a reflection's colour is drawn from: corner frequencies uniform
// on a logarithmic scale, cuts in dB uniform, the dip's Q uniform. With these
// a reflection loses from 0-3 dB in its least absorbed band to 3-12 dB in
// its most (19 dB at the very most, where the high shelf and the dip meet).
struct WallColour {
    double lowShelfMinHz = 150, lowShelfMaxHz = 800, lowShelfMaxCutDb = 6;
    double highShelfMinHz = 2000, highShelfMaxHz = 8000, highShelfMinCutDb = 2, highShelfMaxCutDb = 9;
    double dipMinHz = 500, dipMaxHz = 4000, dipMaxCutDb = 4, dipMinQ = 0.7, dipMaxQ = 2;
};

class WallFilter {
public:
    // No colour: every gain 1.
    WallFilter() = default;
    // A low shelf, a high shelf and a dip drawn from colour with random (7
    // values); corners above 0.4 of the rate are brought down to it. The
    // shelves' slope is 1 (the steepest with no overshoot).
    static WallFilter Drawn(double rateHz, SplitMix64& random, const WallColour& colour = {});

    bool Flat() const { return m_sections.empty(); }
    // values through every section in turn, extended by tailSamples so the
    // sections' ringing is kept (the last quarter of it faded out by half a
    // Hann window); unchanged when Flat().
    std::vector<double> Apply(const std::vector<double>& values, std::size_t tailSamples) const;
    // The gain at frequencyHz in dB (negative: absorbed).
    double GainDb(double frequencyHz) const;

private:
    std::vector<Biquad> m_sections;
    double m_rateHz = 0;
};

}  // namespace halvane::simulation
