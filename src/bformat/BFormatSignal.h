#pragma once

#include <cstddef>
#include <vector>

namespace halvane {

// A first-order Ambisonic impulse response at full sample resolution, one
// value per frame and channel, in the AmbiX order and SN3D gains: W the
// omnidirectional channel, Y towards the left (+Y), Z upwards, X to the
// front, each figure-of-eight with W's on-axis sensitivity. Values are full
// scale +-1: 16-bit samples divided by 32768, float samples as stored.
// Every channel holds the same number of values.
struct BFormatSignal {
    double SampleRateHz = 0;
    std::vector<float> W, Y, Z, X;

    std::size_t Frames() const { return W.size(); }
};

}  // namespace halvane
