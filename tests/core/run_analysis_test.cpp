#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "analysis/RunAnalysis.h"
#include "bformat/WavHeader.h"
#include "support/FakeHost.h"
#include "support/TestWav.h"

namespace halvane {
namespace {

using test::FakeHost;
using test::Frame4;
using test::MakeWav;
using test::MemoryStorage;
using test::WavFormat;

const std::string kInput = "/rooms/hall.wav";
const std::string kIntensity = "/rooms/hall.csv";
const std::string kReference = "/rooms/hall_ref.csv";

// 48 001 frames at 48 kHz (DataSize 384 008 with BlockAlign 8): 48 000 frames
// by the frame count, 200 windows of 5 ms. A plane wave from the front.
std::vector<std::byte> SecondOf16Bit()
{
    WavFormat format;
    format.bits = 16;
    return MakeWav(test::Repeat({1000, 0, 0, 1000}, 48001), format);
}

struct Fixture {
    SharedState state;
    FakeHost host;
    MemoryStorage storage;

    explicit Fixture(std::vector<std::byte> input = SecondOf16Bit())
    {
        state.IrFileName = kInput;
        storage.inputs[kInput] = std::move(input);
    }
    RunReport Run(std::vector<std::optional<std::string>> answers)
    {
        host.answers = std::move(answers);
        host.promptDefaults.clear();
        return test::RunWith(state, host, storage);
    }
    int Lines(const std::string& path) const
    {
        const std::string text = storage.Table(path);
        return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
    }
    int Markers() const
    {
        return static_cast<int>(std::count_if(host.calls.begin(), host.calls.end(),
                                              [](const std::string& c) { return c.rfind("WindowMarker", 0) == 0; }));
    }
};

TEST(RunAnalysis, WindowCountsOfBothPasses)
{
    struct Row {
        const char* name;
        const char* skip;
        const char* display;
        int intensityRows;
        int directionWindows;
    };
    const Row rows[] = {
        {"no skip: windows 0 to 199", "0", "1000", 200, 200},
        {"skip 20 ms: windows 4 to 199", "20", "1000", 196, 196},
        {"skip 20, display 300: direction windows 4 to 63", "20", "300", 196, 60},
        {"skip 12: windows 2.4, 3.4, ... 198.4", "12", "1000", 197, 197},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Fixture f;
        const RunReport report = f.Run({row.skip, row.display, "5", "0"});
        EXPECT_EQ(report.outcome, RunOutcome::Completed);
        EXPECT_EQ(report.intensityRows, row.intensityRows);
        EXPECT_EQ(f.Lines(kIntensity), row.intensityRows + 1);
        EXPECT_EQ(report.directionWindows, row.directionWindows);
        EXPECT_EQ(report.referenceRows, row.directionWindows);
        EXPECT_EQ(f.Lines(kReference), row.directionWindows + 1);
        // The reports carry every window with its own time, whatever is drawn.
        ASSERT_EQ(f.host.summedWindowTimesMs.size(), static_cast<std::size_t>(row.intensityRows));
        const double firstMs = std::stod(row.skip);
        EXPECT_DOUBLE_EQ(f.host.summedWindowTimesMs.front(), firstMs);
        EXPECT_DOUBLE_EQ(f.host.summedWindowTimesMs.back(), firstMs + 5.0 * (row.intensityRows - 1));
        ASSERT_EQ(f.host.computed.size(), static_cast<std::size_t>(row.directionWindows));
        EXPECT_EQ(std::count_if(f.host.computed.begin(), f.host.computed.end(),
                                [](const DirectionQuantities& q) { return q.writesRow; }),
                  row.directionWindows);
        EXPECT_DOUBLE_EQ(f.host.computed.back().TimeMs, firstMs + 5.0 * (row.directionWindows - 1));
    }
}

TEST(RunAnalysis, PromptsOfferDefaultsThenThePreviousAnswers)
{
    Fixture f;
    f.Run({"20", "500", "10", "2"});
    EXPECT_EQ(f.host.promptDefaults, (std::vector<std::string>{"0", "1000", "5", "1"}));
    EXPECT_EQ(f.host.promptTexts,
              (std::vector<std::string>{"Number of ms to skip:", "Displayed window in ms:", "Averaging window in ms:",
                                        "Pause after each line in ms:"}));
    f.Run({"20", "500", "10", "2"});
    EXPECT_EQ(f.host.promptDefaults, (std::vector<std::string>{"20", "500", "10", "2"}));

    // A cancelled averaging prompt leaves 0: this run is refused with a
    // message, and the next run offers the default 5 again.
    const RunReport refused = f.Run({"0", "1000", std::nullopt, "0"});
    EXPECT_EQ(refused.outcome, RunOutcome::Rejected);
    EXPECT_EQ(f.state.AveragingWindowMs, 0);
    f.Run({});
    EXPECT_EQ(f.host.promptDefaults[2], "5");
    EXPECT_EQ(f.host.promptDefaults[0], "0");  // a skip of 0 has no default
}

TEST(RunAnalysis, RejectedHeadersShowOneMessageAndLeaveTheOldTablesAsTheyWere)
{
    struct Row {
        const char* name;
        int channels;
        int bits;
        const char* message;
    };
    for (const Row& row :
         {Row{"stereo", 2, 16, kNotFourChannelsMessage}, Row{"24-bit", 4, 24, kNotSixteenOrThirtyTwoBitsMessage}}) {
        SCOPED_TRACE(row.name);
        WavFormat format;
        format.channels = row.channels;
        format.bits = row.bits;
        Fixture f(MakeWav(test::Repeat({1, 0, 0, 1}, 100), format));
        const RunReport report = f.Run({});
        EXPECT_EQ(report.outcome, RunOutcome::Rejected);
        EXPECT_EQ(f.host.warnings, std::vector<std::string>{row.message});
        EXPECT_FALSE(f.storage.HasTable(kIntensity));
        EXPECT_FALSE(f.storage.HasTable(kReference));
        EXPECT_EQ(report.intensityTablePath, "");
        EXPECT_EQ(f.host.calls.back(), "ResetPointer");
        // The tables of an earlier run stay under their names, byte for byte.
        f.storage.tables[kIntensity] = std::make_shared<std::ostringstream>("old intensity\r\n");
        f.storage.tables[kReference] = std::make_shared<std::ostringstream>("old reference\r\n");
        EXPECT_EQ(f.Run({}).outcome, RunOutcome::Rejected);
        EXPECT_EQ(f.storage.Table(kIntensity), "old intensity\r\n");
        EXPECT_EQ(f.storage.Table(kReference), "old reference\r\n");
    }
}

TEST(RunAnalysis, AFileRejectedAtItsSecondReadingKeepsItsCompleteIntensityTableAndNoReference)
{
    Fixture f;
    f.storage.beforeRead = [](MemoryStorage& s, int read) {
        if (read == 2) s.inputs[kInput] = MakeWav({{1, 0, 0, 0}}, {.channels = 2});
    };
    const RunReport report = f.Run({});
    EXPECT_EQ(report.outcome, RunOutcome::Rejected);
    EXPECT_EQ(f.Lines(kIntensity), 201);
    EXPECT_FALSE(f.storage.HasTable(kReference));
    EXPECT_EQ(report.referenceTablePath, "");
}

TEST(RunAnalysis, RefusalsBeforeAnythingIsWritten)
{
    struct Row {
        const char* name;
        std::string path;  // the chosen file
        std::vector<std::optional<std::string>> answers;
        bool inputExists;
        const char* messageStart;
    };
    const Row rows[] = {
        {"no file chosen", "", {}, false, "Please choose"},
        {"the file does not exist", "/rooms/gone.wav", {}, false, "Sorry, the file /rooms/gone.wav cannot be opened"},
        {"an input named .csv would be emptied",
         "/rooms/data.csv",
         {},
         true,
         "Sorry, the tables of this run would overwrite"},
        {"averaging window 0", kInput, {"0", "1000", "0", "0"}, true, "Sorry, the averaging window"},
        {"averaging window negative", kInput, {"0", "1000", "-5", "0"}, true, "Sorry, the averaging window"},
        {"averaging window of letters", kInput, {"0", "1000", "abc", "0"}, true, "Sorry, the averaging window"},
        {"averaging window infinite", kInput, {"0", "1000", "1e999", "0"}, true, "Sorry, the averaging window"},
        {"displayed window 0", kInput, {"0", "0", "5", "0"}, true, "Sorry, the displayed window"},
        {"displayed window negative", kInput, {"0", "-1", "5", "0"}, true, "Sorry, the displayed window"},
        {"skip beyond any count", kInput, {"1e300", "1000", "5", "0"}, true, "Sorry, the number of ms to skip"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Fixture f;
        f.storage.inputs.clear();
        f.state.IrFileName = row.path;
        const auto original = SecondOf16Bit();
        if (row.inputExists) f.storage.inputs[row.path] = original;
        const RunReport report = f.Run(row.answers);
        EXPECT_EQ(report.outcome, RunOutcome::Rejected);
        ASSERT_EQ(f.host.warnings.size(), 1u);
        EXPECT_EQ(f.host.warnings[0].rfind(row.messageStart, 0), 0u) << f.host.warnings[0];
        EXPECT_TRUE(f.storage.tables.empty());
        if (row.inputExists) {
            EXPECT_EQ(f.storage.inputs[row.path], original);
        }
    }
}

TEST(RunAnalysis, HeadersThatGiveNoFrameSizeOrRateAreRefused)
{
    for (const auto& [name, blockAlign, rate] :
         {std::tuple{"BlockAlign 0", 0, 48000}, std::tuple{"BlockAlign 65535 (negative)", 65535, 48000},
          std::tuple{"sample rate 0", 8, 0}}) {
        SCOPED_TRACE(name);
        WavFormat format;
        format.bits = 16;
        format.blockAlign = blockAlign;
        format.sampleRate = rate;
        Fixture f(MakeWav(test::Repeat({1, 0, 0, 1}, 100), format));
        EXPECT_EQ(f.Run({}).outcome, RunOutcome::Rejected);
        EXPECT_EQ(f.host.warnings.size(), 1u);
        EXPECT_FALSE(f.storage.HasTable(kReference));
    }
}

TEST(RunAnalysis, AnAveragingWindowBeyondTheSampleRangeIsCalledTooLong)
{
    // 1e308 ms at 48 kHz: SamplesPerWindow overflows to infinity once the header is read.
    Fixture f;
    EXPECT_EQ(f.Run({"0", "1000", "1e308", "0"}).outcome, RunOutcome::Rejected);
    ASSERT_EQ(f.host.warnings.size(), 1u);
    EXPECT_EQ(f.host.warnings[0], "Sorry, the averaging window is too long for this file's sample rate!");
    EXPECT_FALSE(f.storage.HasTable(kIntensity));
}

TEST(RunAnalysis, ATableThatCannotBeCreatedEndsTheRunWithAMessage)
{
    Fixture f;
    f.storage.unwritable = {kReference};
    const RunReport report = f.Run({});
    EXPECT_EQ(report.outcome, RunOutcome::Rejected);
    EXPECT_EQ(f.host.warnings, std::vector<std::string>{"Sorry, the table " + kReference + " cannot be created!"});
    EXPECT_EQ(f.Lines(kIntensity), 201);  // the intensity table is complete
}

TEST(RunAnalysis, ANegativeSkipReadsZerosBeforeTheFile)
{
    Fixture f;
    const RunReport report = f.Run({"-10", "1000", "5", "0"});
    EXPECT_EQ(report.outcome, RunOutcome::Completed);
    EXPECT_EQ(report.intensityRows, 202);  // windows -2 to 199
    // Window -2 lies wholly before byte 1: zeros. Window -1 ends with the
    // header's bytes and the frame at offset 0, read like any other frames.
    const std::string table = f.storage.Table(kIntensity);
    EXPECT_TRUE(table.starts_with("\"De\",\"Ix\",\"Iy\",\"Iz\"\r\n0,0,0,0\r\n")) << table.substr(0, 80);
    EXPECT_FALSE(table.starts_with("\"De\",\"Ix\",\"Iy\",\"Iz\"\r\n0,0,0,0\r\n0,0,0,0\r\n"));
}

TEST(RunAnalysis, FlagsSetBeforeTheRunAreCleared)
{
    Fixture f;
    f.state.Paused = true;
    f.state.StopRequested = true;
    f.state.JumpIndex = 50;
    const RunReport report = f.Run({});
    EXPECT_EQ(report.outcome, RunOutcome::Completed);
    EXPECT_EQ(report.directionWindows, 200);
}

TEST(RunAnalysis, AStopDuringTheIntensityPassTakesEffectAtTheFirstStopTest)
{
    Fixture f;
    // The stop click is a window message: it sets the flag during a yield.
    SharedState* state = &f.state;
    f.host.onYield = [state](FakeHost& h) {
        if (h.yields == 20) state->StopRequested = true;
    };
    const RunReport report = f.Run({});
    EXPECT_EQ(report.outcome, RunOutcome::Stopped);
    EXPECT_EQ(report.intensityRows, 200);
    EXPECT_EQ(report.directionWindows, 1);
    EXPECT_EQ(f.host.progress.back(), 0.0f);
    EXPECT_EQ(f.host.Count("ClearDirection"), 1);  // the stopped window's drawing is cleared
}

TEST(RunAnalysis, AJumpWhilePausedMakesTheChosenWindowTheNextOne)
{
    Fixture f;
    SharedState* state = &f.state;
    int jumps = 0;
    f.host.onYield = [state, &jumps, &f](FakeHost& h) {
        const int markers = f.Markers();
        if (markers == 5 && !state->Paused && jumps == 0) state->Paused = true;  // pause during window 2
        if (state->Paused && h.calls.back() == "Wait" && jumps == 0) {
            state->JumpIndex = 80;  // a press on the strip over 400 ms
            ++jumps;
        } else if (jumps == 1 && markers == 7) {
            state->Paused = false;  // resume during the chosen window's wait
            ++jumps;
        }
    };
    const RunReport report = f.Run({"0", "1000", "5", "5"});
    EXPECT_EQ(report.outcome, RunOutcome::Completed);
    // Windows 0, 1, 2, then 80 to 199.
    EXPECT_EQ(report.directionWindows, 3 + 120);
    const std::string table = f.storage.Table(kReference);
    EXPECT_NE(table.find("\r\n10,0,0,"), std::string::npos);
    EXPECT_EQ(table.find("\r\n15,0,0,"), std::string::npos);
    const std::size_t window2 = table.find("\r\n10,0,0,");
    ASSERT_NE(window2, std::string::npos);
    EXPECT_EQ(table.substr(table.find("\r\n", window2 + 2) + 2, 8), "400,0,0,");
    // The reported directions follow the jump, each with its own window's time.
    ASSERT_EQ(f.host.computed.size(), 3u + 120u);
    EXPECT_EQ(f.host.computed[2].TimeMs, 10);
    EXPECT_EQ(f.host.computed[3].TimeMs, 400);
}

TEST(RunAnalysis, EachDirectionWindowDrawsWaitsAndClearsInOrder)
{
    Fixture f;
    f.Run({"0", "10", "5", "3"});  // two windows, 3 ms pause
    const std::vector<std::string> expected = {
        "WindowMarker 0.000000", "ShowDirection", "Wait", "ClearDirection", "WindowMarker 0.000000",
        "WindowMarker 5.000000", "ShowDirection", "Wait", "ClearDirection", "WindowMarker 5.000000"};
    const auto first = std::find(f.host.calls.begin(), f.host.calls.end(), "DrawStripGrid");
    ASSERT_NE(first, f.host.calls.end());
    EXPECT_EQ(std::vector<std::string>(first + 1, f.host.calls.end()), expected);
}

TEST(RunAnalysis, ProgressDuringAndAfterThePasses)
{
    Fixture f;
    f.Run({"0", "1000", "5", "0"});
    const auto& p = f.host.progress;
    ASSERT_EQ(p.size(), 200u + 200u + 1u);
    EXPECT_EQ(p[0], 0.0f);
    EXPECT_EQ(p[199], 99.5f);
    EXPECT_FLOAT_EQ(p[200], 0.0f);    // direction pass: (0 - 0) / (199 - 0)
    EXPECT_FLOAT_EQ(p[399], 100.0f);  // the last window
    EXPECT_EQ(p.back(), 0.0f);
}

TEST(RunAnalysis, ClosingTheWindowStopsWithCompleteLines)
{
    Fixture f;
    f.host.onYield = [](FakeHost& h) {
        if (h.yields == 51) h.quit = true;
    };
    const RunReport report = f.Run({});
    EXPECT_EQ(report.outcome, RunOutcome::Closed);
    const std::string table = f.storage.Table(kIntensity);
    EXPECT_EQ(f.Lines(kIntensity), 1 + 50);
    EXPECT_EQ(table.substr(table.size() - 2), "\r\n");
    EXPECT_FALSE(f.storage.HasTable(kReference));
    EXPECT_TRUE(f.host.warnings.empty());
}

TEST(RunAnalysis, NonFiniteSamplesDoNotStopTheRun)
{
    auto frames = test::Repeat({0.5, 0, 0, 0.5}, 1201);
    frames[300].W = std::numeric_limits<double>::quiet_NaN();  // window 1
    frames[600].X = std::numeric_limits<double>::infinity();   // window 2
    Fixture f(MakeWav(frames));
    const RunReport report = f.Run({"0", "1000", "5", "0"});
    EXPECT_EQ(report.outcome, RunOutcome::Completed);
    const std::string table = f.storage.Table(kIntensity);
    EXPECT_NE(table.find("\r\nNaN,NaN,NaN,NaN\r\n"), std::string::npos);  // 0 x NaN is NaN too
    EXPECT_NE(table.find("\r\nInfinity,Infinity,0,0\r\n"), std::string::npos);
    EXPECT_EQ(report.referenceRows, 3);  // windows 0, 3 and 4
}

TEST(RunAnalysis, ThePathIsTakenOnceWhenTheRunStarts)
{
    Fixture f;
    f.storage.inputs["/rooms/other.wav"] = MakeWav({{1, 0, 0, 0}}, {.channels = 2});
    SharedState* state = &f.state;
    f.host.onYield = [state](FakeHost& h) {
        if (h.yields == 10) state->IrFileName = "/rooms/other.wav";
    };
    const RunReport report = f.Run({});
    EXPECT_EQ(report.outcome, RunOutcome::Completed);
    EXPECT_EQ(report.referenceTablePath, kReference);
    EXPECT_FALSE(f.storage.HasTable("/rooms/other.csv"));
}

TEST(RunAnalysis, AFileDeletedBetweenThePassesEndsTheRunWithAMessage)
{
    Fixture f;
    f.storage.beforeRead = [](MemoryStorage& s, int read) {
        if (read == 2) s.inputs.clear();
    };
    const RunReport report = f.Run({});
    EXPECT_EQ(report.outcome, RunOutcome::Rejected);
    EXPECT_EQ(f.Lines(kIntensity), 201);
    EXPECT_FALSE(f.storage.HasTable(kReference));
}

TEST(RunAnalysis, WaitingSleepsInsteadOfSpinning)
{
    Fixture f;
    f.Run({"0", "50", "5", "20"});  // ten windows, 20 ms each
    // One sleep per window covers the whole pause; the first window, at the skip, is waited on too (pause > 0).
    EXPECT_EQ(f.host.Count("Wait"), 10);
    EXPECT_GE(f.host.clockMs, 200);
}

}  // namespace
}  // namespace halvane
