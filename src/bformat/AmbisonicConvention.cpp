#include "bformat/AmbisonicConvention.h"

#include <algorithm>
#include <cmath>

namespace halvane {

std::optional<ChannelOrder> ParseChannelOrder(std::string_view word)
{
    if (word == "ambix") return ChannelOrder::Ambix;
    if (word == "fuma") return ChannelOrder::Fuma;
    return std::nullopt;
}

std::optional<Normalisation> ParseNormalisation(std::string_view word)
{
    if (word == "sn3d") return Normalisation::Sn3d;
    if (word == "n3d") return Normalisation::N3d;
    if (word == "fuma") return Normalisation::Fuma;
    return std::nullopt;
}

std::string_view Keyword(ChannelOrder order) { return order == ChannelOrder::Ambix ? "ambix" : "fuma"; }

std::string_view Keyword(Normalisation norm)
{
    switch (norm) {
    case Normalisation::Sn3d:
        return "sn3d";
    case Normalisation::N3d:
        return "n3d";
    case Normalisation::Fuma:
        return "fuma";
    }
    return "";
}

std::optional<int> HigherAmbisonicOrder(int channelCount)
{
    for (int order = 2; order <= kHighestAmbisonicOrder; ++order)
        if ((order + 1) * (order + 1) == channelCount) return order;
    return std::nullopt;
}

std::string_view Name(ChannelOrder order)
{
    return order == ChannelOrder::Ambix ? "AmbiX (W, Y, Z, X)" : "FuMa (W, X, Y, Z)";
}

std::string_view Name(Normalisation norm)
{
    switch (norm) {
    case Normalisation::Sn3d:
        return "SN3D";
    case Normalisation::N3d:
        return "N3D";
    case Normalisation::Fuma:
        return "FuMa";
    }
    return "";
}

std::string ShortName(AmbisonicConvention convention)
{
    if (convention == kFuma) return "FuMa";
    const std::string order = convention.order == ChannelOrder::Ambix ? "AmbiX" : "FuMa order";
    return order + "/" + std::string(Name(convention.norm));
}

std::array<std::size_t, kBFormatChannels> AmbixSourceChannels(ChannelOrder order)
{
    if (order == ChannelOrder::Ambix) return {0, 1, 2, 3};
    return {0, 2, 3, 1};
}

std::array<double, kBFormatChannels> GainsToSn3d(Normalisation norm)
{
    switch (norm) {
    case Normalisation::Sn3d:
        break;
    case Normalisation::N3d: {
        const double gain = 1.0 / std::sqrt(3.0);
        return {1.0, gain, gain, gain};
    }
    case Normalisation::Fuma:
        return {std::sqrt(2.0), 1.0, 1.0, 1.0};
    }
    return {1.0, 1.0, 1.0, 1.0};
}

std::size_t ToAmbixSn3d(std::span<const double> frames, AmbisonicConvention convention, std::span<float> wyzx)
{
    const std::size_t frameCount = std::min(frames.size(), wyzx.size()) / kBFormatChannels;
    const auto source = AmbixSourceChannels(convention.order);
    const auto gain = GainsToSn3d(convention.norm);
    for (std::size_t frame = 0; frame < frameCount; ++frame) {
        const double* in = &frames[frame * kBFormatChannels];
        float* out = &wyzx[frame * kBFormatChannels];
        for (std::size_t c = 0; c < kBFormatChannels; ++c) out[c] = static_cast<float>(in[source[c]] * gain[c]);
    }
    return frameCount;
}

}  // namespace halvane
