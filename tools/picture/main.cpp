// halvane-picture: the summary picture of one analysed impulse response, for
// halvane-batch --png. A program of its own so that the batch command never
// loads the toolkit for a run without a picture.
#include <QApplication>
#include <QBuffer>
#include <QImageWriter>

#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/RunAnalysis.h"
#include "analysis/RunSummary.h"
#include "analysis/ScriptedDialogue.h"
#include "display/BackgroundPicture.h"
#include "display/SummaryPicture.h"
#include "report/ReplacingFile.h"

namespace {

using namespace halvane;

constexpr const char* kUsage =
    "usage: halvane-picture [--skip MS] [--display MS] [--window MS] [--background PANORAMA.jpg] [--] FILE OUT.png\n"
    "Draws the summary picture of FILE's analysis into OUT.png (called by halvane-batch --png).\n";

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
    std::vector<std::string> answers = {"0", "1000", "5", "0"};
    std::string background;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        // The arrival and band options are taken and, so far, not drawn.
        const bool ignored =
            arg == "--floor" || arg == "--direction-window" || arg == "--max-diffuseness" || arg == "--band";
        if (ignored && i + 1 < argc) {
            ++i;
            continue;
        }
        if (arg == "--room-parameters") continue;
        const bool takesValue = arg == "--skip" || arg == "--display" || arg == "--window" || arg == "--background";
        if (takesValue && i + 1 < argc) {
            const std::string value = argv[++i];
            if (arg == "--skip")
                answers[0] = value;
            else if (arg == "--display")
                answers[1] = value;
            else if (arg == "--window")
                answers[2] = value;
            else
                background = value;
        } else if (arg == "--") {
            files.insert(files.end(), argv + i + 1, argv + argc);
            break;
        } else if (arg == "--version") {
            std::cout << "halvane-picture " << HALVANE_VERSION << "\n";
            return 0;
        } else if (arg == "--help") {
            std::cout << kUsage;
            return 0;
        } else if (!arg.empty() && arg[0] == '-') {
            std::cerr << kUsage;
            return 2;
        } else {
            files.push_back(arg);
        }
    }
    if (files.size() != 2) {
        std::cerr << kUsage;
        return 2;
    }
    const std::string& file = files[0];
    const std::string& pngPath = files[1];

    // The surfaces are widgets: they need an application object, which
    // needs no screen on the offscreen platform, whatever the environment says.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);

    SharedState state;
    state.IrFileName = file;
    ScriptedDialogue dialogue(answers);
    DiskInput input;
    DiscardedTables tables;
    RunSummary summary;
    const RunReport report = RunAnalysis(state, dialogue, input, tables, RunDisplay::None(), summary);
    if (report.outcome == RunOutcome::Rejected) {
        std::cerr << file << ": " << report.message << "\n";
        return 1;
    }
    SummaryInput summaryInput = SummaryOfRun(state, summary);
    if (!background.empty()) {
        const LoadedPicture loaded = LoadBackgroundPicture(QString::fromStdString(background));
        if (loaded.picture.isNull()) {
            std::cerr << file << ": " << loaded.whyNot.toStdString() << "\n";
            return 1;
        }
        summaryInput.background = loaded.picture;
    }
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    if (!writer.write(RenderSummary(summaryInput))) {
        std::cerr << file << ": the picture cannot be encoded: " << writer.errorString().toStdString() << "\n";
        return 1;
    }
    if (const auto written = WriteReplacing(pngPath, png.toStdString()); !written) {
        std::cerr << file << ": the picture " << pngPath << " cannot be written: " << written.Message() << "\n";
        return 1;
    }
    return 0;
}
