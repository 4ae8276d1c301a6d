// halvane-convert: turns a four-channel B-format WAV of any common layout into the AmbiX
// 32-bit float file the window reads.

#include "convert/AmbisonicConvention.h"
#include "convert/DirectSoundCheck.h"
#include "wavio/FileImage.h"
#include "wavio/WavReader.h"
#include "wavio/WavWriter.h"

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace halvane;

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

constexpr const char* kUsage =
    "usage: halvane-convert IN OUT [--order ambix|fuma] [--norm sn3d|n3d|fuma]\n"
    "\n"
    "Reads the four-channel B-format WAV file IN (16, 24 or 32-bit integer, 32 or 64-bit float,\n"
    "extensible or RF64) and writes OUT in AmbiX order (W, Y, Z, X) with SN3D gains as 32-bit\n"
    "float samples, in the layout the Halvane window reads.\n"
    "\n"
    "  --order ambix   IN holds W, Y, Z, X (default)\n"
    "  --order fuma    IN holds W, X, Y, Z (traditional B-format)\n"
    "  --norm sn3d     IN has SN3D gains (default)\n"
    "  --norm n3d      IN has N3D gains: X, Y, Z are divided by sqrt(3)\n"
    "  --norm fuma     IN has FuMa gains: W is multiplied by sqrt(2)\n"
    "  --help          this text\n"
    "  --version       the program's version\n"
    "\n"
    "Traditional B-format recordings are usually --order fuma --norm fuma.\n"
    "OUT must differ from IN. Exit status: 0 converted, 1 unreadable input or unwritable\n"
    "output, 2 wrong usage.\n";

struct Options {
    fs::path input;
    fs::path output;
    convert::ChannelOrder order = convert::ChannelOrder::Ambix;
    convert::Normalisation norm = convert::Normalisation::Sn3d;
};

int UsageError(const std::string& what)
{
    std::cerr << "halvane-convert: " << what << "\n\n" << kUsage;
    return kExitUsage;
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    std::vector<std::string> paths;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::cout << kUsage;
            return kExitOk;
        }
        if (arg == "--version") {
            std::cout << "halvane-convert " << HALVANE_VERSION << "\n";
            return kExitOk;
        }
        if (arg == "--order" || arg == "--norm") {
            if (i + 1 >= argc) return UsageError(arg + " needs a value");
            const std::string value = argv[++i];
            if (arg == "--order") {
                const auto order = convert::ParseChannelOrder(value);
                if (!order) return UsageError("unknown channel order \"" + value + "\" (ambix or fuma)");
                options.order = *order;
            } else {
                const auto norm = convert::ParseNormalisation(value);
                if (!norm) return UsageError("unknown normalisation \"" + value + "\" (sn3d, n3d or fuma)");
                options.norm = *norm;
            }
        } else if (arg.size() > 1 && arg[0] == '-') {
            return UsageError("unknown option " + arg);
        } else {
            paths.push_back(arg);
        }
    }
    if (paths.size() != 2) return UsageError("give one input and one output file");
    options.input = paths[0];
    options.output = paths[1];
    const std::string inName = options.input.string();
    const std::string outName = options.output.string();

    if (wavio::SameFile(options.input, options.output)) {
        std::cerr << "halvane-convert: " << outName << " is the input file; choose another output name\n";
        return kExitFailed;
    }

    const wavio::FileImage image = wavio::ReadFileImage(options.input);
    if (!image.ok) {
        std::cerr << "halvane-convert: " << inName << " " << image.message << "\n";
        return kExitFailed;
    }
    const wavio::WavReadResult read = wavio::ReadWav(image.bytes);
    if (read.status != wavio::WavReadStatus::Ok) {
        std::cerr << "halvane-convert: " << inName << " cannot be read as a WAV file: " << read.message << "\n";
        return kExitFailed;
    }
    const wavio::WavAudio& audio = read.audio;
    for (const std::string& warning : audio.warnings) std::cerr << "halvane-convert: warning: " << inName << ": " << warning << "\n";
    if (audio.format.channelCount != 4) {
        std::cerr << "halvane-convert: " << inName << " has " << audio.format.channelCount
                  << " channels; a first-order B-format file has 4\n";
        return kExitFailed;
    }
    if (audio.frameCount == 0) {
        std::cerr << "halvane-convert: " << inName << " holds no sample frames\n";
        return kExitFailed;
    }
    if (audio.format.isAmbisonicBFormat && options.order == convert::ChannelOrder::Ambix)
        std::cerr << "halvane-convert: warning: " << inName
                  << " is marked as a B-format (.amb) file, which is usually W, X, Y, Z with FuMa gains: "
                     "consider --order fuma --norm fuma\n";

    const std::vector<float> converted = convert::ToAmbixSn3d(audio, options.order, options.norm);
    const std::string failure = wavio::WriteFileReplacing(options.output, [&](std::ostream& out) {
        return wavio::WriteFloatWav(out, audio.format.sampleRateHz, 4, converted).message;
    });
    if (!failure.empty()) {
        std::cerr << "halvane-convert: " << outName << " " << failure << "\n";
        return kExitFailed;
    }

    std::cout << inName << ": " << wavio::DescribeEncoding(audio.format) << ", " << audio.format.sampleRateHz
              << " Hz, " << audio.frameCount << " frames, read as " << convert::Name(options.order) << " with "
              << convert::Name(options.norm) << " gains\n"
              << outName << ": AmbiX (W, Y, Z, X), SN3D, 32-bit float\n";

    if (const auto direct = convert::EstimateDirectSound(converted, audio.format.sampleRateHz)) {
        char line[128];
        std::snprintf(line, sizeof line, "direct sound: window at %.1f ms, Az %.1f, El %.1f degrees\n", direct->startMs,
                      direct->direction.azimuthDeg, direct->direction.elevationDeg);
        std::cout << line;
        for (const std::string& warning : convert::ConventionSlipWarnings(*direct))
            std::cerr << "halvane-convert: warning: " << warning << "\n";
    } else {
        std::cerr << "halvane-convert: warning: " << inName << " is silent; no direction to check\n";
    }
    return kExitOk;
}
