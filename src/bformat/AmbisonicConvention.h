#pragma once

// First-order Ambisonic channel orders and normalisations, and the conversion of frames in any
// of them to AmbiX: W, Y, Z, X with SN3D gains, the form the window reads.
//
// At first order the normalisations differ only in the gain of W against X, Y, Z:
// - SN3D: a plane wave gives X^2 + Y^2 + Z^2 = W^2.
// - N3D: X, Y and Z are sqrt(3) times their SN3D values, so they are divided by sqrt(3).
// - FuMa (traditional B-format): W is recorded 3 dB down, so it is multiplied by sqrt(2);
//   X, Y, Z are the same as SN3D.

#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace halvane {

inline constexpr std::size_t kBFormatChannels = 4;

// The highest Ambisonic order recognised from a channel count (64 channels).
inline constexpr int kHighestAmbisonicOrder = 7;

// The order of a full higher-order Ambisonic set of channelCount channels, (order + 1)^2 of
// them, for orders 2 to kHighestAmbisonicOrder: 9 -> 2, 16 -> 3, 25 -> 4, ... 64 -> 7. Its
// first four channels are the first-order part (W, Y, Z, X in ACN order, W, X, Y, Z in FuMa
// order). std::nullopt for any other count, 4 included (first order is no higher order).
std::optional<int> HigherAmbisonicOrder(int channelCount);

enum class ChannelOrder {
    Ambix,  // W, Y, Z, X (ACN)
    Fuma,   // W, X, Y, Z (traditional B-format)
};

enum class Normalisation { Sn3d, N3d, Fuma };

struct AmbisonicConvention {
    ChannelOrder order = ChannelOrder::Ambix;
    Normalisation norm = Normalisation::Sn3d;

    friend bool operator==(const AmbisonicConvention&, const AmbisonicConvention&) = default;
};

inline constexpr AmbisonicConvention kAmbixSn3d{ChannelOrder::Ambix, Normalisation::Sn3d};
inline constexpr AmbisonicConvention kAmbixN3d{ChannelOrder::Ambix, Normalisation::N3d};
inline constexpr AmbisonicConvention kFuma{ChannelOrder::Fuma, Normalisation::Fuma};

// The conventions first-order responses are found in: AmbiX with SN3D or N3D gains, and the
// traditional W, X, Y, Z order with W at -3 dB. (The other combinations are possible but rare.)
inline constexpr std::array<AmbisonicConvention, 3> kCommonConventions{kAmbixSn3d, kAmbixN3d, kFuma};

// The command-line words: "ambix" or "fuma"; "sn3d", "n3d" or "fuma" (exactly these, lower
// case). std::nullopt for any other word.
std::optional<ChannelOrder> ParseChannelOrder(std::string_view word);
std::optional<Normalisation> ParseNormalisation(std::string_view word);
// The command-line word of each value, as the Parse functions read it.
std::string_view Keyword(ChannelOrder order);
std::string_view Keyword(Normalisation norm);

// Names for messages: "AmbiX (W, Y, Z, X)", "FuMa (W, X, Y, Z)"; "SN3D", "N3D", "FuMa".
std::string_view Name(ChannelOrder order);
std::string_view Name(Normalisation norm);
// A short name: "AmbiX/SN3D", "AmbiX/N3D", "FuMa" (order and gains both traditional),
// otherwise the two parts joined, e.g. "FuMa order/SN3D".
std::string ShortName(AmbisonicConvention convention);

// Where W, Y, Z, X (in this order) sit in a frame of the given order.
std::array<std::size_t, kBFormatChannels> AmbixSourceChannels(ChannelOrder order);
// The gains that bring W, Y, Z, X (in this order) from the given normalisation to SN3D.
std::array<double, kBFormatChannels> GainsToSn3d(Normalisation norm);

// Converts whole four-channel frames, interleaved in the given convention, to AmbiX/SN3D,
// interleaved W, Y, Z, X as 32-bit floats: each output sample is its source sample times its
// gain in double precision, rounded once to float. Converts
// min(frames.size(), wyzx.size()) / 4 frames and returns that count; a trailing partial frame
// is left alone. Non-finite samples stay non-finite.
std::size_t ToAmbixSn3d(std::span<const double> frames, AmbisonicConvention convention, std::span<float> wyzx);

}  // namespace halvane
