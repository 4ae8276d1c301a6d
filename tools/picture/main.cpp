// halvane-picture: the summary picture of one analysed impulse response, for
// halvane-batch --png. A program of its own so that the batch command never
// loads the toolkit for a run without a picture.
#include <QApplication>
#include <QBuffer>
#include <QImageWriter>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/RunAnalysis.h"
#include "analysis/RunSummary.h"
#include "analysis/ScriptedDialogue.h"
#include "analysis/arrivals/Arrivals.h"
#include "analysis/room/BandFiltered.h"
#include "analysis/room/OctaveBands.h"
#include "analysis/room/RoomParameters.h"
#include "bformat/BFormatSignal.h"
#include "display/BackgroundPicture.h"
#include "display/summary/SummaryPicture.h"
#include "files/ReplacingFile.h"

namespace {

using namespace halvane;

constexpr const char* kUsage =
    "usage: halvane-picture [--skip MS] [--display MS] [--window MS] [--background PANORAMA.jpg] [--band HZ]\n"
    "                       [--floor DB] [--direction-window MS] [--max-diffuseness X] [--room-parameters]\n"
    "                       [--] FILE OUT.png\n"
    "Draws the summary picture of FILE's analysis into OUT.png (called by halvane-batch --png): the map\n"
    "with the run's windows and the sound arrivals, the time strip, a top view and a reflectogram of\n"
    "the arrivals, and with --room-parameters the decay curves per octave band.\n"
    "  --band HZ              the run and the arrivals in one octave band (125, 250, 500, 1000, 2000, 4000)\n"
    "  --floor DB             arrivals down to this far below the direct sound (default 40)\n"
    "  --direction-window MS  the window of each arrival's direction (default 0.5)\n"
    "  --max-diffuseness X    windows more diffuse than this (0 to 1) are no arrivals (default 0.4)\n";

struct PictureOptions {
    std::vector<std::string> answers = {"0", "1000", "5", "0"};  // the run's prompts, as typed
    std::string background;
    int bandHz = 0;  // 0: broadband
    ArrivalOptions arrivals;
    bool roomParameters = false;
    bool help = false;
    bool version = false;
    std::string file;
    std::string pngPath;
};

// The whole text as one finite number.
bool ReadWholeNumber(const std::string& text, double& value)
{
    const char* begin = text.data();
    const char* end = begin + text.size();
    if (begin != end && *begin == '+') ++begin;
    const auto result = std::from_chars(begin, end, value);
    return result.ec == std::errc() && result.ptr == end && std::isfinite(value);
}

// A number option's value, checked against its range; the failure names the option.
Result<double> NumberOption(const std::string& option, const std::string& text, double low, bool lowIncluded,
                            double high, const std::string& range)
{
    double value = 0;
    const bool inRange =
        ReadWholeNumber(text, value) && (value > low || (lowIncluded && value == low)) && value <= high;
    if (!inRange) return Failure{option + " needs " + range + ", not \"" + text + "\""};
    return value;
}

Result<PictureOptions> ParseOptions(int argc, char** argv)
{
    PictureOptions options;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--") {
            files.insert(files.end(), argv + i + 1, argv + argc);
            break;
        }
        if (arg == "--help") {
            options.help = true;
            return options;
        }
        if (arg == "--version") {
            options.version = true;
            return options;
        }
        if (arg == "--room-parameters") {
            options.roomParameters = true;
            continue;
        }
        const bool takesValue = arg == "--skip" || arg == "--display" || arg == "--window" || arg == "--background" ||
                                arg == "--band" || arg == "--floor" || arg == "--direction-window" ||
                                arg == "--max-diffuseness";
        if (takesValue && i + 1 >= argc) return Failure{arg + " needs a value"};
        if (!takesValue && !arg.empty() && arg[0] == '-') return Failure{"unknown option " + arg};
        if (!takesValue) {
            files.push_back(arg);
            continue;
        }
        const std::string value = argv[++i];
        if (arg == "--skip") {
            options.answers[0] = value;
        } else if (arg == "--display") {
            options.answers[1] = value;
        } else if (arg == "--window") {
            options.answers[2] = value;
        } else if (arg == "--background") {
            options.background = value;
        } else if (arg == "--band") {
            double hz = 0;
            const bool known = ReadWholeNumber(value, hz) &&
                               std::find(kOctaveBandsHz.begin(), kOctaveBandsHz.end(), hz) != kOctaveBandsHz.end();
            if (!known) return Failure{"--band needs one of 125, 250, 500, 1000, 2000 and 4000, not \"" + value + "\""};
            options.bandHz = static_cast<int>(hz);
        } else {
            Result<double> number = Failure{};
            if (arg == "--floor") {
                number = NumberOption(arg, value, 0, false, 1000, "a level in dB above 0");
                if (number) options.arrivals.floorDb = *number;
            } else if (arg == "--direction-window") {
                number = NumberOption(arg, value, 0, false, 1000, "a length in ms above 0");
                if (number) options.arrivals.directionWindowMs = *number;
            } else {
                number = NumberOption(arg, value, 0, true, 1, "a number from 0 to 1");
                if (number) options.arrivals.maxDiffuseness = *number;
            }
            if (!number) return Failure{number.Message()};
        }
    }
    if (files.size() != 2) return Failure{"it takes one FILE and one OUT.png"};
    options.file = files[0];
    options.pngPath = files[1];
    return options;
}

// Tables of a run made only for its summary: kept nowhere.
class DiscardedTables final : public TableStorage {
public:
    std::unique_ptr<std::ostream> CreateTable(const std::string&) override
    {
        return std::make_unique<std::ostringstream>();
    }
    bool SameFile(const std::string&, const std::string&) override { return false; }
};

}  // namespace

int main(int argc, char** argv)
{
    const Result<PictureOptions> parsed = ParseOptions(argc, argv);
    if (!parsed) {
        std::cerr << "halvane-picture: " << parsed.Message() << "\n\n" << kUsage;
        return 2;
    }
    const PictureOptions& options = *parsed;
    if (options.help) {
        std::cout << kUsage;
        return std::cout.flush() ? 0 : 1;
    }
    if (options.version) {
        std::cout << "halvane-picture " << HALVANE_VERSION << "\n";
        return std::cout.flush() ? 0 : 1;
    }
    const std::string& file = options.file;
    auto fail = [&file](const std::string& message) {
        std::cerr << file << ": " << message << "\n";
        return 1;
    };

    // The surfaces are widgets: they need an application object, which
    // needs no screen on the offscreen platform, whatever the environment says.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);

    // A picture that cannot be read fails before the analysis, not after it.
    QImage background;
    if (!options.background.empty()) {
        const LoadedPicture loaded = LoadBackgroundPicture(QString::fromStdString(options.background));
        if (loaded.picture.isNull()) return fail(loaded.whyNot.toStdString());
        background = loaded.picture;
    }

    DiskInput disk;
    const auto opened = disk.Open(file);
    if (!opened) return fail("Sorry, the file " + file + " cannot be opened: " + opened.Message() + "!");
    const std::span<const std::byte> fileBytes = (*opened)->Bytes();
    std::vector<std::byte> bandBytes;
    if (options.bandHz > 0) {
        auto band = BandFilteredImage(fileBytes, options.bandHz);
        if (!band) return fail(band.Message());
        bandBytes = std::move(*band);
    }
    const std::span<const std::byte> analysed = options.bandHz > 0 ? std::span<const std::byte>(bandBytes) : fileBytes;

    SharedState state;
    state.IrFileName = file;
    ScriptedDialogue dialogue(options.answers);
    NamedBytesInput input(file, analysed);
    DiscardedTables tables;
    RunSummary summary;
    const RunReport report = RunAnalysis(state, dialogue, input, tables, RunDisplay::None(), summary);
    if (report.outcome == RunOutcome::Rejected) return fail(report.message);
    // The arrivals and the decay curves are the whole response's whatever
    // band the directions come from: the arrivals are found by matching the
    // measured broadband pulse, which a band's ringing would only blur.
    const Result<BFormatSignal> signal = ReadBFormatSignal(fileBytes);
    if (!signal) return fail(signal.Message());

    SummaryInput summaryInput = SummaryOfRun(state, summary);
    summaryInput.background = background;
    summaryInput.arrivals = FindArrivals(*signal, options.arrivals);
    summaryInput.arrivalFloorDb = options.arrivals.floorDb;
    if (options.roomParameters) summaryInput.roomParameters = ComputeRoomParameters(*signal);

    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    if (!writer.write(RenderSummary(summaryInput))) {
        return fail("the picture cannot be encoded: " + writer.errorString().toStdString());
    }
    if (const auto written = WriteReplacing(options.pngPath, png.toStdString()); !written) {
        return fail("the picture " + options.pngPath + " cannot be written: " + written.Message());
    }
    return 0;
}
