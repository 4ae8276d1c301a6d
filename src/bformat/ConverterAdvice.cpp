#include "bformat/ConverterAdvice.h"

#include "bformat/AmbisonicConvention.h"
#include "bformat/WavHeader.h"
#include "files/InputSource.h"

namespace halvane {
namespace {

bool EndsWithWavAnyCase(std::string_view name)
{
    constexpr std::string_view kEnding = ".wav";
    if (name.size() < kEnding.size()) return false;
    const std::string_view tail = name.substr(name.size() - kEnding.size());
    for (std::size_t i = 0; i < kEnding.size(); ++i) {
        const char c = tail[i] >= 'A' && tail[i] <= 'Z' ? static_cast<char>(tail[i] - 'A' + 'a') : tail[i];
        if (c != kEnding[i]) return false;
    }
    return true;
}

// The channel count the header of the file at path gives; 0 when it cannot be read.
int HeaderChannels(const std::string& path)
{
    DiskInput disk;
    const auto opened = disk.Open(path);
    if (!opened) return 0;
    return ReadWavHeader((*opened)->Bytes()).Channels;
}

}  // namespace

std::string ConvertedName(std::string_view inputPath)
{
    std::string_view base = inputPath;
    if (EndsWithWavAnyCase(base)) {
        // A bare ".wav" is a hidden file's whole name, not an ending.
        const std::string_view stem = base.substr(0, base.size() - 4);
        if (!stem.empty() && stem.back() != '/') base = stem;
    }
    return std::string(base) + "-ambix.wav";
}

std::string ShellWord(std::string_view word)
{
    std::string quoted;
    quoted.reserve(word.size() + 2);
    quoted += '"';
    for (const char c : word) {
        if (c == '\\' || c == '"' || c == '$' || c == '`') quoted += '\\';
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

std::string ConvertCommandLine(std::string_view inputPath)
{
    return "halvane-convert " + ShellWord(inputPath) + " " + ShellWord(ConvertedName(inputPath));
}

std::string ConverterAdvice(std::string_view refusal, const std::string& inputPath)
{
    // A 24-bit or 64-bit float file is B-format all the same: the converter
    // rewrites it as 32-bit floats. The channel count is refused also for
    // four-channel files whose header the window cannot walk (RF64, a
    // truncated header), which the converter reads; a genuine stereo file it
    // refuses in turn, so that line says which files it helps.
    if (refusal == kNotSixteenOrThirtyTwoBitsMessage)
        return "To convert it to 32-bit float: " + ConvertCommandLine(inputPath);
    if (refusal != kNotFourChannelsMessage) return {};
    const int channels = HeaderChannels(inputPath);
    if (const auto order = HigherAmbisonicOrder(channels)) {
        return "It looks like a higher-order Ambisonic file of order " + std::to_string(*order) + " (" +
               std::to_string(channels) +
               " channels); its first-order part converts with: " + ConvertCommandLine(inputPath);
    }
    return "A four-channel B-format file in another layout converts with: " + ConvertCommandLine(inputPath);
}

}  // namespace halvane
