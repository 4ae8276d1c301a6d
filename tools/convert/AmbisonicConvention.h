#pragma once

// First-order Ambisonic channel orders and normalisations, and the conversion to AmbiX
// (W, Y, Z, X with SN3D gains), the form the window reads.
//
// From FuMa gains W is multiplied by sqrt(2) (FuMa records W 3 dB down); X, Y, Z are the same
// as SN3D at first order. From N3D gains X, Y and Z are divided by sqrt(3); W is the same.

#include "wavio/WavReader.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace halvane::convert {

enum class ChannelOrder {
    Ambix,  // W, Y, Z, X (ACN)
    Fuma,   // W, X, Y, Z (traditional B-format)
};

enum class Normalisation { Sn3d, N3d, Fuma };

/// "ambix" or "fuma" (exactly these, lower case); std::nullopt otherwise.
std::optional<ChannelOrder> ParseChannelOrder(std::string_view text);
/// "sn3d", "n3d" or "fuma"; std::nullopt otherwise.
std::optional<Normalisation> ParseNormalisation(std::string_view text);

std::string_view Name(ChannelOrder order);
std::string_view Name(Normalisation norm);

/// Converts four-channel audio to AmbiX/SN3D, interleaved W, Y, Z, X as 32-bit floats.
/// Each output sample is the input sample times its gain in double precision, rounded once.
/// Returns an empty vector when the audio does not have exactly four channels.
std::vector<float> ToAmbixSn3d(const wavio::WavAudio& audio, ChannelOrder order, Normalisation norm);

}  // namespace halvane::convert
