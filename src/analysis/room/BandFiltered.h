#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "values/Result.h"

namespace halvane {

// The directions of one octave band: the response filtered to the band
// (zero phase, so that arrival times do not move) and written as the 32-bit
// float AmbiX file the window's reader reads, for a run of its own. Fails
// with the window's message for a file the window refuses, and for a band
// that is not one of kOctaveBandsHz or lies too high for the file's rate.
Result<std::vector<std::byte>> BandFilteredImage(std::span<const std::byte> image, int nominalHz);

}  // namespace halvane
