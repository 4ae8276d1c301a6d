#pragma once

// Whether a response that the window and halvane-batch read as AmbiX with SN3D gains reads
// better under another common convention: the judgement halvane-convert makes (ConventionCheck,
// JudgeConvention with order and gains to be found) over the frames the window's reader sees.
// A traditional W, X, Y, Z recording read as AmbiX shows its frontal direct sound from the
// side with its azimuth as the elevation; the notice says so before anyone trusts the map.

#include <optional>
#include <span>
#include <string>

#include "files/InputSource.h"
#include "values/Cancellation.h"

namespace halvane {

// One sentence for the user, without the file's name, when the likeliest common convention
// is not AmbiX/SN3D: what the direct sound reads as under it and under AmbiX/SN3D, and the
// halvane-convert command (bformat/ConverterAdvice.h) that writes the file in AmbiX/SN3D.
// For example: "its direct sound reads as a plane wave (energy ratio 1.02) from the front
// (Az 14, El 3) in FuMa, but as no plane wave (energy ratio 2.04) from the side (Az 90, El 14)
// in AmbiX/SN3D as read here: halvane-convert "room.wav" "room-ambix.wav" converts it".
// std::nullopt when AmbiX/SN3D is the likeliest, for silence, for a file the reader refuses
// (its refusal says why elsewhere) and when stopped. Reads the frames once, in blocks, giving
// the input's pages back behind it and polling cancellation between blocks.
std::optional<std::string> ConventionNotice(const InputImage& input, const std::string& inputPath,
                                            const Cancellation& cancellation = Cancellation::Never());

}  // namespace halvane
