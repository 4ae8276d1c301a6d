#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "files/InputSource.h"
#include "values/Cancellation.h"
#include "values/Result.h"

namespace halvane {

// The directions of one octave band: the response filtered to the band
// (zero phase, so that arrival times do not move) and written as the 32-bit
// float AmbiX file the window's reader reads, for a run of its own. Fails
// with the window's message for a file the window refuses, and for a band
// that is not one of kOctaveBandsHz or lies too high for the file's rate.
//
// The filtering goes block by block (OctaveBandFilter::FilterZeroPhaseInBlocks)
// straight from the input's bytes into the new file's, and gives the input's
// pages back behind it: beside the new file it needs a few megabytes,
// whatever the response's length. A sample that is not finite is filtered as
// 0 and counted in *nonFiniteSamples when that is given. Polls cancellation
// between blocks: a stop fails with kCancelledMessage.
Result<std::vector<std::byte>> BandFilteredImage(const InputImage& input, int nominalHz,
                                                 const Cancellation& cancellation = Cancellation::Never(),
                                                 std::int64_t* nonFiniteSamples = nullptr);
// The same over bytes held elsewhere.
Result<std::vector<std::byte>> BandFilteredImage(std::span<const std::byte> image, int nominalHz);

}  // namespace halvane
