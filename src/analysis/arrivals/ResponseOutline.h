#pragma once

#include <cstddef>

#include "bformat/BFormatSource.h"
#include "values/Cancellation.h"

namespace halvane {

// The outline of an impulse response in W, from one pass over it a block at
// a time (a long file is never held whole): where its direct sound lies,
// where an arrival search may stop, and whether it is an impulse response
// at all. W is high-passed at lowCutHz as the arrival analysis takes it; its
// energy is summed over the 0.5 ms around each sample.
struct ResponseOutline {
    // Samples of any channel that are not finite numbers (counted as zero).
    std::size_t nonFiniteSamples = 0;
    // False for silence (no energy above 0): nothing below is set.
    bool found = false;
    // The first sample whose 0.5 ms energy comes within 20 dB of the
    // strongest (analysis/convention/DirectSound.h), and the largest 0.5 ms
    // energy within about one such window after it (to the millisecond).
    std::size_t directFrame = 0;
    double directEnergy = 0;
    // Where a search for arrivals down to floorDb below the direct sound can
    // end: past the last sample whose 0.5 ms energy reaches that low, and
    // never further than kLongestSearchS after the direct sound.
    std::size_t searchEndFrame = 0;
    // The checks of an impulse response: before the direct sound (when there
    // is 2 ms or more of it) W is at least 20 dB below it; over the 20 ms
    // after it W is on average at least 6 dB below the loudest 0.5 ms there
    // (the direct sound, or a stronger arrival where the direct path is
    // blocked); and somewhere after
    // it W stays 20 dB below it for 10 ms. Noise, tones and music fail one.
    bool hasOnset = false;
    bool standsOut = false;
    bool decays = false;

    bool IsImpulseResponse() const { return hasOnset && standsOut && decays; }
};

// How far after the direct sound an arrival search goes at most: beyond it a
// response is reverberant tail in every room.
inline constexpr double kLongestSearchS = 3.0;

// The outline of source; lowCutHz as in ArrivalOptions (0 keeps everything),
// floorDb > 0. Polls stop between blocks of frames; a stopped pass finds
// nothing (found false).
ResponseOutline OutlineResponse(const BFormatSource& source, double lowCutHz, double floorDb,
                                const Cancellation& stop = Cancellation::Never());

}  // namespace halvane
