#include "analysis/room/BandFiltered.h"

#include <algorithm>
#include <sstream>

#include "analysis/room/OctaveBands.h"
#include "bformat/BFormatSignal.h"
#include "bformat/WavWriter.h"

namespace halvane {

Result<std::vector<std::byte>> BandFilteredImage(std::span<const std::byte> image, int nominalHz)
{
    if (std::find(kOctaveBandsHz.begin(), kOctaveBandsHz.end(), nominalHz) == kOctaveBandsHz.end()) {
        return Failure{"Sorry, " + std::to_string(nominalHz) +
                       " Hz is no octave band here (125, 250, 500, 1000, 2000 or 4000)!"};
    }
    auto signal = ReadBFormatSignal(image);
    if (!signal) return Failure{signal.Message()};
    const BFormatSignal band = FilterToOctaveBand(*signal, nominalHz);
    if (band.Frames() == 0 && signal->Frames() > 0) {
        return Failure{"Sorry, the " + std::to_string(nominalHz) +
                       " Hz band lies too high for this file's sample rate!"};
    }
    std::vector<float> interleaved(4 * band.Frames());
    for (std::size_t i = 0; i < band.Frames(); ++i) {
        interleaved[4 * i] = band.W[i];
        interleaved[4 * i + 1] = band.Y[i];
        interleaved[4 * i + 2] = band.Z[i];
        interleaved[4 * i + 3] = band.X[i];
    }
    std::ostringstream file;
    const auto written =
        WriteFloatWav(file, static_cast<std::uint32_t>(signal->SampleRateHz), 4, std::span<const float>(interleaved));
    if (!written.Ok()) return Failure{"Sorry, the band-filtered response cannot be made: " + written.Message() + "!"};
    const std::string bytes = file.str();
    const auto* first = reinterpret_cast<const std::byte*>(bytes.data());
    return std::vector<std::byte>(first, first + bytes.size());
}

}  // namespace halvane
