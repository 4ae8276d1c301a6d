// The results window's analysis of a whole response: the lists it gives are
// the ones halvane-batch writes for the same file, its refusals are the
// batch's words, a stop ends it quickly, its progress only goes forward, and
// the settings it takes from the main window's last run.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <sstream>
#include <thread>

#include "BatchRun.h"
#include "analysis/arrivals/ArrivalRemarks.h"
#include "analysis/results/ResponseAnalysis.h"
#include "report/ArrivalTable.h"
#include "report/RoomParameterTable.h"
#include "support/TestWav.h"

namespace halvane {
namespace {

namespace fs = std::filesystem;

class ResponseAnalysisTest : public ::testing::Test {
public:
    void SetUp() override
    {
        m_dir = fs::temp_directory_path() / ("halvane-results-" + std::to_string(::getpid()) + "-" +
                                             ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }
    std::string Path(const std::string& name) const { return (m_dir / name).string(); }

    Result<ResponseResults> Analyse(const std::string& path, const ResultsSettings& settings = {},
                                    const Cancellation& stop = Cancellation::Never())
    {
        DiskInput input;
        return AnalyseResponse(path, input, settings, m_progress, stop);
    }

    fs::path m_dir;
    ResultsProgress m_progress;
};

std::string ArrivalList(const ResponseResults& response)
{
    std::ostringstream list;
    WriteArrivalTable(list, response.findings.arrivals, SpeedOfSoundMPerS(std::nullopt), std::nullopt);
    return list.str();
}

std::string RoomTable(const ResponseResults& response)
{
    std::ostringstream table;
    WriteRoomParameterTable(table, response.results.roomParameters);
    return table.str();
}

TEST_F(ResponseAnalysisTest, TheDemoRoomGivesTheBatchCommandsLists)
{
    const std::string wav = Path("demo-room.wav");
    fs::copy_file(HALVANE_EXAMPLES_DIR "/demo-room.wav", wav);
    const auto response = Analyse(wav);
    ASSERT_TRUE(response) << response.Message();
    EXPECT_EQ(response->findings.arrivals.size(), 7u);
    EXPECT_EQ(response->results.arrivals.size(), 7u);
    EXPECT_EQ(response->results.roomParameters.size(), 7u);
    EXPECT_EQ(response->results.intensityWindows.size(), 100u);  // 0.5 s in 5 ms windows
    EXPECT_EQ(response->results.directionWindows.size(), 100u);
    EXPECT_EQ(response->results.irFileName, wav);
    EXPECT_TRUE(response->notes.empty());
    ASSERT_NE(response->signal, nullptr);
    EXPECT_EQ(response->signal->X.size(), response->signal->W.size());
    EXPECT_EQ(m_progress.Step(), ResultsStep::Finished);
    EXPECT_EQ(m_progress.Percent(), 100);
    // Nothing beside the file: the run's tables went nowhere.
    EXPECT_FALSE(fs::exists(Path("demo-room.csv")));
    EXPECT_FALSE(fs::exists(Path("demo-room_ref.csv")));

    const test::BatchRun batch = test::Batch("--reflections " + Path("list.csv") + " --room-parameters " +
                                             Path("room.csv") + " " + Path("demo-room.wav"));
    ASSERT_EQ(batch.status, 0) << batch.out;
    EXPECT_EQ(ArrivalList(*response), test::ReadFile(Path("list.csv")));
    EXPECT_EQ(RoomTable(*response), test::ReadFile(Path("room.csv")));
}

TEST_F(ResponseAnalysisTest, AFileInAnotherConventionSaysSoAsTheBatchDoes)
{
    // A decaying plane wave from Az 30, El 10 stored in the traditional order and gains.
    std::vector<test::Frame4> frames;
    for (int n = 0; n < 4800; ++n) {
        const test::Frame4 f = test::PlaneWave(0.5 * std::exp(-n / 400.0), 30, 10);
        frames.push_back({f.W / std::sqrt(2.0), f.X, f.Y, f.Z});
    }
    const std::string wav = Path("fuma.wav");
    test::WriteFile(wav, test::MakeWav(frames));
    const auto response = Analyse(wav);
    ASSERT_TRUE(response) << response.Message();
    const std::string& notice = response->results.conventionNotice;
    ASSERT_FALSE(notice.empty());
    EXPECT_EQ(response->notes.front(), "This file may not be AmbiX/SN3D: " + notice + ".");
    // The batch's warning, which its picture's title block carries, is the same sentence.
    const test::BatchRun batch = test::Batch(wav);
    EXPECT_NE(batch.out.find(wav + ": warning: " + notice + "\n"), std::string::npos) << batch.out;
}

TEST_F(ResponseAnalysisTest, RefusalsAreTheBatchCommandsWords)
{
    struct Row {
        const char* name;
        std::string content;  // empty: no file at all
    };
    const Row rows[] = {
        {"no such file", ""},
        {"text", "these are notes, not sound\n"},
        {"two channels", test::RiffFile(test::Chunk("fmt ", test::FmtBody(test::kTagPcm, 2, 48000, 4, 16)) +
                                        test::Chunk("data", std::string(400, '\1')))},
        {"24-bit samples, which halvane-convert makes readable",
         test::RiffFile(test::Chunk("fmt ", test::FmtBody(test::kTagPcm, 4, 48000, 12, 24)) +
                        test::Chunk("data", std::string(1200, '\1')))},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string wav = Path(std::string(row.name) + ".wav");
        if (!row.content.empty()) test::WriteFile(wav, row.content);
        const auto response = Analyse(wav);
        ASSERT_FALSE(response);
        const test::BatchRun batch = test::Batch("--reflections " + Path("l.csv") + " '" + wav + "'");
        EXPECT_NE(batch.status, 0);
        // The batch says each line after the file's name.
        std::istringstream said(response.Message());
        for (std::string line; std::getline(said, line);) {
            EXPECT_NE(batch.out.find(wav + ": " + line + "\n"), std::string::npos) << line << "\n" << batch.out;
        }
    }
}

TEST_F(ResponseAnalysisTest, AStopEndsTheAnalysisQuickly)
{
    // 20 s of a plane wave in noise at 48 kHz: seconds of work.
    std::vector<test::Frame4> frames(48000 * 20);
    std::uint64_t state = 3;
    for (std::size_t n = 0; n < frames.size(); ++n) {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        const double noise = static_cast<double>(state >> 11) * 0x1.0p-53 - 0.5;
        frames[n] = test::PlaneWave(n == 2400 ? 0.9 : 0.01 * noise, 40, 10);
    }
    const std::string wav = Path("long.wav");
    test::WriteFile(wav, test::MakeWav(frames));

    Cancellation before;
    before.Request();
    const auto stoppedAtOnce = Analyse(wav, {}, before);
    ASSERT_FALSE(stoppedAtOnce);
    EXPECT_EQ(stoppedAtOnce.Message(), kCancelledMessage);

    auto timed = [&](const Cancellation& stop, double& tookMs) {
        const auto started = std::chrono::steady_clock::now();
        auto response = Analyse(wav, {}, stop);
        tookMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
        return response;
    };
    double wholeMs = 0;
    ASSERT_TRUE(timed(Cancellation::Never(), wholeMs));
    // Stopped early in the run's windows and later among the analyses.
    for (const double share : {0.05, 0.35}) {
        SCOPED_TRACE(share);
        const int afterMs = static_cast<int>(share * wholeMs);
        Cancellation stop;
        std::thread asker([&stop, afterMs] {
            std::this_thread::sleep_for(std::chrono::milliseconds(afterMs));
            stop.Request();
        });
        double tookMs = 0;
        const auto response = timed(stop, tookMs);
        asker.join();
        ASSERT_FALSE(response);
        EXPECT_EQ(response.Message(), kCancelledMessage);
        // Ended well before the whole analysis would have: the stop is polled
        // inside every step. (How soon is for the benchmarks; a shared
        // machine's scheduling makes any bound in ms here a guess.)
        EXPECT_LT(tookMs, wholeMs) << "stopped after " << afterMs << " ms";
    }
}

TEST_F(ResponseAnalysisTest, SettingsComeFromTheMainWindowsLastRun)
{
    struct Row {
        const char* name;
        double skipMs, displayMs, windowMs;
        const char *skip, *display, *window;
    };
    const Row rows[] = {
        {"a window that has not run", 0, 0, 0, "0", "1000", "5"},
        {"whole values", 20, 300, 2, "20", "300", "2"},
        {"fractions as typed", 0.1, 312.5, 0.25, "0.1", "312.5", "0.25"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SharedState state;
        state.SkipMs = row.skipMs;
        state.DisplayWindowMs = row.displayMs;
        state.AveragingWindowMs = row.windowMs;
        const ResultsSettings settings = SettingsOfRun(state);
        EXPECT_EQ(settings.skipMs, row.skip);
        EXPECT_EQ(settings.displayMs, row.display);
        EXPECT_EQ(settings.windowMs, row.window);
    }
}

TEST(ResultsProgressTest, GoesForwardStepByStep)
{
    struct Row {
        const char* name;
        ResultsStep step;
        double share;
        int percent;
    };
    const Row rows[] = {
        {"start", ResultsStep::Opening, 0, 0},
        {"file opened", ResultsStep::Windows, 0, 5},
        {"half the run", ResultsStep::Windows, 0.5, 20},
        {"share beyond the step", ResultsStep::Windows, 7, 35},
        {"share not a number", ResultsStep::Arrivals, std::nan(""), 35},
        {"room parameters begun", ResultsStep::RoomParameters, 0.2, 72},
        {"finished", ResultsStep::Finished, 0, 100},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ResultsProgress progress;
        progress.Begin(row.step);
        progress.SetShare(row.share);
        EXPECT_EQ(progress.Step(), row.step);
        EXPECT_EQ(progress.Percent(), row.percent);
        EXPECT_FALSE(ResultsStepWords(row.step).empty());
    }
}

TEST(ArrivalRemarksTest, SayWhatTheListCannotShow)
{
    struct Row {
        const char* name;
        ArrivalFindings findings;
        std::vector<std::string> remarks;
    };
    ArrivalFindings clipped;
    clipped.directClipped = true;
    ArrivalFindings blocked;
    blocked.strongerThanDirect = 2;
    blocked.strongestAboveDirectDb = 3.04;
    blocked.strongestAboveDirectMs = 12.3456;
    ArrivalFindings noise;
    noise.notAnImpulseResponse = true;
    noise.directClipped = true;
    const Row rows[] = {
        {"a clean list", {}, {}},
        {"clipped",
         clipped,
         {"the direct sound clipped: its flattened peak was restored from the rest of the recording before the "
          "levels were taken re it"}},
        {"blocked",
         blocked,
         {"2 later arrivals are stronger than the direct sound (up to 3.0 dB, at 12.346 ms) and not listed: the "
          "direct path may be blocked"}},
        {"noise that clipped",
         noise,
         {"this does not look like an impulse response (no clear onset or no decay), so only its first loud sound "
          "is listed",
          "the direct sound clipped: its flattened peak was restored from the rest of the recording before the "
          "levels were taken re it"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ArrivalRemarks(row.findings), row.remarks);
    }
}

}  // namespace
}  // namespace halvane
