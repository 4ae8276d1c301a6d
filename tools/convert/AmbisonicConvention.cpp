#include "convert/AmbisonicConvention.h"

#include <array>
#include <cmath>

namespace halvane::convert {

std::optional<ChannelOrder> ParseChannelOrder(std::string_view text)
{
    if (text == "ambix") return ChannelOrder::Ambix;
    if (text == "fuma") return ChannelOrder::Fuma;
    return std::nullopt;
}

std::optional<Normalisation> ParseNormalisation(std::string_view text)
{
    if (text == "sn3d") return Normalisation::Sn3d;
    if (text == "n3d") return Normalisation::N3d;
    if (text == "fuma") return Normalisation::Fuma;
    return std::nullopt;
}

std::string_view Name(ChannelOrder order) { return order == ChannelOrder::Ambix ? "AmbiX (W, Y, Z, X)" : "FuMa (W, X, Y, Z)"; }

std::string_view Name(Normalisation norm)
{
    switch (norm) {
    case Normalisation::Sn3d: return "SN3D";
    case Normalisation::N3d: return "N3D";
    case Normalisation::Fuma: return "FuMa";
    }
    return "";
}

std::vector<float> ToAmbixSn3d(const wavio::WavAudio& audio, ChannelOrder order, Normalisation norm)
{
    constexpr std::size_t kChannels = 4;
    if (audio.format.channelCount != static_cast<int>(kChannels)) return {};

    // Where W, Y, Z, X sit in an input frame.
    const std::array<std::size_t, kChannels> source =
        order == ChannelOrder::Ambix ? std::array<std::size_t, kChannels>{0, 1, 2, 3}
                                     : std::array<std::size_t, kChannels>{0, 2, 3, 1};
    std::array<double, kChannels> gain{1.0, 1.0, 1.0, 1.0};
    if (norm == Normalisation::Fuma) gain[0] = std::sqrt(2.0);
    if (norm == Normalisation::N3d) gain[1] = gain[2] = gain[3] = 1.0 / std::sqrt(3.0);

    std::vector<float> out(audio.frameCount * kChannels);
    for (std::size_t frame = 0; frame < audio.frameCount; ++frame) {
        const double* in = &audio.samples[frame * kChannels];
        float* to = &out[frame * kChannels];
        for (std::size_t c = 0; c < kChannels; ++c) to[c] = static_cast<float>(in[source[c]] * gain[c]);
    }
    return out;
}

}  // namespace halvane::convert
