#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "bformat/Result.h"

namespace halvane {

// The directions of one octave band: the response filtered to the band
// (zero phase, so that arrival times do not move) and written as the 32-bit
// float AmbiX file the window's reader reads, for a run of its own. Fails
// with the window's message for a file the window refuses, and for a band
// that is not one of kOctaveBandsHz or lies too high for the file's rate.
Result<std::vector<std::byte>> BandFilteredImage(std::span<const std::byte> image, int nominalHz);

// The name a band's run goes by, beside the input, so that its tables carry
// the band: hall.wav -> hall_500Hz.wav, whose tables are hall_500Hz.csv and
// hall_500Hz_ref.csv. The broadband tables keep their names.
std::string BandFileName(const std::string& irFileName, int nominalHz);

}  // namespace halvane
