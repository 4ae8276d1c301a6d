// halvane-picture: the summary picture of one analysed impulse response, for
// halvane-batch --png, drawn from the results halvane-batch computed (it
// analyses nothing itself). A program of its own so that the batch command
// never loads the toolkit for a run without a picture.
#include <QApplication>
#include <QBuffer>
#include <QImageWriter>

#include <charconv>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "display/BackgroundPicture.h"
#include "display/report/ComparisonPage.h"
#include "display/report/ReportPage.h"
#include "display/summary/SummaryPicture.h"
#include "display/summary/TitleBlock.h"
#include "exchange/ResultsExchange.h"
#include "files/ReplacingFile.h"

namespace {

using namespace halvane;

constexpr const char* kUsage =
    "usage: halvane-picture [--background PANORAMA.jpg] [--map-range DB] [--report] [--] RESULTS OUT\n"
    "Draws the summary picture of an analysed impulse response into OUT, a PNG file (called by\n"
    "halvane-batch --png): a title block, the map with the run's windows and the sound arrivals,\n"
    "the energy map of each time range, the time strip, a top view and a reflectogram of the\n"
    "arrivals, and the decay curves when the results hold room parameters. RESULTS is what\n"
    "halvane-batch computed, in its exchange form; - reads it from standard input.\n"
    "  --background PANORAMA.jpg  an equirectangular (2:1) picture of the room behind the maps,\n"
    "                 scaled to them\n"
    "  --map-range DB  the dB span of the energy maps' colours below the direct sound's peak,\n"
    "                 from 10 to 100 (default 35)\n"
    "  --report       write OUT as the one-page A4 report (PDF) instead (halvane-batch --report)\n"
    "Results of a comparison (halvane-batch --compare) draw the difference of the energy maps,\n"
    "and in the report the room parameters and arrivals of both.\n"
    "The title block's date is today's (UTC), or that of SOURCE_DATE_EPOCH when it is set.\n";

struct PictureOptions {
    std::string background;
    double mapRangeDb = 35;
    bool report = false;
    bool help = false;
    bool version = false;
    std::string resultsPath;  // "-": standard input
    std::string pngPath;
};

// The command line: what drawing needs, no more (the analysis options are
// halvane-batch's).
Result<PictureOptions> ParseOptions(int argc, char** argv)
{
    PictureOptions options;
    std::vector<std::string> names;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (optionsEnded || arg == "-" || arg.empty() || arg[0] != '-') {
            names.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--help" || arg == "--version") {
            (arg == "--help" ? options.help : options.version) = true;
            return options;
        } else if (arg == "--background") {
            if (++i >= argc) return Failure{"--background needs a value"};
            options.background = argv[i];
        } else if (arg == "--map-range") {
            if (++i >= argc) return Failure{"--map-range needs a value"};
            const std::string text = argv[i];
            double db = 0;
            const auto read = std::from_chars(text.data(), text.data() + text.size(), db);
            if (read.ec != std::errc() || read.ptr != text.data() + text.size() || !(db >= 10 && db <= 100)) {
                return Failure{"--map-range must lie from 10 to 100 dB, not " + text};
            }
            options.mapRangeDb = db;
        } else if (arg == "--report") {
            options.report = true;
        } else {
            return Failure{"unknown option " + arg};
        }
    }
    if (names.size() != 2) return Failure{"it takes one RESULTS and one OUT"};
    options.resultsPath = names[0];
    options.pngPath = names[1];
    return options;
}

// The whole of the results file, or of standard input for "-".
Result<std::vector<std::byte>> ReadAll(const std::string& path)
{
    std::vector<char> text;
    if (path == "-") {
        text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
        if (std::cin.bad()) return Failure{"standard input cannot be read"};
    } else {
        std::ifstream file(path, std::ios::binary);
        if (!file) return Failure{"it cannot be opened"};
        text.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
        if (file.bad()) return Failure{"it cannot be read"};
    }
    const auto* first = reinterpret_cast<const std::byte*>(text.data());
    return std::vector<std::byte>(first, first + text.size());
}

Result<> WriteReport(const SummaryInput& input, const std::string& pdfPath)
{
    ReportInput report{input.results, input.background, input.mapRangeDb, input.date, input.version};
    const Result<std::string> pdf = ReportPdfBytes(report);
    if (!pdf) return Failure{pdf.Message()};
    if (const auto written = WriteReplacing(pdfPath, *pdf); !written) {
        return Failure{"the report " + pdfPath + " cannot be written: " + written.Message()};
    }
    return {};
}

// A comparison's results drawn: its picture, or its report.
ComparisonInput ComparisonOf(const SummaryInput& input)
{
    return {input.results.irFileName, input.results.comparedFileName, *input.results.comparison, input.date,
            input.version};
}

Result<> WriteComparisonReport(const SummaryInput& input, const std::string& pdfPath)
{
    const Result<std::string> pdf = ComparisonPdfBytes(ComparisonOf(input));
    if (!pdf) return Failure{pdf.Message()};
    if (const auto written = WriteReplacing(pdfPath, *pdf); !written) {
        return Failure{"the report " + pdfPath + " cannot be written: " + written.Message()};
    }
    return {};
}

// The picture of results (the summary, or a comparison's maps), encoded and
// written under its name; the failure's words otherwise.
Result<> DrawAndWrite(const SummaryInput& input, const std::string& pngPath)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    const QImage picture =
        input.results.comparison ? RenderComparisonPicture(ComparisonOf(input)) : RenderSummary(input);
    if (!writer.write(picture)) {
        return Failure{"the picture cannot be encoded: " + writer.errorString().toStdString()};
    }
    if (const auto written = WriteReplacing(pngPath, png.toStdString()); !written) {
        return Failure{"the picture " + pngPath + " cannot be written: " + written.Message()};
    }
    return {};
}

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
    const std::string resultsName = options.resultsPath == "-" ? "standard input" : options.resultsPath;
    const auto bytes = ReadAll(options.resultsPath);
    if (!bytes) {
        std::cerr << "halvane-picture: the results " << resultsName << " cannot be read: " << bytes.Message() << "\n";
        return 1;
    }
    Result<AnalysisResults> results = DecodeResults(*bytes);
    if (!results) {
        std::cerr << "halvane-picture: " << resultsName << ": " << results.Message() << "\n";
        return 1;
    }
    // Every later message names the analysed file, as the batch command does.
    const std::string file = results->irFileName;
    auto fail = [&file](const std::string& message) {
        std::cerr << file << ": " << message << "\n";
        return 1;
    };

    // The surfaces are widgets: they need an application object, which
    // needs no screen on the offscreen platform, whatever the environment says.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);

    SummaryInput input;
    input.results = std::move(*results);
    input.mapRangeDb = options.mapRangeDb;
    input.date = DrawingDate();
    input.version = QStringLiteral(HALVANE_VERSION);
    if (!options.background.empty()) {
        const LoadedPicture loaded = LoadBackgroundPicture(QString::fromStdString(options.background));
        if (loaded.picture.isNull()) return fail(loaded.whyNot.toStdString());
        input.background = loaded.picture;
        if (const auto warning = BackgroundWarning(input.background.size())) {
            std::cerr << file << ": " << warning->toStdString() << "\n";
        }
    }
    const auto drawn = !options.report            ? DrawAndWrite(input, options.pngPath)
                       : input.results.comparison ? WriteComparisonReport(input, options.pngPath)
                                                  : WriteReport(input, options.pngPath);
    if (!drawn) return fail(drawn.Message());
    return 0;
}
