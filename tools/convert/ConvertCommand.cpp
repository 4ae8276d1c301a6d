#include "convert/ConvertCommand.h"

#include "analysis/convention/ConventionCheck.h"
#include "bformat/WavWriter.h"
#include "convert/ConventionReport.h"
#include "convert/SoundFileReader.h"
#include "files/FileIdentity.h"
#include "files/ReplacingFile.h"

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

}  // namespace

int Convert(const ConvertOptions& options, std::ostream& out, std::ostream& err)
{
    Messages messages(err);
    const std::string inName = options.input.string();
    const std::string outName = options.output.string();

    SoundFileReader reader;
    if (const auto opened = reader.Open(options.input); !opened) return messages.Fail(inName + " " + opened.Message());
    const SoundFileInfo& info = reader.Info();
    if (info.channelCount != static_cast<int>(kBFormatChannels))
        return messages.Fail(inName + " has " + std::to_string(info.channelCount) +
                             " channels; a first-order B-format file has 4");
    if (info.frameCount <= 0) return messages.Fail(inName + " holds no sample frames");
    if (info.sampleRateHz == 0) return messages.Fail(inName + " has no valid sample rate");
    // Headers and metadata take kilobytes; far more left over is sample data
    // that the header's size does not count, and that would be lost unsaid.
    constexpr std::int64_t kMetadataBytes = 1 << 20;
    if (info.unexplainedBytes > kMetadataBytes) {
        messages.Warn(inName + " holds " + std::to_string(info.unexplainedBytes) + " bytes more than its header's " +
                      std::to_string(info.frameCount) +
                      " frames take; only those frames are converted (is the data size in its header short?)");
    }
    if (const WavWriteResult fits =
            CheckFloatWav(info.sampleRateHz, kBFormatChannels, static_cast<std::uint64_t>(info.frameCount));
        !fits.Ok())
        return messages.Fail(inName + ": " + fits.Message() + " (" + std::to_string(info.frameCount) + " frames)");
    if (IdentityOfName(options.output.string()) == reader.Identity())
        return messages.Fail(outName + " is the input file; choose another output name");

    auto output = ReplacingFile::Create(options.output.string());
    if (!output) return messages.Fail(outName + " cannot be created: " + output.Message());

    // First pass: the direct sound under every convention.
    std::vector<double> frames(kFramesPerBlock * kBFormatChannels);
    ConventionCheck check(info.sampleRateHz);
    std::uint64_t framesRead = 0;
    while (const std::size_t got = reader.ReadFrames(frames)) {
        check.AddFrames(std::span<const double>(frames).first(got * kBFormatChannels));
        framesRead += got;
    }
    if (!reader.Error().empty()) return messages.Fail(inName + " cannot be read: " + reader.Error());
    if (framesRead == 0) return messages.Fail(inName + " holds no sample frames");
    check.Finish();

    const auto verdict = JudgeConvention(check, options.order, options.norm);
    const AmbisonicConvention used = verdict ? verdict->Used().convention
                                             : AmbisonicConvention{options.order.value_or(ChannelOrder::Ambix),
                                                                   options.norm.value_or(Normalisation::Sn3d)};

    // Second pass: convert and write.
    if (const auto rewound = reader.Rewind(); !rewound) return messages.Fail(inName + " " + rewound.Message());
    FloatWavWriter writer(**output, info.sampleRateHz, kBFormatChannels);
    WavWriteResult written = writer.Begin();
    std::vector<float> converted(kFramesPerBlock * kBFormatChannels);
    while (written.Ok()) {
        const std::size_t got = reader.ReadFrames(frames);
        if (got == 0) break;
        ToAmbixSn3d(std::span<const double>(frames).first(got * kBFormatChannels), used, converted);
        written = writer.Write(std::span<const float>(converted).first(got * kBFormatChannels));
    }
    if (!reader.Error().empty()) return messages.Fail(inName + " cannot be read: " + reader.Error());
    if (written.Ok()) written = writer.Finish();
    if (!written.Ok()) return messages.Fail(outName + " " + written.Message());
    if (writer.FramesWritten() != framesRead)
        return messages.Fail(inName + " changed while it was read (" + std::to_string(framesRead) + " frames, then " +
                             std::to_string(writer.FramesWritten()) + ")");
    if (const auto committed = (*output)->Commit(); !committed)
        return messages.Fail(outName + " cannot be written: " + committed.Message());

    out << inName << ": " << info.formatName << ", " << info.sampleRateHz << " Hz, " << framesRead
        << " frames, read as " << Name(used.order) << " with " << Name(used.norm) << " gains\n";
    if (verdict) {
        out << ChoiceLine(*verdict, options.order.has_value(), options.norm.has_value()) << "\n";
    } else {
        out << "convention: " << ShortName(used) << ", as given or by default: the response is silent\n";
    }
    out << outName << ": AmbiX (W, Y, Z, X), SN3D, 32-bit float\n";
    if (verdict) {
        out << DirectSoundLine(verdict->Used()) << "\n";
        for (const std::string& warning : ConventionWarnings(*verdict, info.markedAsBFormat))
            messages.Warn(inName + ": " + warning);
    } else {
        messages.Warn(inName + " is silent; no direction to check");
    }
    return kExitOk;
}

}  // namespace halvane::convert
