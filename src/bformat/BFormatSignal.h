#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "files/InputSource.h"
#include "values/Cancellation.h"
#include "values/Result.h"

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
    // Samples of the file that were not finite (NaN or infinite) and are held
    // as 0, so that one damaged sample cannot take a whole analysis with it.
    std::int64_t NonFiniteSamples = 0;

    std::size_t Frames() const { return W.size(); }
};

// The signal of a four-channel 16 or 32-bit file image as the window's reader
// sees it (bformat/WavHeader.h): every whole frame of the data chunk from
// its first byte on, as far as both the header's DataSize and the file go.
// Fails, with the window's own message, for a file the window refuses. A
// sample that is not finite is held as 0 and counted in NonFiniteSamples.
Result<BFormatSignal> ReadBFormatSignal(std::span<const std::byte> image);

// Which channels a reading keeps: all four, or W and Y alone (all the room
// parameters use), X and Z then left empty, which halves the memory.
enum class SignalChannels { All, OmniAndLateral };

// The same read from input, keeping the given channels, giving the input's
// pages back behind it and polling cancellation between blocks of frames
// (stopped, it fails with kCancelledMessage). Non-finite samples are counted
// in all four channels.
Result<BFormatSignal> ReadBFormatSignal(const InputImage& input, SignalChannels channels,
                                        const Cancellation& cancellation = Cancellation::Never());

}  // namespace halvane
