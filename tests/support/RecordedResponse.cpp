#include "support/RecordedResponse.h"

#include <vector>

#include "convert/SoundFileReader.h"

namespace halvane::test {

Result<BFormatSignal> ReadRecordedResponse(const std::filesystem::path& path, AmbisonicConvention convention)
{
    convert::SoundFileReader reader;
    if (const auto opened = reader.Open(path); !opened) return Failure{path.string() + ": " + opened.Message()};
    if (reader.Info().channelCount != static_cast<int>(kBFormatChannels))
        return Failure{path.string() + ": not four channels"};
    BFormatSignal signal;
    signal.SampleRateHz = reader.Info().sampleRateHz;
    constexpr std::size_t kBlockFrames = 4096;
    std::vector<double> block(kBFormatChannels * kBlockFrames);
    std::vector<float> wyzx(block.size());
    while (const std::size_t frames = reader.ReadFrames(block)) {
        ToAmbixSn3d(std::span(block).first(kBFormatChannels * frames), convention, wyzx);
        for (std::size_t n = 0; n < frames; ++n) {
            signal.W.push_back(wyzx[4 * n]);
            signal.Y.push_back(wyzx[4 * n + 1]);
            signal.Z.push_back(wyzx[4 * n + 2]);
            signal.X.push_back(wyzx[4 * n + 3]);
        }
    }
    if (!reader.Error().empty()) return Failure{path.string() + ": " + reader.Error()};
    return signal;
}

}  // namespace halvane::test
