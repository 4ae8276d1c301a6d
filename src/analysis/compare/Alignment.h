#pragma once

#include <cstddef>

#include "bformat/BFormatSignal.h"
#include "values/Result.h"
#include "values/SoundField.h"

namespace halvane {

// Bringing one B-format response onto another: in time on the direct sound,
// and in direction.

// How many frames later b's direct sound comes than a's, to a small fraction
// of a frame: the peak of the cross-correlation of the two W channels over
// the direct sound (a's W from 0.5 ms before its onset to 2 ms after, the
// onset as the room parameters place it, FindResponseStart), searched from
// the lag of the two onsets within 1 ms either way, placed between frames by
// the parabola through the peak and its two neighbours.
// Fails, saying why, when the rates differ or either has no onset.
Result<double> DirectSoundLagFrames(const BFormatSignal& a, const BFormatSignal& b);

// The signal lagFrames earlier: out[n] = signal(n + lagFrames), frames
// beyond it silent, as long as frames. A whole lag moves the samples as they
// are; a fractional one interpolates them with a Blackman-windowed sinc of 32
// frames either side (flat within 0.1 dB to 0.4 of the rate).
BFormatSignal ShiftedEarlier(const BFormatSignal& signal, double lagFrames, std::size_t frames);

// The signal turned so that a sound from `from` comes from `to`: X, Y, Z
// rotated by the smallest angle taking the one direction onto the other (a
// half turn about an axis square to both when they are opposite); W as it is.
BFormatSignal Turned(const BFormatSignal& signal, const Direction& from, const Direction& to);

// A direction turned the same way.
Direction TurnedDirection(const Direction& d, const Direction& from, const Direction& to);

}  // namespace halvane
