// halvane-batch as a hostile or careless user drives it: outputs that are
// inputs, links and pipes where tables go, tables shared by two inputs,
// concurrent runs, a full standard output and files over 2 GB. Whatever the
// command line, no file that is not one of the run's own outputs changes,
// nothing hangs, and the exit status tells what happened.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "BatchRun.h"
#include "bformat/WavWriter.h"
#include "support/TestWav.h"

namespace halvane {
namespace {

namespace fs = std::filesystem;

using CommandRun = test::BatchRun;
using test::Batch;

class BatchOutputs : public ::testing::Test {
public:
    void SetUp() override
    {
        m_dir = fs::temp_directory_path() / ("halvane-outputs-" + std::to_string(::getpid()) + "-" +
                                             ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        m_wav = test::MakeWav(test::Repeat(test::PlaneWave(0.5, 30, 10), 9601));
    }
    void TearDown() override { fs::remove_all(m_dir); }
    std::string Path(const std::string& name) const { return (m_dir / name).string(); }
    std::string WriteWav(const std::string& name) const
    {
        test::WriteFile(Path(name), m_wav);
        return Path(name);
    }

    fs::path m_dir;
    std::vector<std::byte> m_wav;
};

TEST_F(BatchOutputs, NoInputAndNoForeignFileIsEverWrittenThrough)
{
    struct Row {
        const char* name;
        std::function<std::string(BatchOutputs&)> prepare;  // returns the arguments
        std::vector<const char*> untouched;                 // files that must keep their bytes
        int status;
    };
    const Row rows[] = {
        {"a later input named like an earlier input's table",
         [](BatchOutputs& t) { return t.WriteWav("take.wav") + " " + t.WriteWav("take.csv"); },
         {"take.csv"},
         1},
        {"a table name linked to a later input",
         [](BatchOutputs& t) {
             fs::create_symlink(t.Path("b.wav"), t.Path("a.csv"));
             return t.WriteWav("a.wav") + " " + t.WriteWav("b.wav");
         },
         {"b.wav"},
         1},
        {"the reflection list spelt as the intensity table",
         [](BatchOutputs& t) { return "--reflections " + t.Path(".") + "/room.csv " + t.WriteWav("room.wav"); },
         {},
         1},
        {"the picture spelt as the reference table",
         [](BatchOutputs& t) { return "--png " + t.Path("") + "/room_ref.csv " + t.WriteWav("room.wav"); },
         {},
         1},
        {"the list and the picture under one name",
         [](BatchOutputs& t) {
             return "--reflections " + t.Path("x") + " --png " + t.Path("x") + " " + t.WriteWav("room.wav");
         },
         {},
         1},
        {"both tables hard-linked to one file",
         [](BatchOutputs& t) {
             test::WriteFile(t.Path("room.csv"), std::string("kept"));
             fs::create_hard_link(t.Path("room.csv"), t.Path("room_ref.csv"));
             return t.WriteWav("room.wav");
         },
         {"room.csv", "room_ref.csv"},
         1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        const std::string args = row.prepare(*this);
        std::vector<std::string> before;
        for (const char* name : row.untouched) before.push_back(test::ReadFile(Path(name)));
        const CommandRun r = Batch(args);
        EXPECT_EQ(r.status, row.status) << r.out;
        EXPECT_NE(r.out.find("would replace"), std::string::npos) << r.out;
        for (std::size_t i = 0; i < before.size(); ++i) {
            EXPECT_EQ(test::ReadFile(Path(row.untouched[i])), before[i]) << row.untouched[i];
        }
    }
}

TEST_F(BatchOutputs, ARefusedRunLeavesEveryOldTableAsItWas)
{
    struct Row {
        const char* name;
        std::vector<std::byte> input;
        std::string options;
        const char* message;
    };
    const std::vector<std::byte> stereo = test::MakeWav(test::Repeat({0.5, 0, 0, 0.5}, 960), {.channels = 2});
    const Row rows[] = {
        {"an averaging window of 0.01 microseconds", m_wav, "--window 0.00001", "averaging windows for a file of"},
        {"a header claiming 2 GB more data than the file holds",
         test::MakeWav(test::Repeat(test::PlaneWave(0.5, 30, 10), 9601), {.dataSizeDelta = 2000000000}),
         "--window 0.001", "more averaging windows than can be counted"},
        {"two channels", stereo, "", "not a 4-ch."},
        {"two channels, with every other output asked for", stereo,
         "--band 500 --room-parameters " + Path("p.csv") + " --reflections " + Path("l.csv"), "not a 4-ch."},
    };
    const std::vector<std::string> tables = {"room.csv",           "room_ref.csv", "room_500Hz.csv",
                                             "room_500Hz_ref.csv", "p.csv",        "l.csv"};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        test::WriteFile(Path("room.wav"), row.input);
        for (const std::string& table : tables) test::WriteFile(Path(table), "old " + table + "\r\n");
        const CommandRun r = Batch(row.options + " " + Path("room.wav"));
        EXPECT_EQ(r.status, 1) << r.out;
        EXPECT_NE(r.out.find(row.message), std::string::npos) << r.out;
        for (const std::string& table : tables) {
            std::ifstream in(Path(table), std::ios::binary);
            const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            EXPECT_EQ(bytes, "old " + table + "\r\n") << table;
        }
        for (const auto& entry : fs::directory_iterator(m_dir))
            EXPECT_EQ(entry.path().filename().string().find(".part"), std::string::npos) << entry.path();
    }
}

TEST_F(BatchOutputs, EveryOutputIsCheckedBeforeAnyAnalysisStarts)
{
    struct Row {
        const char* name;
        std::string options;  // with DIR for the test's folder
        std::string message;
    };
    const std::vector<Row> rows = {
        {"a reflection list in a folder that does not exist", "--reflections DIR/nosuch/l.csv",
         "the reflection list DIR/nosuch/l.csv cannot be created: No such file or directory"},
        {"a room-parameter table where a folder is", "--room-parameters DIR/taken",
         "the room-parameter table DIR/taken cannot be created: it is a folder"},
        {"a picture below a file", "--png DIR/plain.txt/p.png",
         "the picture DIR/plain.txt/p.png cannot be created: Not a directory"},
        {"a band's table where a folder is", "--band 500 --reflections DIR/l.csv",
         "the table DIR/room_500Hz.csv cannot be created: it is a folder"},
    };
    fs::create_directories(Path("taken"));
    fs::create_directories(Path("room_500Hz.csv"));
    test::WriteFile(Path("plain.txt"), "text");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto withDir = [this](std::string text) {
            for (std::size_t at; (at = text.find("DIR")) != std::string::npos;) text.replace(at, 3, m_dir.string());
            return text;
        };
        const CommandRun r = Batch(withDir(row.options) + " " + WriteWav("room.wav"));
        EXPECT_EQ(r.status, 1) << r.out;
        EXPECT_NE(r.out.find(withDir(row.message) + "; nothing was written"), std::string::npos) << r.out;
        // Refused before the analysis began: not even the first tables were written.
        EXPECT_FALSE(fs::exists(Path("room.csv")));
        EXPECT_FALSE(fs::exists(Path("l.csv")));
    }
}

// A response of seconds of 48 kHz float frames: a plane wave's impulse and a slowly decaying
// noise after it on every channel, written in blocks.
void WriteLongResponse(const std::string& path, double seconds)
{
    std::ofstream out(path, std::ios::binary);
    FloatWavWriter writer(out, 48000, 4);
    ASSERT_TRUE(writer.Begin().Ok());
    std::uint32_t seed = 1;
    std::vector<float> block;
    const auto frames = static_cast<std::size_t>(seconds * 48000);
    for (std::size_t n = 0; n < frames;) {
        block.clear();
        for (std::size_t k = 0; k < 48000 && n < frames; ++k, ++n) {
            const float envelope = static_cast<float>(0.1 * std::exp(-static_cast<double>(n) / 48000.0 / 30.0));
            for (int c = 0; c < 4; ++c) {
                seed = seed * 1664525u + 1013904223u;
                block.push_back(envelope * (static_cast<float>(seed >> 8) / 16777216.0f - 0.5f) +
                                (n < 24 && (c == 0 || c == 3) ? 0.9f : 0.0f));
            }
        }
        ASSERT_TRUE(writer.Write(block).Ok());
    }
    ASSERT_TRUE(writer.Finish().Ok());
}

// The command started with args (its standard output and error into out.txt), signalled once
// it has run for delay; how long it took to end after the first signal, and its status.
struct StoppedRun {
    double secondsToEnd = 0;
    int status = 0;
};
StoppedRun RunAndStop(const std::vector<std::string>& args, std::chrono::milliseconds delay,
                      const std::vector<int>& signals, const std::string& outPath,
                      const std::function<bool()>& ready = {})
{
    const pid_t child = fork();
    if (child == 0) {
        const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, 1);
        dup2(out, 2);
        std::vector<std::string> copy = args;
        std::vector<char*> argv;
        for (std::string& arg : copy) argv.push_back(arg.data());
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    const auto started = std::chrono::steady_clock::now();
    while (ready && !ready() && std::chrono::steady_clock::now() - started < std::chrono::seconds(30))
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(delay);
    const auto signalled = std::chrono::steady_clock::now();
    for (const int signal : signals) {
        kill(child, signal);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    StoppedRun run;
    waitpid(child, &run.status, 0);
    run.secondsToEnd = std::chrono::duration<double>(std::chrono::steady_clock::now() - signalled).count();
    return run;
}

// A stop is seen between the analyses' blocks: well within a second here, and within two in
// the sanitized build, which runs unoptimised.
constexpr double kStopSeconds = 2.0;

TEST_F(BatchOutputs, AStopDuringALongAnalysisEndsItPromptlyAndKeepsWhatWasFinished)
{
    WriteLongResponse(Path("room.wav"), 120);
    struct Row {
        const char* name;
        std::vector<std::string> options;
        int signal;
        std::vector<const char*> kept;     // finished before the stop: in place
        std::vector<const char*> dropped;  // under way or not begun: not written
    };
    const std::vector<Row> rows = {
        {"room parameters, SIGINT",
         {"--room-parameters", Path("r.csv")},
         SIGINT,
         {"room.csv", "room_ref.csv"},
         {"r.csv"}},
        {"every octave band, SIGTERM",
         {"--band", "all-octaves"},
         SIGTERM,
         {},
         {"room_4000Hz.csv", "room_4000Hz_ref.csv"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        for (const char* name : {"room.csv", "room_ref.csv", "r.csv", "room_4000Hz.csv"}) fs::remove(Path(name));
        std::vector<std::string> args = {HALVANE_BATCH};
        args.insert(args.end(), row.options.begin(), row.options.end());
        args.push_back(Path("room.wav"));
        const StoppedRun run = RunAndStop(args, std::chrono::milliseconds(500), {row.signal}, Path("out.txt"));
        EXPECT_LT(run.secondsToEnd, kStopSeconds);
        EXPECT_TRUE(WIFSIGNALED(run.status) && WTERMSIG(run.status) == row.signal) << run.status;
        const std::string said = test::ReadFile(Path("out.txt"));
        EXPECT_NE(said.find("room.wav: stopped before "), std::string::npos) << said;
        EXPECT_NE(said.find("halvane-batch: stopped; 0 of 1 files were analysed\n"), std::string::npos) << said;
        for (const char* name : row.kept) EXPECT_TRUE(fs::exists(Path(name))) << name << "\n" << said;
        for (const char* name : row.dropped) {
            EXPECT_FALSE(fs::exists(Path(name))) << name;
            EXPECT_NE(said.find(Path(name)), std::string::npos) << name << "\n" << said;
        }
        for (const auto& entry : fs::directory_iterator(m_dir))
            EXPECT_EQ(entry.path().filename().string().find(".part-"), std::string::npos) << entry.path();
    }
}

TEST_F(BatchOutputs, NoPictureProgramOutlivesTheCommand)
{
    // The command beside a picture program that only notes its process number and waits.
    fs::create_directories(Path("bin"));
    fs::copy_file(HALVANE_BATCH, Path("bin/halvane-batch"));
    test::WriteFile(Path("bin/halvane-picture"),
                    "#!/bin/sh\necho $$ > \"$HALVANE_TEST_MARKER.tmp\"\n"
                    "mv \"$HALVANE_TEST_MARKER.tmp\" \"$HALVANE_TEST_MARKER\"\nexec sleep 60\n");
    fs::permissions(Path("bin/halvane-picture"), fs::perms::owner_all);
    const std::string room = WriteWav("room.wav");
    const std::vector<std::pair<const char*, std::vector<int>>> rows = {
        {"one interrupt", {SIGINT}},
        {"two interrupts", {SIGINT, SIGINT}},
        {"a termination", {SIGTERM}},
    };
    for (const auto& [name, signals] : rows) {
        SCOPED_TRACE(name);
        const std::string marker = Path("picture.pid");
        fs::remove(marker);
        setenv("HALVANE_TEST_MARKER", marker.c_str(), 1);
        const StoppedRun run =
            RunAndStop({Path("bin/halvane-batch"), "--png", Path("p.png"), room}, std::chrono::milliseconds(0), signals,
                       Path("out.txt"), [&marker] { return fs::exists(marker); });
        unsetenv("HALVANE_TEST_MARKER");
        ASSERT_TRUE(fs::exists(marker)) << test::ReadFile(Path("out.txt"));
        const pid_t picture = std::stoi(test::ReadFile(marker));
        EXPECT_LT(run.secondsToEnd, kStopSeconds);
        EXPECT_TRUE(WIFSIGNALED(run.status) && WTERMSIG(run.status) == signals.front()) << run.status;
        // Gone (and reaped) within a moment of the command's end.
        const auto ended = std::chrono::steady_clock::now();
        while (kill(picture, 0) == 0 && std::chrono::steady_clock::now() - ended < std::chrono::seconds(5))
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_NE(kill(picture, 0), 0) << "the picture program " << picture << " outlived the command";
        EXPECT_FALSE(fs::exists(Path("p.png")));
    }
}

TEST_F(BatchOutputs, EachAnalysisOfALongResponseNeedsAtMostTheFilesSizeAndAHundredMegabytes)
{
    WriteLongResponse(Path("room.wav"), 120);  // 92 MB
    const auto fileKb = static_cast<long>(fs::file_size(Path("room.wav")) / 1024);
    constexpr long kMarginKb = 100 * 1024;
    // The address sanitizer keeps freed blocks aside unless told not to.
    const std::string asan = std::getenv("ASAN_OPTIONS") != nullptr ? std::getenv("ASAN_OPTIONS") : "";
    setenv("ASAN_OPTIONS", (asan + ":quarantine_size_mb=0:thread_local_quarantine_size_kb=0").c_str(), 1);
    const std::vector<std::pair<const char*, std::vector<std::string>>> rows = {
        {"the tables", {}},
        {"one octave band", {"--band", "500"}},
        {"the room parameters", {"--room-parameters", Path("r.csv")}},
    };
    for (const auto& [name, options] : rows) {
        SCOPED_TRACE(name);
        const pid_t child = fork();
        if (child == 0) {
            const int devnull = open("/dev/null", O_WRONLY);
            dup2(devnull, 1);
            std::vector<std::string> args = {HALVANE_BATCH};
            args.insert(args.end(), options.begin(), options.end());
            args.push_back(Path("room.wav"));
            std::vector<char*> argv;
            for (std::string& arg : args) argv.push_back(arg.data());
            argv.push_back(nullptr);
            execv(HALVANE_BATCH, argv.data());
            _exit(127);
        }
        int status = 0;
        rusage usage{};
        ASSERT_EQ(wait4(child, &status, 0, &usage), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        EXPECT_LT(usage.ru_maxrss, fileKb + kMarginKb) << "of a file of " << fileKb << " KB";
    }
    setenv("ASAN_OPTIONS", asan.c_str(), 1);
}

TEST_F(BatchOutputs, ASecondInputWithTheSameTablesIsRefusedNamingBoth)
{
    const std::string hall = WriteWav("hall.wav");
    const std::string amb = WriteWav("hall.amb");
    const CommandRun r = Batch(hall + " " + amb);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find(amb + ": the table " + Path("hall.csv") + " would replace the table " + Path("hall.csv") +
                         " of " + hall),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find(hall + ": 40 windows analysed"), std::string::npos) << r.out;
    EXPECT_GT(fs::file_size(Path("hall.csv")), 1000u);
}

TEST_F(BatchOutputs, LinksAtTableNamesAreReplacedAndTheirTargetsKept)
{
    test::WriteFile(Path("precious.txt"), std::string("precious"));
    fs::create_symlink(Path("precious.txt"), Path("room.csv"));
    const CommandRun r = Batch(WriteWav("room.wav"));
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(test::ReadFile(Path("precious.txt")), "precious");
    EXPECT_FALSE(fs::is_symlink(Path("room.csv")));
    EXPECT_TRUE(test::ReadFile(Path("room.csv")).starts_with("\"De\",\"Ix\",\"Iy\",\"Iz\"\r\n"));
    // No hidden file of an unfinished table is left.
    EXPECT_EQ(std::distance(fs::directory_iterator(m_dir), fs::directory_iterator()), 4);
}

TEST_F(BatchOutputs, PipesWhereFilesGoAreRefusedWithoutHanging)
{
    const std::string room = WriteWav("room.wav");
    ASSERT_EQ(mkfifo(Path("pipe").c_str(), 0600), 0);
    ASSERT_EQ(mkfifo(Path("room_ref.csv").c_str(), 0600), 0);
    CommandRun r = Batch(room);
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_NE(r.out.find("cannot be created"), std::string::npos) << r.out;
    fs::remove(Path("room_ref.csv"));

    r = Batch(Path("pipe"));
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_NE(r.out.find("it is not a regular file"), std::string::npos) << r.out;
#ifdef HALVANE_WITH_PICTURE
    r = Batch("--png " + Path("p.png") + " --background " + Path("pipe") + " " + room);
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_NE(r.out.find("not a regular file"), std::string::npos) << r.out;
    EXPECT_TRUE(fs::exists(Path("room_ref.csv")));  // the tables come first
#endif
}

#ifdef HALVANE_WITH_PICTURE
TEST_F(BatchOutputs, APictureIsDrawnOffscreenWhateverThePlatformAndNeverCostsTheTables)
{
    const std::string room = WriteWav("room.wav");
    CommandRun r = Batch("--png " + Path("p.png") + " " + room, "env QT_QPA_PLATFORM=wayland WAYLAND_DISPLAY=none");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(test::ReadFile(Path("p.png")).starts_with("\x89PNG"));
    // A picture that cannot be written names why before anything is analysed,
    // and the tables already there stay as they were.
    const std::string tables = test::ReadFile(Path("room.csv"));
    fs::create_directories(Path("locked"));
    r = Batch("--png " + Path("locked") + " " + room);
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_NE(r.out.find("it is a folder; nothing was written"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("40 windows analysed"), std::string::npos) << r.out;
    EXPECT_EQ(test::ReadFile(Path("room.csv")), tables);
}
#endif

TEST_F(BatchOutputs, AFullStandardOutputIsAFailure)
{
    // Its messages go where the tables' names were to be read: nowhere.
    const CommandRun r = Batch(WriteWav("room.wav") + " >/dev/full");
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_TRUE(fs::exists(Path("room_ref.csv")));
}

TEST_F(BatchOutputs, ConcurrentRunsLeaveOneWholeTable)
{
    // A longer file, so that the two runs overlap.
    test::WriteFile(Path("room.wav"), test::MakeWav(test::Repeat(test::PlaneWave(0.5, 30, 10), 480000)));
    const std::string room = Path("room.wav");
    const std::string one = Path("one.wav");
    const std::string two = Path("two.wav");
    fs::copy_file(room, one);
    fs::copy_file(room, two);
    ASSERT_EQ(Batch("--window 1 " + one).status, 0);
    ASSERT_EQ(Batch("--window 2 " + two).status, 0);
    CommandRun first;
    std::thread other([&] { first = Batch("--window 1 " + room); });
    const CommandRun second = Batch("--window 2 " + room);
    other.join();
    EXPECT_EQ(first.status, 0);
    EXPECT_EQ(second.status, 0);
    const std::string table = test::ReadFile(Path("room.csv"));
    EXPECT_TRUE(table == test::ReadFile(Path("one.csv")) || table == test::ReadFile(Path("two.csv")));
}

TEST_F(BatchOutputs, ManyFilesSideBySideSayTheSameAsOneAfterAnother)
{
    std::string files;
    for (int i = 0; i < 6; ++i) files += " " + WriteWav("ir" + std::to_string(i) + ".wav");
    files += " " + Path("missing.wav");
    const CommandRun serial = Batch("-j 1" + files);
    const std::string serialTable = test::ReadFile(Path("ir3.csv"));
    const CommandRun parallel = Batch("-j 4" + files);
    EXPECT_EQ(serial.status, 1);
    EXPECT_EQ(parallel.status, 1);
    EXPECT_EQ(parallel.out, serial.out);
    EXPECT_EQ(test::ReadFile(Path("ir3.csv")), serialTable);
}

// An honest float file with a 2.6 GB data chunk (sparse: silence takes no
// disk space) is analysed to its end, and the run's memory stays small
// because the file is mapped and streamed, not read whole.
TEST_F(BatchOutputs, AFileOver2GBIsAnalysedInLittleMemory)
{
    constexpr std::uint64_t kDataBytes = 2600000000ull / 16 * 16;
    auto header = test::MakeWav(test::Repeat(test::PlaneWave(0.5, 30, 10), 1));
    header.resize(header.size() - 16);  // keep the header only
    const std::uint32_t size32 = static_cast<std::uint32_t>(kDataBytes);
    std::memcpy(header.data() + header.size() - 4, &size32, 4);
    test::WriteFile(Path("big.wav"), header);
    fs::resize_file(Path("big.wav"), header.size() + kDataBytes);

    const pid_t child = fork();
    if (child == 0) {
        const std::string path = Path("big.wav");
        const int devnull = open("/dev/null", O_WRONLY);
        dup2(devnull, 1);
        execl(HALVANE_BATCH, HALVANE_BATCH, "--window", "1000", path.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    ASSERT_EQ(wait4(child, &status, 0, &usage), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    constexpr long kMaxPeakKb = 200 * 1024;  // the file itself is 2.6 GB
    EXPECT_LT(usage.ru_maxrss, kMaxPeakKb);
    // 162.5 million frames of 1 s windows at 48 kHz.
    const std::string table = test::ReadFile(Path("big.csv"));
    EXPECT_EQ(std::count(table.begin(), table.end(), '\n'), 1 + 3385);
}

// An interrupt (Ctrl-C) during a long command line lets the files under way
// finish: every table written is whole, nothing hidden is left in the
// folder, the files done are reported, and the command ends by the signal.
TEST_F(BatchOutputs, AnInterruptedRunFinishesItsFilesAndLeavesNothingHidden)
{
    // 2 s responses, so that the run is far from its end when it is interrupted.
    constexpr int kFiles = 400;
    const std::string first = Path("ir0.wav");
    test::WriteFile(first, test::MakeWav(test::Repeat(test::PlaneWave(0.5, 30, 10), 96000)));
    std::vector<std::string> args = {HALVANE_BATCH, "-j", "2", first};
    for (int i = 1; i < kFiles; ++i) {
        args.push_back(Path("ir" + std::to_string(i) + ".wav"));
        fs::create_hard_link(first, args.back());
    }
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    const pid_t child = fork();
    if (child == 0) {
        dup2(out[1], 1);
        close(out[0]);
        const int err = open(Path("err.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(err, 2);
        std::vector<char*> argv;
        for (std::string& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        execv(HALVANE_BATCH, argv.data());
        _exit(127);
    }
    close(out[1]);
    std::string said;
    char buffer[4096];
    ssize_t got = 0;
    // The first file's message, then the interrupt.
    while (said.find('\n') == std::string::npos && (got = read(out[0], buffer, sizeof buffer)) > 0) {
        said.append(buffer, static_cast<std::size_t>(got));
    }
    kill(child, SIGINT);
    while ((got = read(out[0], buffer, sizeof buffer)) > 0) said.append(buffer, static_cast<std::size_t>(got));
    close(out[0]);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << status;

    const auto reported = std::count(said.begin(), said.end(), '\n');
    EXPECT_GE(reported, 1);
    EXPECT_LT(reported, kFiles);
    EXPECT_EQ(test::ReadFile(Path("err.txt")), "halvane-batch: stopped; " + std::to_string(reported) + " of " +
                                                   std::to_string(kFiles) + " files were analysed\n");
    const std::string table = test::ReadFile(Path("ir0.csv"));
    for (int i = 0; i < kFiles; ++i) {
        const std::string name = Path("ir" + std::to_string(i) + ".csv");
        if (i < reported) {
            EXPECT_EQ(test::ReadFile(name), table) << name;
        } else if (fs::exists(name)) {
            EXPECT_EQ(test::ReadFile(name), table) << name;  // finished but not reported: still whole
        }
    }
    for (const auto& entry : fs::directory_iterator(m_dir)) {
        EXPECT_EQ(entry.path().filename().string().find(".part-"), std::string::npos) << entry.path();
    }
}

}  // namespace
}  // namespace halvane
