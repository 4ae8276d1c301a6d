#pragma once

// Recorded B-format impulse responses (the real files beside the checkout)
// read with libsndfile, as halvane-convert reads them, into AmbiX/SN3D
// signals: each sample times its convention's gain in double precision,
// rounded once to float.

#include <filesystem>

#include "bformat/AmbisonicConvention.h"
#include "bformat/BFormatSignal.h"
#include "values/Result.h"

namespace halvane::test {

// Every frame of a four-channel file in the given convention. Fails with the
// reader's words for a file that is missing, not audio or not four channels.
Result<BFormatSignal> ReadRecordedResponse(const std::filesystem::path& path, AmbisonicConvention convention);

}  // namespace halvane::test
