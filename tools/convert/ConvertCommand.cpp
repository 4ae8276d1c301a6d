#include "convert/ConvertCommand.h"

#include "analysis/convention/ConventionCheck.h"
#include "analysis/convention/ConventionReport.h"
#include "bformat/WavWriter.h"
#include "convert/SoundFileReader.h"
#include "files/FileIdentity.h"
#include "files/ReplacingFile.h"

#include <cmath>
#include <iomanip>
#include <sstream>
#include <string>
#include <vector>

namespace halvane::convert {
namespace {

constexpr std::size_t kFramesPerBlock = 4096;

class Messages {
public:
    explicit Messages(std::ostream& err) : m_err(err) { }
    int Fail(const std::string& text)
    {
        m_err << "halvane-convert: " << text << "\n";
        return kExitFailed;
    }
    void Warn(const std::string& text) { m_err << "halvane-convert: warning: " << text << "\n"; }

private:
    std::ostream& m_err;
};

// The first-order part of each frame: the first four of channelCount channels, moved to the
// front of the block in place (a first-order file's frames stay as they are).
std::span<const double> FirstOrderPart(std::span<double> frames, std::size_t frameCount, std::size_t channelCount)
{
    for (std::size_t f = 1; channelCount > kBFormatChannels && f < frameCount; ++f)
        for (std::size_t c = 0; c < kBFormatChannels; ++c)
            frames[f * kBFormatChannels + c] = frames[f * channelCount + c];
    return std::span<const double>(frames).first(frameCount * kBFormatChannels);
}

std::string RateWords(double rateHz)
{
    if (!std::isfinite(rateHz)) return "an infinite or undefined sample rate";
    std::ostringstream words;
    words << "a sample rate of " << std::setprecision(12) << rateHz << " Hz";
    return words.str();
}

// Why the input cannot be converted, from what its header says; empty when it can.
std::string Refusal(const std::string& inName, const SoundFileInfo& info)
{
    const int channels = info.channelCount;
    if (channels != static_cast<int>(kBFormatChannels) && !HigherAmbisonicOrder(channels))
        return inName + " has " + std::to_string(channels) +
               " channels; a first-order B-format file has 4 (a higher-order Ambisonic one 9, 16, 25, ... "
               "of which the first four are converted)";
    if (info.frameCount == 0) return inName + " holds no sample frames";
    if (!(info.headerRateHz >= kLowestRateHz && info.headerRateHz <= kHighestRateHz))
        return inName + " has " + RateWords(info.headerRateHz) + "; halvane-convert reads " +
               std::to_string(static_cast<int>(kLowestRateHz)) + " to " +
               std::to_string(static_cast<int>(kHighestRateHz)) + " Hz";
    if (info.frameCount > 0) {
        if (const WavWriteResult fits =
                CheckFloatWav(info.sampleRateHz, kBFormatChannels, static_cast<std::uint64_t>(info.frameCount));
            !fits.Ok())
            return inName + ": " + fits.Message() + " (" + std::to_string(info.frameCount) + " frames)";
    }
    return {};
}

// A warning about what the header says before anything is read.
void WarnAboutTheHeader(const std::string& inName, const SoundFileInfo& info, Messages& messages)
{
    // Headers and metadata take kilobytes; far more left over is sample data
    // that the header's size does not count, and that would be lost unsaid.
    constexpr std::int64_t kMetadataBytes = 1 << 20;
    if (info.unexplainedBytes > kMetadataBytes) {
        messages.Warn(inName + " holds " + std::to_string(info.unexplainedBytes) + " bytes more than its header's " +
                      std::to_string(info.frameCount) +
                      " frames take; only those frames are converted (is the data size in its header short?)");
    }
}

// A file that ends before the frames its header declares converts to what is there, said.
void WarnAboutAShortfall(const std::string& inName, const SoundFileInfo& info, std::uint64_t framesRead,
                         Messages& messages)
{
    if (info.declaredFrameCount < 0 || static_cast<std::uint64_t>(info.declaredFrameCount) <= framesRead) return;
    const std::uint64_t missing = static_cast<std::uint64_t>(info.declaredFrameCount) - framesRead;
    std::ostringstream text;
    text << inName << " ends before its data do: its header declares " << info.declaredFrameCount
         << " frames, the file holds " << framesRead << " (" << missing << " frames, " << std::fixed
         << std::setprecision(1) << 1000.0 * static_cast<double>(missing) / info.sampleRateHz
         << " ms, missing); the frames present are converted (was the file cut short while being copied?)";
    messages.Warn(text.str());
}

// First pass: the direct sound under every convention; the frames counted.
std::uint64_t FindConvention(SoundFileReader& reader, ConventionCheck& check)
{
    const auto channels = static_cast<std::size_t>(reader.Info().channelCount);
    std::vector<double> frames(kFramesPerBlock * channels);
    std::uint64_t framesRead = 0;
    while (const std::size_t got = reader.ReadFrames(frames)) {
        check.AddFrames(FirstOrderPart(frames, got, channels));
        framesRead += got;
    }
    check.Finish();
    return framesRead;
}

// Second pass: converts and writes the first-order part in AmbiX/SN3D.
WavWriteResult WriteAmbix(SoundFileReader& reader, AmbisonicConvention used, FloatWavWriter& writer)
{
    const auto channels = static_cast<std::size_t>(reader.Info().channelCount);
    std::vector<double> frames(kFramesPerBlock * channels);
    std::vector<float> converted(kFramesPerBlock * kBFormatChannels);
    WavWriteResult written = writer.Begin();
    while (written.Ok()) {
        const std::size_t got = reader.ReadFrames(frames);
        if (got == 0) break;
        ToAmbixSn3d(FirstOrderPart(frames, got, channels), used, converted);
        written = writer.Write(std::span<const float>(converted).first(got * kBFormatChannels));
    }
    if (written.Ok()) written = writer.Finish();
    return written;
}

void Report(const ConvertOptions& options, const SoundFileInfo& info, std::uint64_t framesRead,
            const std::optional<ConventionVerdict>& verdict, AmbisonicConvention used, std::ostream& out,
            Messages& messages)
{
    const std::string inName = options.input.string();
    out << inName << ": " << info.formatName << ", " << info.sampleRateHz << " Hz, " << framesRead << " frames, ";
    if (const auto order = HigherAmbisonicOrder(info.channelCount))
        out << info.channelCount << " channels of an order " << *order
            << " Ambisonic response, its first-order part (channels 1 to 4) ";
    out << "read as " << Name(used.order) << " with " << Name(used.norm) << " gains\n";
    if (verdict) {
        out << ChoiceLine(*verdict, options.order.has_value(), options.norm.has_value()) << "\n";
    } else {
        out << "convention: " << ShortName(used) << ", as given or by default: the response is silent\n";
    }
    out << options.output.string() << ": AmbiX (W, Y, Z, X), SN3D, 32-bit float\n";
    if (verdict) {
        out << DirectSoundLine(verdict->Used()) << "\n";
        for (const std::string& warning : ConventionWarnings(*verdict, info.markedAsBFormat))
            messages.Warn(inName + ": " + warning);
    } else {
        messages.Warn(inName + " is silent; no direction to check");
    }
}

}  // namespace

int Convert(const ConvertOptions& options, std::ostream& out, std::ostream& err)
{
    Messages messages(err);
    const std::string inName = options.input.string();
    const std::string outName = options.output.string();

    SoundFileReader reader;
    if (const auto opened = reader.Open(options.input); !opened) return messages.Fail(inName + " " + opened.Message());
    const SoundFileInfo& info = reader.Info();
    if (const std::string refusal = Refusal(inName, info); !refusal.empty()) return messages.Fail(refusal);
    if (IdentityOfName(options.output.string()) == reader.Identity())
        return messages.Fail(outName + " is the input file; choose another output name");
    WarnAboutTheHeader(inName, info, messages);

    auto output = ReplacingFile::Create(options.output.string());
    if (!output) return messages.Fail(outName + " cannot be created: " + output.Message());

    ConventionCheck check(info.sampleRateHz);
    const std::uint64_t framesRead = FindConvention(reader, check);
    if (!reader.Error().empty()) return messages.Fail(inName + " cannot be read: " + reader.Error());
    if (framesRead == 0) return messages.Fail(inName + " holds no sample frames");
    if (const WavWriteResult fits = CheckFloatWav(info.sampleRateHz, kBFormatChannels, framesRead); !fits.Ok())
        return messages.Fail(inName + ": " + fits.Message() + " (" + std::to_string(framesRead) + " frames)");
    WarnAboutAShortfall(inName, info, framesRead, messages);

    const auto verdict = JudgeConvention(check, options.order, options.norm);
    const AmbisonicConvention used = verdict ? verdict->Used().convention
                                             : AmbisonicConvention{options.order.value_or(ChannelOrder::Ambix),
                                                                   options.norm.value_or(Normalisation::Sn3d)};

    if (const auto rewound = reader.Rewind(); !rewound) return messages.Fail(inName + " " + rewound.Message());
    FloatWavWriter writer(**output, info.sampleRateHz, kBFormatChannels);
    const WavWriteResult written = WriteAmbix(reader, used, writer);
    if (!reader.Error().empty()) return messages.Fail(inName + " cannot be read: " + reader.Error());
    if (!written.Ok()) return messages.Fail(outName + " " + written.Message());
    if (writer.FramesWritten() != framesRead)
        return messages.Fail(inName + " changed while it was read (" + std::to_string(framesRead) + " frames, then " +
                             std::to_string(writer.FramesWritten()) + ")");
    if (const auto committed = (*output)->Commit(); !committed)
        return messages.Fail(outName + " cannot be written: " + committed.Message());
    Report(options, info, framesRead, verdict, used, out, messages);
    return kExitOk;
}

}  // namespace halvane::convert
