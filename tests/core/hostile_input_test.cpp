// Inputs that lie: headers whose sizes, rates and frame strides promise far
// more than the file holds, parameters that multiply the windows of a pass,
// and tables that cannot be written to the end. Each hostile header is
// written here byte by byte. A run over any of them must finish quickly,
// refuse with one "Sorry, ..." warning where the work would explode, and
// never pass an incomplete table off as complete.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <streambuf>
#include <string>
#include <vector>

#include <sys/resource.h>

#include "analysis/RunAnalysis.h"
#include "analysis/ScriptedDialogue.h"
#include "bformat/WavHeader.h"
#include "support/FakeHost.h"
#include "support/TestWav.h"

namespace halvane {
namespace {

using test::FakeHost;
using test::MemoryStorage;
using test::PutId;
using test::PutU16;
using test::PutU32;

const std::string kInput = "/rooms/hall.wav";
const std::string kIntensity = "/rooms/hall.csv";
const std::string kReference = "/rooms/hall_ref.csv";

// A run over a hostile header is allowed this much wall time, sanitizer
// builds included; the unguarded cases took minutes to hours.
constexpr double kMaxSecondsPerRun = 5.0;

// And this much growth of the process's peak memory: far below the claimed
// sizes (up to 2 GB), far above what a run over 200 bytes needs.
constexpr long kMaxPeakGrowthKb = 64 * 1024;

long PeakMemoryKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// The canonical 44-byte header (data chunk header at byte 37) with every
// field as given, followed by sampleBytes bytes of a ramp. The defaults make
// a 200-byte 16-bit file that tells the truth.
struct HostileHeader {
    std::uint32_t fmtSize = 16;
    std::uint16_t channels = 4;
    std::uint32_t sampleRate = 48000;
    std::uint16_t blockAlign = 8;
    std::uint16_t bits = 16;
    std::int64_t dataSize = -1;  // -1: the sample bytes actually present
    std::size_t sampleBytes = 156;
    bool noBytesAtAll = false;  // a zero-length file instead

    std::vector<std::byte> Bytes() const
    {
        std::vector<std::byte> b;
        if (noBytesAtAll) return b;
        PutId(b, "RIFF");
        PutU32(b, static_cast<std::uint32_t>(36 + sampleBytes));
        PutId(b, "WAVE");
        PutId(b, "fmt ");
        PutU32(b, fmtSize);
        PutU16(b, bits == 32 ? 3 : 1);
        PutU16(b, channels);
        PutU32(b, sampleRate);
        PutU32(b, sampleRate * blockAlign);
        PutU16(b, blockAlign);
        PutU16(b, bits);
        PutId(b, "data");
        PutU32(b, static_cast<std::uint32_t>(dataSize >= 0 ? dataSize : static_cast<std::int64_t>(sampleBytes)));
        for (std::size_t i = 0; i < sampleBytes; ++i) b.push_back(std::byte(i * 37 + 11));
        return b;
    }
};

struct Outcome {
    RunReport report;
    std::vector<std::string> warnings;
    std::string intensityTable;
    bool referenceTableCreated = false;
    double seconds = 0;
};

Outcome RunOn(const std::vector<std::byte>& input, std::vector<std::optional<std::string>> answers)
{
    SharedState state;
    state.IrFileName = kInput;
    FakeHost host;
    host.answers = std::move(answers);
    MemoryStorage storage;
    storage.inputs[kInput] = input;
    const auto start = std::chrono::steady_clock::now();
    Outcome out;
    out.report = test::RunWith(state, host, storage);
    out.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    out.warnings = host.warnings;
    out.intensityTable = storage.Table(kIntensity);
    out.referenceTableCreated = storage.HasTable(kReference);
    return out;
}

const char* const kDefaultAnswers[] = {"0", "1000", "5", "0"};
const char* const kTooManyWindows = "Sorry, this run would need ";

TEST(HostileInput, HeadersThatLieAboutTheirSizeCostNoMoreThanTheFile)
{
    struct Row {
        const char* name;
        HostileHeader header;
        std::vector<std::optional<std::string>> answers;  // empty: the defaults 0, 1000, 5, 0
        const char* warningStart;                         // nullptr: the run completes
        std::int64_t intensityRows;                       // when it completes
    };
    const Row rows[] = {
        {"DataSize 2 GB on a 200-byte 16-bit file: 1 118 481 windows",
         {.dataSize = 0x7FFFFFFF},
         {},
         "Sorry, this run would need 1118481 averaging windows for a file of 200 bytes; check the averaging "
         "window, the number of ms to skip and the file's data size!",
         0},
        {"DataSize 2 GB on a 200-byte 32-bit file: 559 240 windows",
         {.blockAlign = 16, .bits = 32, .dataSize = 0x7FFFFFFF},
         {},
         kTooManyWindows,
         0},
        {"DataSize 2 GB with 2 s windows: 2796 rows of zeros past the end are kept",
         {.dataSize = 0x7FFFFFFF},
         {"0", "1000", "2000", "0"},
         nullptr,
         2796},
        {"DataSize 2 GB with 1 s windows: 5592 windows for 200 bytes",
         {.dataSize = 0x7FFFFFFF},
         {"0", "1000", "1000", "0"},
         kTooManyWindows,
         0},
        {"DataSize 0xFFFFFFFF (an unfinished recording) reads to the end: 19 frames, no whole window",
         {.dataSize = 0xFFFFFFFF},
         {},
         nullptr,
         0},
        {"DataSize 0xFFFFFFFF with 0.125 ms windows: the 19 frames present in 3 windows",
         {.dataSize = 0xFFFFFFFF},
         {"0", "1000", "0.125", "0"},
         nullptr,
         3},
        {"BlockAlign 1: overlapping 16-bit frames are refused",
         {.blockAlign = 1},
         {},
         "Sorry, this .WAV file's frames (BlockAlign 1 bytes) are narrower than its four samples (8 bytes)!",
         0},
        {"BlockAlign 15 with 32-bit samples is refused",
         {.blockAlign = 15, .bits = 32},
         {},
         "Sorry, this .WAV file's frames (BlockAlign 15 bytes) are narrower than its four samples (16 bytes)!",
         0},
        {"BlockAlign 32767 with DataSize 2 GB: frames 32 KB apart",
         {.blockAlign = 32767, .dataSize = 0x7FFFFFFF},
         {},
         nullptr,
         273},
        {"BlockAlign 65535 reads as -1",
         {.blockAlign = 65535, .dataSize = 0x7FFFFFFF},
         {},
         "Sorry, this .WAV file gives no valid frame size (BlockAlign)!",
         0},
        {"sample rate 1: 0.005 frames per window, 3600 rows of zeros", {.sampleRate = 1}, {}, nullptr, 3600},
        {"sample rate 1 with DataSize 10 MB: 250 million windows",
         {.sampleRate = 1, .dataSize = 10000000},
         {},
         kTooManyWindows,
         0},
        {"sample rate 2147483647 with DataSize 2 GB: 25 windows of 10.7 M frames",
         {.sampleRate = 2147483647, .dataSize = 0x7FFFFFFF},
         {},
         nullptr,
         25},
        {"sample rate 0x80000000 reads as negative",
         {.sampleRate = 0x80000000u},
         {},
         "Sorry, this .WAV file gives no valid sample rate!",
         0},
        {"half a frame per window in a 20 000-byte file: 4988 windows, as many as its bytes allow",
         {.sampleRate = 100, .sampleBytes = 19956},
         {},
         nullptr,
         4988},
        {"half a frame per window: 36 rows of zeros", {.sampleRate = 1000}, {"0", "1000", "0.5", "0"}, nullptr, 36},
        {"a window longer than the file: no row", {}, {"0", "1000", "1000", "0"}, nullptr, 0},
        {"a skip of -1000 s: 200 000 windows before the file", {}, {"-1000000", "1000", "5", "0"}, kTooManyWindows, 0},
        {"a skip of -20 s: 4000 rows of zeros before the file", {}, {"-20000", "1000", "5", "0"}, nullptr, 4000},
        {"a skip of -21 s: 4200 windows for 200 bytes", {}, {"-21000", "1000", "5", "0"}, kTooManyWindows, 0},
        {"a zero-length file", {.noBytesAtAll = true}, {}, kNotFourChannelsMessage, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto answers = row.answers;
        if (answers.empty()) answers.assign(std::begin(kDefaultAnswers), std::end(kDefaultAnswers));
        const long peakBeforeKb = PeakMemoryKb();
        const Outcome out = RunOn(row.header.Bytes(), answers);
        EXPECT_LT(out.seconds, kMaxSecondsPerRun);
        EXPECT_LT(PeakMemoryKb() - peakBeforeKb, kMaxPeakGrowthKb);
        if (row.warningStart != nullptr) {
            EXPECT_EQ(out.report.outcome, RunOutcome::Rejected);
            EXPECT_EQ(out.warnings.size(), 1u);
            EXPECT_EQ(out.warnings.empty() ? "" : out.warnings[0].substr(0, std::string(row.warningStart).size()),
                      row.warningStart);
            EXPECT_EQ(out.intensityTable, "<none>");  // a refused run writes no table
            EXPECT_FALSE(out.referenceTableCreated);
            continue;
        }
        EXPECT_EQ(out.report.outcome, RunOutcome::Completed) << (out.warnings.empty() ? "" : out.warnings[0]);
        EXPECT_TRUE(out.warnings.empty());
        EXPECT_EQ(out.report.intensityRows, row.intensityRows);
        const auto lines = std::count(out.intensityTable.begin(), out.intensityTable.end(), '\n');
        EXPECT_EQ(lines, row.intensityRows + 1);
    }
}

TEST(HostileInput, RowsPastTheEndOfALyingFileAreZeros)
{
    // 20 frames of a plane wave, a header claiming 2 GB, 2 s windows: the
    // first row holds the 19 frames that exist (offsets 1 to 19), every later
    // row reads only past the end.
    const std::vector<test::Frame4> frames(20, {100, 0, 0, 100});
    auto bytes = test::MakeWav(frames, {.bits = 16, .layout = test::Layout::Canonical44});
    const std::uint32_t claimed = 0x7FFFFFFF;
    for (int i = 0; i < 4; ++i) bytes[40 + static_cast<std::size_t>(i)] = std::byte((claimed >> (8 * i)) & 0xFF);
    const Outcome out = RunOn(bytes, {"0", "1000", "2000", "0"});
    ASSERT_EQ(out.report.outcome, RunOutcome::Completed);
    EXPECT_EQ(out.report.intensityRows, 2796);
    const std::string header = "\"De\",\"Ix\",\"Iy\",\"Iz\"\r\n";
    ASSERT_TRUE(out.intensityTable.starts_with(header + "380000,190000,0,0\r\n0,0,0,0\r\n"))
        << out.intensityTable.substr(0, 80);
    EXPECT_TRUE(out.intensityTable.ends_with("\r\n0,0,0,0\r\n"));
}

TEST(HostileInput, ChunkListsThatLieAreWalkedWithoutReadingOutsideTheFile)
{
    struct Row {
        const char* name;
        std::vector<std::byte> bytes;
        bool walked;  // fmt and data found by the walk
        std::int64_t dataStart;
    };
    // A chunk header: id and size.
    const auto chunk = [](const char* id, std::uint32_t size) {
        std::vector<std::byte> b;
        PutId(b, id);
        PutU32(b, size);
        return b;
    };
    const auto join = [](std::initializer_list<std::vector<std::byte>> parts) {
        std::vector<std::byte> b;
        for (const auto& p : parts) b.insert(b.end(), p.begin(), p.end());
        return b;
    };
    const std::vector<std::byte> riff =
        join({chunk("RIFF", 0xFFFFFFFF), {std::byte('W'), std::byte('A'), std::byte('V'), std::byte('E')}});
    const auto fmtBody = [] {
        std::vector<std::byte> b;
        PutU16(b, 1);
        PutU16(b, 4);
        PutU32(b, 48000);
        PutU32(b, 384000);
        PutU16(b, 8);
        PutU16(b, 16);
        return b;
    }();
    std::vector<std::byte> manyEmpty = riff;
    const std::vector<std::byte> empty = chunk("junk", 0);
    for (int i = 0; i < 10000; ++i) manyEmpty.insert(manyEmpty.end(), empty.begin(), empty.end());
    manyEmpty = join({manyEmpty, chunk("fmt ", 16), fmtBody, chunk("data", 8), std::vector<std::byte>(8)});

    const Row rows[] = {
        {"fmt claims 4 GB: the walk ends, fixed positions",
         join({riff, chunk("fmt ", 0xFFFFFFFF), fmtBody, chunk("data", 8), std::vector<std::byte>(8)}), false, 105},
        {"a chunk claims 4 GB before data: fixed positions",
         join({riff, chunk("fmt ", 16), fmtBody, chunk("LIST", 0xFFFFFFFE), chunk("data", 8)}), false, 105},
        {"data claims 4 GB and comes first: the walk cannot reach fmt",
         join({riff, chunk("data", 0xFFFFFFFF), chunk("fmt ", 16), fmtBody}), false, 105},
        {"an odd chunk size at the very end", join({riff, chunk("fmt ", 16), fmtBody, chunk("data", 3)}), true, 45},
        {"ten thousand empty chunks before fmt", manyEmpty, true, 12 + 80000 + 24 + 8 + 1},
        {"the file ends inside the fmt chunk", join({riff, chunk("fmt ", 16)}), false, 105},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const WavHeader h = ReadWavHeader(row.bytes);
        EXPECT_EQ(h.ChunkListWalked, row.walked);
        EXPECT_EQ(h.DataStart, row.dataStart);
        const Outcome out = RunOn(row.bytes, {"0", "1000", "5", "0"});
        EXPECT_LT(out.seconds, kMaxSecondsPerRun);
        EXPECT_NE(out.report.outcome, RunOutcome::Closed);
    }
}

// A table stream that takes capacity bytes and then fails, like a disk that
// fills up during the run.
class FillingDisk : public std::streambuf {
public:
    explicit FillingDisk(std::size_t capacity) : m_capacity(capacity) { }

protected:
    int_type overflow(int_type c) override
    {
        if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
        if (m_used >= m_capacity) return traits_type::eof();
        ++m_used;
        return c;
    }
    std::streamsize xsputn(const char*, std::streamsize n) override
    {
        const auto room = static_cast<std::streamsize>(m_capacity - m_used);
        const std::streamsize taken = std::min(n, room);
        m_used += static_cast<std::size_t>(taken);
        return taken;
    }

private:
    std::size_t m_capacity;
    std::size_t m_used = 0;
};

class FillingStorage : public MemoryStorage {
public:
    std::string fullTable;  // the table that runs out of space
    std::size_t capacity = 0;

    std::unique_ptr<std::ostream> CreateTable(const std::string& path) override
    {
        if (path != fullTable) return MemoryStorage::CreateTable(path);
        tables[path] = std::make_shared<std::ostringstream>();  // it exists, as on a disk
        return std::make_unique<Stream>(capacity);
    }

private:
    class Stream : public std::ostream {
    public:
        explicit Stream(std::size_t capacity) : std::ostream(nullptr), m_disk(capacity) { rdbuf(&m_disk); }

    private:
        FillingDisk m_disk;
    };
};

TEST(HostileInput, ATableThatRunsOutOfSpaceIsReportedNotPassedOffAsComplete)
{
    struct Row {
        const char* name;
        std::string table;
        std::size_t capacity;
        std::int64_t intensityRows;  // rows the run believed it wrote
    };
    const Row rows[] = {
        {"the intensity table fills the disk after 100 bytes", kIntensity, 100, 200},
        {"the reference table fills the disk after its header", kReference, 52, 200},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SharedState state;
        state.IrFileName = kInput;
        FakeHost host;
        host.answers = {"0", "1000", "5", "0"};
        FillingStorage storage;
        storage.fullTable = row.table;
        storage.capacity = row.capacity;
        test::WavFormat format;
        format.bits = 16;
        storage.inputs[kInput] = test::MakeWav(test::Repeat({1000, 0, 0, 1000}, 48001), format);
        const RunReport report = test::RunWith(state, host, storage);
        EXPECT_EQ(report.outcome, RunOutcome::Rejected);
        EXPECT_EQ(host.warnings,
                  std::vector<std::string>{"Sorry, the table " + row.table + " could not be written completely!"});
        EXPECT_EQ(report.intensityRows, row.intensityRows);
        if (row.table == kIntensity) {
            EXPECT_FALSE(storage.HasTable(kReference));
        }
    }
}

TEST(HostileInput, ATableOnAFullDiskFailsTheRunAndKeepsThePreviousTable)
{
    // A file size limit makes every write past 100 bytes fail, as on a full
    // disk. The table that was there before must survive whole, and no half
    // table may take its place.
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() /
                         ("halvane-hostile-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                          std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    fs::create_directories(dir);
    const fs::path input = dir / "room.wav";
    test::WavFormat format;
    format.bits = 16;
    test::WriteFile(input.string(), test::MakeWav(test::Repeat({1000, 0, 0, 1000}, 48001), format));
    const std::string previous = "\"De\",\"Ix\",\"Iy\",\"Iz\"\r\n1,2,3,4\r\n";
    test::WriteFile((dir / "room.csv").string(), previous);

    SharedState state;
    state.IrFileName = input.string();
    FakeHost host;
    host.answers = {"0", "1000", "5", "0"};
    DiskInput disk;
    DiskTables tables;
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 100;
    setrlimit(RLIMIT_FSIZE, &small);
    const RunReport report = RunAnalysis(state, host, disk, tables, host, host);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(report.outcome, RunOutcome::Rejected);
    EXPECT_EQ(host.warnings, std::vector<std::string>{"Sorry, the table " + (dir / "room.csv").string() +
                                                      " could not be written completely!"});
    EXPECT_EQ(test::ReadFile((dir / "room.csv").string()), previous);
    EXPECT_FALSE(fs::exists(dir / "room_ref.csv"));
    // Nothing but the input and the previous table is left in the folder.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 2);
    fs::remove_all(dir);
}

TEST(HostileInput, AFileLongerThanAnyWavIsRefusedBeforeItIsRead)
{
    // A 5 GB file (sparse: it takes no disk space) cannot be a RIFF file;
    // reading it whole would take 5 GB of memory, or fail with an exception.
    namespace fs = std::filesystem;
    const fs::path dir =
        fs::temp_directory_path() /
        ("halvane-hostile-long-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    fs::create_directories(dir);
    const fs::path input = dir / "room.wav";
    std::ofstream(input, std::ios::binary).put('R');
    fs::resize_file(input, std::uintmax_t{5} << 30);
    SharedState state;
    state.IrFileName = input.string();
    FakeHost host;
    host.answers = {"0", "1000", "5", "0"};
    DiskInput disk;
    DiskTables tables;
    const long peakBeforeKb = PeakMemoryKb();
    const RunReport report = RunAnalysis(state, host, disk, tables, host, host);
    EXPECT_LT(PeakMemoryKb() - peakBeforeKb, kMaxPeakGrowthKb);
    EXPECT_EQ(report.outcome, RunOutcome::Rejected);
    EXPECT_EQ(host.warnings,
              std::vector<std::string>{"Sorry, the file " + input.string() +
                                       " cannot be opened: it is larger than a .WAV file can be (4 GB)!"});
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);  // no table
    fs::remove_all(dir);
}

// Found by fuzzing the typed answers: skip "-0", display "8", averaging
// window ".1 -1" (0.1 ms) and pause "011e-1" (1.1 ms). With the batch
// command's simulated clock, the rest of a pause after rounding (about
// 6e-15 ms) no longer moved a clock standing at some 90 ms, and the wait
// after a window never ended.
TEST(HostileInput, APauseOnTheBatchClockEndsHoweverItRounds)
{
    struct Row {
        const char* name;
        std::vector<std::string> answers;
    };
    const Row rows[] = {
        {"the fuzzer's answers", {"-0", "8", ".1 -1", "\t011e-1"}},
        {"a pause of 1.1 ms after each 0.1 ms window", {"0", "100", "0.1", "1.1"}},
        {"a pause of 1e-300 ms", {"0", "100", "0.1", "1e-300"}},
        {"a pause of 1e307 ms: the clock reaches infinity", {"0", "100", "1", "1e307"}},
    };
    test::WavFormat format;
    format.bits = 16;
    const auto input = test::MakeWav(test::Repeat({1000, 0, 0, 1000}, 4801), format);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SharedState state;
        state.IrFileName = kInput;
        ScriptedDialogue dialogue(row.answers);
        MemoryStorage storage;
        storage.inputs[kInput] = input;
        const auto start = std::chrono::steady_clock::now();
        const RunReport report = RunAnalysis(state, dialogue, storage, storage);
        EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), kMaxSecondsPerRun);
        EXPECT_EQ(report.outcome, RunOutcome::Completed);
        EXPECT_GT(report.directionWindows, 0);
    }
    // Every wait of some length moves the clock on, wherever it stands.
    for (const double clockMs : {0.0, 88.00000000000001, 1e6, 1e15}) {
        for (const double waitMs : {1.1, 5.7e-15, 1e-300}) {
            SCOPED_TRACE(std::to_string(clockMs) + " ms, waiting " + std::to_string(waitMs) + " ms");
            ScriptedDialogue dialogue({});
            dialogue.WaitForEvents(clockMs);
            const double before = dialogue.ClockMs();
            dialogue.WaitForEvents(waitMs);
            EXPECT_GT(dialogue.ClockMs(), before);
        }
    }
}

}  // namespace
}  // namespace halvane
