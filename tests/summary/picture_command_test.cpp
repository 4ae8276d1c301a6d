// halvane-batch --png and halvane-picture end to end: the picture is drawn
// from the batch's own results, once handed over; the picture program's
// options, exit status and messages.
#include <gtest/gtest.h>

#include <QImage>

#include <filesystem>
#include <string>
#include <vector>

#include "analysis/RunAnalysis.h"
#include "analysis/RunSummary.h"
#include "analysis/ScriptedDialogue.h"
#include "analysis/arrivals/Arrivals.h"
#include "analysis/maps/EnergyMaps.h"
#include "analysis/room/RoomParameters.h"
#include "analysis/surfaces/Surfaces.h"
#include "bformat/BFormatSignal.h"
#include "display/BackgroundPicture.h"
#include "display/summary/Reflectogram.h"
#include "display/summary/SummaryPicture.h"
#include "exchange/ResultsExchange.h"
#include "support/FakeHost.h"
#include "support/RunCommand.h"
#include "support/TestWav.h"

namespace halvane {
namespace {

using testing::RunCommand;
using testing::ScratchFolder;
namespace fs = std::filesystem;

const std::string kDemoRoom = HALVANE_EXAMPLES_DIR "/demo-room.wav";
const std::string kDemoPanorama = HALVANE_EXAMPLES_DIR "/demo-panorama.jpg";

// True when the two pictures differ somewhere inside the rectangle.
bool DifferIn(const QImage& a, const QImage& b, QRect rect)
{
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        for (int x = rect.left(); x <= rect.right(); ++x) {
            if (a.pixel(x, y) != b.pixel(x, y)) return true;
        }
    }
    return false;
}

// A copy of the demo room in scratch, where the batch command may write its tables.
std::string DemoCopy(const ScratchFolder& scratch)
{
    const fs::path copy = scratch.Path() / "demo-room.wav";
    fs::copy_file(kDemoRoom, copy, fs::copy_options::overwrite_existing);
    return copy.string();
}

// What the batch command computes for the demo room, computed here in the
// test's own process: the run over 300 ms, the arrivals, the room parameters.
AnalysisResults DemoResults(const std::string& name)
{
    test::MemoryStorage storage;
    const std::string bytes = test::ReadFile(kDemoRoom);
    const auto* first = reinterpret_cast<const std::byte*>(bytes.data());
    storage.inputs[name] = std::vector<std::byte>(first, first + bytes.size());
    SharedState state;
    state.IrFileName = name;
    ScriptedDialogue dialogue({"0", "300", "5", "0"});
    RunSummary summary;
    EXPECT_EQ(RunAnalysis(state, dialogue, storage, storage, RunDisplay::None(), summary).outcome,
              RunOutcome::Completed);
    AnalysisResults results = ResultsOfRun(state, summary);
    const auto signal = ReadBFormatSignal(storage.inputs[name]);
    EXPECT_TRUE(signal) << signal.Message();
    if (signal) {
        results.arrivals = FindArrivals(*signal, ArrivalOptions{});
        results.roomParameters = ComputeRoomParameters(*signal);
        results.energyMaps = *ComputeEnergyMaps(*signal, EnergyMapOptions{});
    }
    const ArrivalOptions defaults;
    results.arrivalFloorDb = defaults.floorDb;
    results.arrivalDirectionWindowMs = defaults.directionWindowMs;
    results.arrivalMaxDiffuseness = defaults.maxDiffuseness;
    return results;
}

TEST(PictureCommand, TheBatchDrawsExactlyWhatItsAnalysisFound)
{
    ScratchFolder scratch("picture-exchange");
    const std::string input = DemoCopy(scratch);
    const std::string batchPng = (scratch.Path() / "batch.png").string();
    // The title block's date is fixed (SOURCE_DATE_EPOCH, 2026-03-01) so that both drawings say the same.
    setenv("SOURCE_DATE_EPOCH", "1772323200", 1);
    const auto batch = RunCommand(HALVANE_BATCH_COMMAND,
                                  {"--display", "300", "--room-parameters", (scratch.Path() / "rooms.csv").string(),
                                   "--png", batchPng, "--background", kDemoPanorama, input},
                                  scratch.Path());
    ASSERT_EQ(batch.exitStatus, 0) << batch.err;

    // The same results, computed and encoded here, drawn by the picture program.
    const AnalysisResults results = DemoResults(input);
    const std::string resultsPath = (scratch.Path() / "demo.results").string();
    test::WriteFile(resultsPath, EncodeResults(results));
    const std::string ownPng = (scratch.Path() / "own.png").string();
    const auto own =
        RunCommand(HALVANE_PICTURE_COMMAND, {"--background", kDemoPanorama, resultsPath, ownPng}, scratch.Path());
    unsetenv("SOURCE_DATE_EPOCH");
    ASSERT_EQ(own.exitStatus, 0) << own.err;
    EXPECT_EQ(test::ReadFile(batchPng), test::ReadFile(ownPng)) << "the batch's picture is not of its results";

    // And the picture drawn in this process from those results, pixel for pixel.
    SummaryInput drawn;
    drawn.results = results;
    drawn.background = LoadBackgroundPicture(QString::fromStdString(kDemoPanorama)).picture;
    drawn.date = QStringLiteral("2026-03-01");
    drawn.version = QStringLiteral(HALVANE_VERSION);
    const QImage here = RenderSummary(drawn);
    const QImage there(QString::fromStdString(batchPng));
    ASSERT_EQ(there.size(), LayoutSummary(true, true).picture);
    EXPECT_FALSE(DifferIn(here.convertToFormat(there.format()), there, there.rect()));
}

TEST(PictureCommand, WithARoomModelTheMarksSayTheCoresSurfaceNames)
{
    ScratchFolder scratch("picture-surfaces");
    const std::string input = DemoCopy(scratch);
    const std::string png = (scratch.Path() / "named.png").string();
    // The demo hall (28 x 18 x 9 m) and its loudspeaker and microphone.
    const ShoeboxModel hall{28, 18, 9, {14, 8.5, 3.5}, {11, 7.5, 3}};
    setenv("SOURCE_DATE_EPOCH", "1772323200", 1);
    const auto batch = RunCommand(HALVANE_BATCH_COMMAND,
                                  {"--display", "300", "--room", "28x18x9", "--source", "14,8.5,3.5", "--receiver",
                                   "11,7.5,3", "--png", png, input},
                                  scratch.Path());
    unsetenv("SOURCE_DATE_EPOCH");
    ASSERT_EQ(batch.exitStatus, 0) << batch.err;

    SummaryInput drawn;
    drawn.results = DemoResults(input);
    drawn.results.roomParameters.clear();
    drawn.date = QStringLiteral("2026-03-01");
    drawn.version = QStringLiteral(HALVANE_VERSION);
    const QImage unnamed = RenderSummary(drawn);
    drawn.results.arrivalSurfaceNames =
        ArrivalSurfaceNames(FindSurfaces(drawn.results.arrivals, {0, SpeedOfSoundMPerS(std::nullopt), hall}));
    ASSERT_EQ(drawn.results.arrivalSurfaceNames.size(), 7u);
    EXPECT_EQ(drawn.results.arrivalSurfaceNames[1], "floor");
    const QImage named = RenderSummary(drawn);
    const QImage there(QString::fromStdString(png));
    ASSERT_EQ(there.size(), named.size());
    EXPECT_FALSE(DifferIn(named.convertToFormat(there.format()), there, there.rect()))
        << "the batch's marks are not named as its surfaces are";
    // The names are on the map, and the rest of the picture is as without them.
    const SummaryLayout layout = LayoutSummary(false, true);
    EXPECT_TRUE(DifferIn(named, unnamed, layout.map));
    EXPECT_FALSE(
        DifferIn(named, unnamed, QRect(0, layout.strip.top(), named.width(), named.height() - layout.strip.top())));
}

TEST(PictureCommand, ABandChangesTheRunButNotTheArrivals)
{
    ScratchFolder scratch("picture-band");
    const std::string input = DemoCopy(scratch);
    const std::string broadPng = (scratch.Path() / "broad.png").string();
    const std::string bandPng = (scratch.Path() / "band.png").string();
    const auto broad =
        RunCommand(HALVANE_BATCH_COMMAND, {"--display", "300", "--png", broadPng, input}, scratch.Path());
    ASSERT_EQ(broad.exitStatus, 0) << broad.err;
    const auto band = RunCommand(HALVANE_BATCH_COMMAND, {"--display", "300", "--band", "4000", "--png", bandPng, input},
                                 scratch.Path());
    ASSERT_EQ(band.exitStatus, 0) << band.err;
    const QImage broadPicture(QString::fromStdString(broadPng));
    const QImage filtered(QString::fromStdString(bandPng));
    ASSERT_EQ(broadPicture.size(), filtered.size());

    // The run's level bars come from the band; the arrivals (the reflectogram
    // below its title line) are the whole response's either way.
    const SummaryLayout layout = LayoutSummary(false, true);
    EXPECT_TRUE(DifferIn(broadPicture, filtered, layout.strip));
    // The title block says which is which.
    EXPECT_TRUE(DifferIn(broadPicture, filtered, layout.title));
    const QRect plot = layout.reflectogram.adjusted(0, kReflectogramMarginsPx.top, 0, 0);
    EXPECT_FALSE(DifferIn(broadPicture, filtered, plot));
}

TEST(PictureCommand, ReadsTheResultsFromStandardInput)
{
    ScratchFolder scratch("picture-stdin");
    AnalysisResults results;
    results.irFileName = "quiet.wav";
    const std::string resultsPath = (scratch.Path() / "quiet.results").string();
    test::WriteFile(resultsPath, EncodeResults(results));
    const std::string png = (scratch.Path() / "quiet.png").string();
    const auto run = testing::RunShell(testing::Quoted(HALVANE_PICTURE_COMMAND) + " -- - " + testing::Quoted(png) +
                                       " < " + testing::Quoted(resultsPath));
    ASSERT_EQ(run.exitStatus, 0) << run.out;
    EXPECT_EQ(QImage(QString::fromStdString(png)).size(), LayoutSummary(false, false).picture);
}

struct RefusalRow {
    const char* name;
    std::vector<std::string> args;  // "IN" and "OUT" stand for the results file and the picture
    std::string input;              // the results file's bytes; empty: no file is written
    int exitStatus;
    const char* message;  // a part of standard error
};

TEST(PictureCommand, RefusesWhatItCannotReadAndWritesNoPicture)
{
    AnalysisResults quiet;
    quiet.irFileName = "/rooms/quiet.wav";
    const std::string results = EncodeResults(quiet);
    const std::vector<RefusalRow> rows = {
        {"a missing results file", {"IN", "OUT"}, "", 1, "cannot be read: it cannot be opened"},
        {"text, not results", {"IN", "OUT"}, "just some words\n", 1, "no results of halvane-batch"},
        {"results cut short", {"IN", "OUT"}, results.substr(0, results.size() - 3), 1, "the results end inside"},
        {"a background that is no picture", {"--background", "IN", "IN", "OUT"}, results, 1, "/rooms/quiet.wav: "},
        {"an analysis option", {"--floor", "30", "IN", "OUT"}, results, 2, "unknown option --floor"},
        {"an option without its value", {"IN", "OUT", "--background"}, results, 2, "--background needs a value"},
        {"no picture named", {"IN"}, results, 2, "one RESULTS and one OUT"},
        {"a map range out of its range",
         {"--map-range", "5", "IN", "OUT"},
         results,
         2,
         "--map-range must lie from 10 to 100 dB, not 5"},
    };
    for (const RefusalRow& row : rows) {
        SCOPED_TRACE(row.name);
        ScratchFolder scratch("picture-refusal");
        const fs::path in = scratch.Path() / "room.results";
        const fs::path out = scratch.Path() / "room.png";
        if (!row.input.empty()) test::WriteFile(in.string(), row.input);
        std::vector<std::string> args;
        for (const std::string& a : row.args) args.push_back(a == "IN" ? in.string() : a == "OUT" ? out.string() : a);
        const auto run = RunCommand(HALVANE_PICTURE_COMMAND, args, scratch.Path());
        EXPECT_EQ(run.exitStatus, row.exitStatus) << run.err;
        EXPECT_NE(run.err.find(row.message), std::string::npos) << run.err;
        EXPECT_FALSE(fs::exists(out));
        if (row.exitStatus == 2) {
            EXPECT_NE(run.err.find("usage: halvane-picture"), std::string::npos);
        }
    }
}

}  // namespace
}  // namespace halvane
