#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <set>
#include <span>
#include <sstream>
#include <sys/wait.h>
#include <tuple>

#include "BatchRun.h"
#include "analysis/maps/EnergyMaps.h"
#include "batch/BatchJob.h"
#include "batch/BatchOptions.h"
#include "bformat/BFormatSignal.h"
#include "report/EnergyMapTable.h"
#include "support/TestWav.h"

namespace halvane {
namespace {

namespace fs = std::filesystem;

using CommandRun = test::BatchRun;
using test::Batch;

std::string ReadFile(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class BatchCommand : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dir = fs::temp_directory_path() / ("halvane-batch-" + std::to_string(::getpid()) + "-" +
                                             ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
    }
    void TearDown() override
    {
        std::error_code ignored;
        fs::permissions(m_dir, fs::perms::owner_all, ignored);
        fs::remove_all(m_dir, ignored);
    }
    fs::path Write(const std::string& name, const std::vector<std::byte>& bytes)
    {
        const fs::path p = m_dir / name;
        std::ofstream(p, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return p;
    }
    fs::path m_dir;
};

TEST_F(BatchCommand, WritesBothTablesNextToEachFile)
{
    const auto front = Write("front.wav", test::MakeWav(test::Repeat({0.5, 0, 0, 0.5}, 4801)));
    test::WavFormat format16;
    format16.bits = 16;
    format16.layout = test::Layout::Canonical44;
    const auto left = Write("left.wav", test::MakeWav(test::Repeat({1000, 1000, 0, 0}, 4801), format16));
    const CommandRun r = Batch("--skip 20 --display 50 " + front.string() + " " + left.string());
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("front.wav: 16 windows analysed (10 displayed), 10 reference rows"), std::string::npos)
        << r.out;
    const std::string reference = ReadFile(m_dir / "left_ref.csv");
    EXPECT_TRUE(reference.starts_with("\"time (ms)\",\"Az\",\"El\",\"I/D (dB)\",\"Li (dB)\"\r\n20,90.0000000000003,0,"))
        << reference;
    const std::string intensity = ReadFile(m_dir / "front.csv");
    EXPECT_TRUE(intensity.starts_with("\"De\",\"Ix\",\"Iy\",\"Iz\"\r\n120,60,0,0\r\n120,60,0,0\r\n")) << intensity;
}

TEST_F(BatchCommand, ExitStatusTellsRefusedFilesAndUsageErrors)
{
    const auto good = Write("good.wav", test::MakeWav(test::Repeat({0.5, 0, 0, 0.5}, 960)));
    const auto stereo = Write("stereo.wav", test::MakeWav(test::Repeat({0.5, 0, 0, 0.5}, 960), {.channels = 2}));
    CommandRun r = Batch(good.string() + " " + stereo.string());
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find(stereo.string() + ": Sorry, this is not a 4-ch. .WAV file!"), std::string::npos) << r.out;
    EXPECT_TRUE(fs::exists(m_dir / "good_ref.csv"));

    EXPECT_EQ(Batch("--window abc " + good.string()).status, 2);
    EXPECT_EQ(Batch("--frobnicate " + good.string()).status, 2);
    EXPECT_EQ(Batch("").status, 2);
    EXPECT_EQ(Batch((m_dir / "missing.wav").string()).status, 1);
    r = Batch("--help");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("Usage: halvane-batch"), std::string::npos);
}

TEST_F(BatchCommand, RefusedChannelCountsNameTheConverterCommand)
{
    struct Case {
        const char* name;
        int channels;
        std::string options;
        std::string line;  // the line under the refusal, before the command
    };
    const std::string otherLayout = "A four-channel B-format file in another layout converts with: ";
    const std::vector<Case> cases = {
        {"stereo", 2, "", otherLayout},
        {"second order", 9, "",
         "It looks like a higher-order Ambisonic file of order 2 (9 channels); its "
         "first-order part converts with: "},
        {"third order", 16, "",
         "It looks like a higher-order Ambisonic file of order 3 (16 channels); its "
         "first-order part converts with: "},
        {"fourth order", 25, "",
         "It looks like a higher-order Ambisonic file of order 4 (25 channels); its "
         "first-order part converts with: "},
        {"fourth order, bands and arrivals", 25, "--band 500 --band 1000 --reflections " + (m_dir / "l.csv").string(),
         "It looks like a higher-order Ambisonic file of order 4 (25 channels)"},
        {"30 channels: no Ambisonic set", 30, "", otherLayout},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto input =
            Write("hoa.wav", test::MakeWav(test::Repeat({0.5, 0, 0, 0.5}, 960), {.channels = c.channels}));
        const CommandRun r = Batch(c.options + " " + input.string());
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.out.find(": Sorry, this is not a 4-ch. .WAV file!\n"), std::string::npos) << r.out;
        const std::string command =
            "halvane-convert \"" + input.string() + "\" \"" + (m_dir / "hoa-ambix.wav").string() + "\"";
        const std::size_t at = r.out.find(c.line);
        ASSERT_NE(at, std::string::npos) << r.out;
        EXPECT_NE(r.out.find(command, at), std::string::npos) << r.out;
        // Once per file, however many analyses refused it.
        EXPECT_EQ(r.out.find(c.line, at + 1), std::string::npos) << r.out;
    }
}

TEST_F(BatchCommand, AnotherConventionGetsAWarningLineNamingTheConverter)
{
    // A plane wave from Az 30, El 10, decaying, stored in AmbiX or in the traditional order.
    auto response = [](bool traditional) {
        std::vector<test::Frame4> frames;
        for (int n = 0; n < 4800; ++n) {
            const test::Frame4 f = test::PlaneWave(0.5 * std::exp(-n / 400.0), 30, 10);
            frames.push_back(traditional ? test::Frame4{f.W / std::sqrt(2.0), f.X, f.Y, f.Z} : f);
        }
        return test::MakeWav(frames);
    };
    const auto ambix = Write("ambix.wav", response(false));
    const auto fuma = Write("fuma.wav", response(true));
    const CommandRun r = Batch(ambix.string() + " " + fuma.string());
    EXPECT_EQ(r.status, 0) << r.out;  // a warning, not a failure: both are analysed
    EXPECT_TRUE(fs::exists(m_dir / "fuma_ref.csv"));
    EXPECT_EQ(r.out.find(ambix.string() + ": warning"), std::string::npos) << r.out;
    const std::string warning = fuma.string() +
                                ": warning: its direct sound reads as a plane wave (energy ratio 1.00) from the "
                                "front (Az 30, El 10) in FuMa, but as ";
    EXPECT_NE(r.out.find(warning), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("in AmbiX/SN3D as read here: halvane-convert \"" + fuma.string() + "\" \"" +
                         (m_dir / "fuma-ambix.wav").string() + "\" converts it\n"),
              std::string::npos)
        << r.out;
}

TEST_F(BatchCommand, DamagedSamplesAndImpossibleValuesAreSaidNotHidden)
{
    // 0.5 s of a decaying plane wave from the side, with reflections every 10 ms.
    auto response = [](double yGain, bool nanAtTheDirectSound) {
        std::vector<test::Frame4> frames;
        for (int n = 0; n < 24000; ++n) {
            const double pulse = (n % 480 < 8 ? 1.0 : 0.02 * std::sin(0.3 * n)) * std::exp(-n / 3000.0);
            test::Frame4 f = test::PlaneWave(0.5 * pulse, 60, 0);
            f.Y *= yGain;
            frames.push_back(f);
        }
        if (nanAtTheDirectSound) frames[2].W = std::numeric_limits<double>::quiet_NaN();
        return test::MakeWav(frames);
    };
    struct Row {
        const char* name;
        std::vector<std::byte> file;
        std::vector<std::string> said;     // in the messages
        std::vector<std::string> notSaid;  // nowhere in them
    };
    const std::vector<Row> rows = {
        {"sound", response(1, false), {"room parameters in "}, {"not finite", "outside what they can be"}},
        {"one NaN at the direct sound",
         response(1, true),
         {"damaged.wav: warning: 1 sample is not finite (NaN or infinite) and counted as 0 in the bands, arrivals "
          "and room parameters\n"},
         {"outside what they can be", " 0 arrivals listed"}},
        {"Y twice as loud as W",
         response(2, false),
         {"(outside what they can be: LF ", "; check the channels' order and gains)"},
         {"not finite"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const auto input = Write("damaged.wav", row.file);
        const CommandRun r = Batch("--band 500 --room-parameters " + (m_dir / "p.csv").string() + " --reflections " +
                                   (m_dir / "l.csv").string() + " " + input.string());
        EXPECT_EQ(r.status, 0) << r.out;
        for (const std::string& text : row.said)
            EXPECT_NE(r.out.find(text), std::string::npos) << text << "\n" << r.out;
        for (const std::string& text : row.notSaid)
            EXPECT_EQ(r.out.find(text), std::string::npos) << text << "\n" << r.out;
        // Said once, however many analyses read the sample.
        std::size_t warnings = 0;
        for (std::size_t at = r.out.find("not finite"); at != std::string::npos; at = r.out.find("not finite", at + 1))
            ++warnings;
        EXPECT_LE(warnings, 1u) << r.out;
        // The lateral fractions have values: the NaN did not empty them.
        const std::string table = ReadFile(m_dir / "p.csv");
        EXPECT_EQ(table.find("NaN"), std::string::npos) << table;
    }
}

TEST_F(BatchCommand, AFolderWithoutWritePermissionIsReportedNotCrashedOn)
{
    if (::geteuid() == 0) {
        // root writes anywhere; a table path that is a folder cannot be created by anyone.
        const auto input = Write("blocked.wav", test::MakeWav(test::Repeat({0.5, 0, 0, 0.5}, 960)));
        fs::create_directories(m_dir / "blocked.csv");
        const CommandRun r = Batch(input.string());
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.out.find("cannot be created"), std::string::npos) << r.out;
        return;
    }
    const auto input = Write("ro.wav", test::MakeWav(test::Repeat({0.5, 0, 0, 0.5}, 960)));
    fs::permissions(m_dir, fs::perms::owner_read | fs::perms::owner_exec);
    const CommandRun r = Batch(input.string());
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("cannot be created"), std::string::npos) << r.out;
}

TEST_F(BatchCommand, ArrivalsRoomParametersAndBandsFromOneCommand)
{
    const fs::path room = m_dir / "room.wav";
    fs::copy_file(fs::path(HALVANE_EXAMPLES_DIR) / "demo-room.wav", room);
    CommandRun r = Batch("--reflections " + (m_dir / "arrivals.csv").string() + " --direct-distance 10 " +
                         "--room-parameters " + (m_dir / "rooms.csv").string() + " " + room.string());
    ASSERT_EQ(r.status, 0) << r.out;
    // The demo's seven arrivals, in time order, each with its image-source distance and its reflector.
    const std::string arrivals = ReadFile(m_dir / "arrivals.csv");
    EXPECT_EQ(std::count(arrivals.begin(), arrivals.end(), '\n'), 1 + 7) << arrivals;
    EXPECT_TRUE(arrivals.starts_with("\"time (ms)\",\"delay (ms)\",\"extra path (m)\",\"level (dB)\",\"Az\",\"El\","
                                     "\"I/D (dB)\",\"diffuseness\",\"distance (m)\",\"reflector (m)\",\"normal Az\","
                                     "\"normal El\",\"surface\"\r\n9.334,0.000,0.000,0.00,"))
        << arrivals;
    const std::string rooms = ReadFile(m_dir / "rooms.csv");
    EXPECT_TRUE(rooms.starts_with("\"band (Hz)\",\"EDT (s)\",\"T20 (s)\",\"T30 (s)\",\"C50 (dB)\",\"C80 (dB)\","
                                  "\"D50\",\"Ts (ms)\",\"LF\",\"LFC\"\r\n125,"))
        << rooms;
    EXPECT_NE(rooms.find("\r\nall,"), std::string::npos) << rooms;

    // A band's run writes the band's tables and leaves the broadband ones alone.
    const std::string broadband = ReadFile(m_dir / "room.csv");
    r = Batch("--band 1000 " + room.string());
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("(1000 Hz band): 100 windows analysed"), std::string::npos) << r.out;
    EXPECT_EQ(ReadFile(m_dir / "room.csv"), broadband);
    EXPECT_TRUE(ReadFile(m_dir / "room_1000Hz_ref.csv").starts_with("\"time (ms)\",\"Az\""));
    EXPECT_NE(ReadFile(m_dir / "room_1000Hz.csv"), broadband);
    r = Batch("--band all-octaves " + room.string());
    EXPECT_EQ(r.status, 0) << r.out;
    for (const char* band : {"125", "250", "500", "2000", "4000"}) {
        EXPECT_TRUE(fs::exists(m_dir / (std::string("room_") + band + "Hz_ref.csv"))) << band;
    }
}

// The fields of one CSV line without quotes (none of them holds a comma).
std::vector<std::string> Fields(const std::string& line)
{
    std::vector<std::string> fields(1);
    for (const char c : line) {
        if (c == ',') {
            fields.emplace_back();
        } else if (c != '"' && c != '\r') {
            fields.back() += c;
        }
    }
    return fields;
}

TEST_F(BatchCommand, TheSurfacesOfTheDemoHallFromItsDistanceOrItsModel)
{
    const fs::path room = m_dir / "room.wav";
    fs::copy_file(fs::path(HALVANE_EXAMPLES_DIR) / "demo-room.wav", room);
    const std::string list = (m_dir / "a.csv").string(), surfaces = (m_dir / "s.csv").string();
    // The demo hall: 28 x 18 x 9 m, the source at (14, 8.5, 3.5), the microphone at (11, 7.5, 3).
    CommandRun r = Batch("--reflections " + list + " --surfaces " + surfaces +
                         " --room 28x18x9 --source 14,8.5,3.5 --receiver 11,7.5,3 " + room.string());
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("6 surfaces in " + surfaces + " (0 arrivals fit none)"), std::string::npos) << r.out;
    // Each wall as far from the microphone as the model puts it, named.
    const std::map<std::string, double> walls = {{"floor", 3}, {"ceiling", 6}, {"front", 17},
                                                 {"back", 11}, {"left", 10.5}, {"right", 7.5}};
    std::istringstream lines(ReadFile(surfaces));
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line, "\"surface\",\"normal Az\",\"normal El\",\"distance (m)\",\"arrivals\",\"times (ms)\","
                    "\"energy (dB)\",\"name\"\r");
    std::set<std::string> named;
    while (std::getline(lines, line)) {
        const std::vector<std::string> f = Fields(line);
        ASSERT_EQ(f.size(), 8u) << line;
        ASSERT_TRUE(walls.contains(f[7])) << line;
        named.insert(f[7]);
        EXPECT_NEAR(std::stod(f[3]), walls.at(f[7]), 0.05) << line;
        EXPECT_EQ(f[4], "1") << line;
    }
    EXPECT_EQ(named.size(), 6u);
    const std::string arrivals = ReadFile(list);
    EXPECT_NE(
        arrivals.find("\"diffuseness\",\"distance (m)\",\"reflector (m)\",\"normal Az\",\"normal El\",\"surface\","
                      "\"order\",\"path\"\r\n9.334,"),
        std::string::npos)
        << arrivals;
    EXPECT_NE(arrivals.find(",3.202,,,,,0,\"direct\"\r\n"), std::string::npos) << arrivals;
    EXPECT_NE(arrivals.find(",1,\"floor\"\r\n"), std::string::npos) << arrivals;

    // From the distance alone: the same six planes, unnamed, and no orders.
    r = Batch("--reflections " + list + " --surfaces " + surfaces + " --direct-distance 3.2016 " + room.string());
    ASSERT_EQ(r.status, 0) << r.out;
    const std::string unnamed = ReadFile(surfaces);
    EXPECT_EQ(std::count(unnamed.begin(), unnamed.end(), '\n'), 1 + 6) << unnamed;
    EXPECT_EQ(unnamed.find("name"), std::string::npos) << unnamed;
    EXPECT_EQ(ReadFile(list).find("order"), std::string::npos);
}

TEST_F(BatchCommand, ComparesTwoResponsesIntoTheTablesAskedFor)
{
    const fs::path a = m_dir / "a.wav", b = m_dir / "b.wav";
    fs::copy_file(fs::path(HALVANE_EXAMPLES_DIR) / "demo-room.wav", a);
    fs::copy_file(a, b);
    const fs::path maps = m_dir / "maps.csv", rooms = m_dir / "rooms.csv", arrivals = m_dir / "arrivals.csv";
    CommandRun r = Batch("--compare " + a.string() + " " + b.string() + " --compare-maps " + maps.string() +
                         " --compare-room " + rooms.string() + " --compare-arrivals " + arrivals.string());
    ASSERT_EQ(r.status, 0) << r.out;
    const std::string what = a.string() + " and " + b.string() + ": ";
    EXPECT_NE(
        r.out.find(what +
                   "B aligned to A (its direct sound came 0.000 ms later); levels each re its own direct sound\n"),
        std::string::npos)
        << r.out;
    EXPECT_NE(
        r.out.find(what + "room parameters of both, none beyond its just noticeable difference in " + rooms.string()),
        std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find(what + "arrivals: 7 in both, 0 only in A, 0 only in B in " + arrivals.string()),
              std::string::npos)
        << r.out;
    const std::string mapTable = ReadFile(maps);
    EXPECT_EQ(std::count(mapTable.begin(), mapTable.end(), '\n'), 1 + 16200);
    EXPECT_TRUE(mapTable.starts_with("\"Az\",\"El\",\"direct 0-5 ms B-A (dB)\",\"early 5-80 ms B-A (dB)\","
                                     "\"late 80 ms-end B-A (dB)\"\r\n"))
        << mapTable.substr(0, 200);
    const std::string roomTable = ReadFile(rooms);
    EXPECT_EQ(std::count(roomTable.begin(), roomTable.end(), '\n'), 1 + 7 * 9);
    EXPECT_EQ(roomTable.find("yes"), std::string::npos);
    EXPECT_NE(ReadFile(arrivals).find("\r\nboth,9.334,0.00,18.43,8.98,9.334,0.00,18.43,8.98,0.00\r\n"),
              std::string::npos);

    // An output may name neither input; nothing is written then.
    fs::remove(rooms);
    r = Batch("--compare " + a.string() + " " + b.string() + " --compare-room " + rooms.string() +
              " --compare-arrivals " + b.string());
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_FALSE(fs::exists(rooms));
}

TEST(BatchOptions, ParsesValuesAsNumbers)
{
    const auto options = ParseBatchOptions({"--skip", "12.5", "--window", "2", "a.wav", "b.wav"});
    ASSERT_TRUE(options) << options.Message();
    EXPECT_EQ(options->skipMs, "12.5");
    EXPECT_EQ(options->windowMs, "2");
    EXPECT_EQ(options->displayMs, "1000");
    EXPECT_EQ(options->files, (std::vector<std::string>{"a.wav", "b.wav"}));
    // Negative values are values, not options; the last of a repeated option counts.
    const auto negative = ParseBatchOptions({"--skip", "-5", "--temperature", "-3", "--skip", "-7.5", "--", "-a.wav"});
    ASSERT_TRUE(negative) << negative.Message();
    EXPECT_EQ(negative->skipMs, "-7.5");
    EXPECT_EQ(negative->files, (std::vector<std::string>{"-a.wav"}));

    const struct {
        std::vector<std::string> args;
        const char* message;
    } bad[] = {
        {{"--skip", "12ms", "a.wav"}, "--skip needs a number in ms, not \"12ms\""},
        {{"--skip"}, "--skip needs a value in ms"},
        {{"--display", "inf", "a.wav"}, "--display needs a number in ms, not \"inf\""},
        {{"--bogus", "a.wav"}, "unknown option --bogus"},
        {{"--png"}, "--png needs a file name"},
        {{"--temperature", "-300", "a.wav"}, "--temperature must lie from -60 to 60 C, not -300"},
        {{"--png", "p.png", "a.wav", "b.wav"},
         "--reflections, --surfaces, --room-parameters, --energy-map, --png and --report take exactly one FILE"},
        {{"--energy-map", "m.csv", "a.wav", "b.wav"},
         "--reflections, --surfaces, --room-parameters, --energy-map, --png and --report take exactly one FILE"},
        {{"--band", "all-octaves", "--energy-map", "m.csv", "a.wav"},
         "--energy-map maps one band: give --band HZ, not all-octaves"},
        {{"--estimator", "spot", "a.wav"}, "--estimator takes beam or histogram, not \"spot\""},
        {{"--spot-width", "0.4", "a.wav"}, "--spot-width must lie from 0.5 to 30 degrees, not 0.4"},
        {{"--spot-width", "wide", "a.wav"}, "--spot-width needs a number in degrees, not \"wide\""},
        {{"--ranges"}, "--ranges needs a value"},
        {{"--background", "b.jpg", "a.wav"}, "--background goes with --png or --report"},
        {{"--map-range", "5", "--png", "p.png", "a.wav"}, "--map-range must lie from 10 to 100 dB, not 5"},
        {{"--report", "r.pdf", "--band", "all-octaves", "a.wav"},
         "--png and --report draw one band: give --band HZ, not all-octaves"},
        {{}, "no FILE given"},
        {{"--band", "300", "a.wav"}, "--band takes 125, 250, 500, 1000, 2000, 4000 or all-octaves, not \"300\""},
        {{"--band", "all-octaves", "--png", "p.png", "a.wav"},
         "--png and --report draw one band: give --band HZ, not all-octaves"},
        {{"--room-parameters", "r.csv", "a.wav", "b.wav"},
         "--reflections, --surfaces, --room-parameters, --energy-map, --png and --report take exactly one FILE"},
        {{"--direct-distance", "0", "a.wav"}, "--direct-distance must lie above 0 and at most 1000 m, not 0"},
        {{"--surfaces", "s.csv", "a.wav"}, "--surfaces needs --direct-distance or --room, --source and --receiver"},
        {{"--room", "5x4x3", "--surfaces", "s.csv", "a.wav"}, "--room, --source and --receiver go together"},
        {{"--room", "5x4", "--source", "1,1,1", "--receiver", "2,2,2", "--surfaces", "s.csv", "a.wav"},
         "--room needs the length, width and height in m as LxWxH, not \"5x4\""},
        {{"--room", "5x4x3", "--source", "1,1", "--receiver", "2,2,2", "--surfaces", "s.csv", "a.wav"},
         "--source needs a position in m as X,Y,Z, not \"1,1\""},
        {{"--room", "5x4x3", "--source", "1,1,1", "--receiver", "2,2,3.5", "--surfaces", "s.csv", "a.wav"},
         "--room: the receiver must lie inside the room (x from 0 to its length, y to its width, z to its height)"},
        {{"--room", "5x4x3", "--source", "1,1,1", "--receiver", "2,2,2", "--direct-distance", "2", "--surfaces",
          "s.csv", "a.wav"},
         "--room gives the source-receiver distance: leave out --direct-distance"},
        {{"--room", "5x4x3", "--source", "1,1,1", "--receiver", "2,2,2", "a.wav"},
         "--room goes with --reflections, --surfaces, --png or --report"},
        {{"--compare", "a.wav"}, "--compare needs two files, A and B"},
        {{"--compare", "a.wav", "b.wav"},
         "--compare needs --compare-maps, --compare-room, --compare-arrivals, --png or --report"},
        {{"--compare", "a.wav", "b.wav", "--compare-room", "r.csv", "c.wav"},
         "--compare takes its two files itself: give no other FILE"},
        {{"--compare", "a.wav", "b.wav", "--compare-room", "r.csv", "--surfaces", "s.csv"},
         "--compare writes the comparison's tables, picture and report alone"},
        {{"--compare-room", "r.csv", "a.wav"},
         "--compare-maps, --compare-room, --compare-arrivals, --calibrated and --rotate go with --compare A.wav B.wav"},
        {{"--rotate", "a.wav"},
         "--compare-maps, --compare-room, --compare-arrivals, --calibrated and --rotate go with --compare A.wav B.wav"},
    };
    for (const auto& row : bad) {
        const auto parsed = ParseBatchOptions(row.args);
        EXPECT_FALSE(parsed) << row.message;
        EXPECT_EQ(parsed.Message(), row.message);
    }
}

TEST(BatchOptions, NumbersOutsideTheirRangesAreRefusedWithTheRangeTheUsageStates)
{
    struct Row {
        const char* option;
        std::vector<const char*> refused;
        std::vector<const char*> taken;
    };
    const std::vector<Row> rows = {
        {"--floor", {"0", "-5", "100.001", "150", "1e6", "1e308"}, {"0.5", "40", "100"}},
        {"--temperature", {"-60.5", "61", "1e308", "-300"}, {"-60", "-3", "20", "60"}},
        {"--direct-distance", {"0", "-1", "1000.5", "1e308"}, {"0.01", "5", "1000"}},
        {"--direction-window", {"0", "-0.5", "51"}, {"0.01", "0.5", "50"}},
        {"--max-diffuseness", {"0", "1.01", "-1"}, {"0.05", "1"}},
    };
    for (const Row& row : rows) {
        const auto range = std::find_if(ArrivalNumberRanges().begin(), ArrivalNumberRanges().end(),
                                        [&](const NumberRange& r) { return std::string(r.option) == row.option; });
        ASSERT_NE(range, ArrivalNumberRanges().end()) << row.option;
        for (const char* value : row.refused) {
            const auto parsed = ParseBatchOptions({row.option, value, "--reflections", "l.csv", "a.wav"});
            EXPECT_FALSE(parsed) << row.option << " " << value;
            EXPECT_EQ(parsed.Message(), std::string(row.option) + " must lie " + range->Words() + ", not " + value);
        }
        for (const char* value : row.taken) {
            const auto parsed = ParseBatchOptions({row.option, value, "--reflections", "l.csv", "a.wav"});
            EXPECT_TRUE(parsed) << row.option << " " << value << ": " << parsed.Message();
        }
        // The usage text states the same range (its lines broken anywhere).
        std::string usage;
        for (const char c : std::string(kBatchUsage)) {
            if (c == '\n' || c == ' ') {
                if (!usage.empty() && usage.back() != ' ') usage += ' ';
            } else {
                usage += c;
            }
        }
        EXPECT_NE(usage.find(range->Words()), std::string::npos) << row.option << ": " << range->Words();
    }
    EXPECT_EQ(ArrivalNumberRanges().size(), rows.size());

    // On the command line: exit status 2, the range in the message and the usage after it.
    const test::BatchRun run = test::Batch("--floor 150 --reflections l.csv a.wav");
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.out.find("halvane-batch: --floor must lie above 0 and at most 100 dB, not 150\n\nUsage:"),
              std::string::npos)
        << run.out;
}

TEST(BatchJob, PlansEveryOutputInTheOrderItIsWritten)
{
    struct Row {
        const char* name;
        std::vector<std::string> args;
        std::vector<PlannedOutput> outputs;
    };
    const std::vector<Row> rows = {
        {"the two tables", {"hall.wav"}, {{"table", "hall.csv"}, {"table", "hall_ref.csv"}}},
        {"one band's instead",
         {"--band", "500", "hall.wav"},
         {{"table", "hall_500Hz.csv"}, {"table", "hall_500Hz_ref.csv"}}},
        {"every output",
         {"--png", "p.png", "--energy-map", "m.csv", "--room-parameters", "r.csv", "--surfaces", "s.csv",
          "--direct-distance", "3", "--reflections", "l.csv", "hall.wav"},
         {{"table", "hall.csv"},
          {"table", "hall_ref.csv"},
          {"reflection list", "l.csv"},
          {"surface table", "s.csv"},
          {"room-parameter table", "r.csv"},
          {"energy-map table", "m.csv"},
          {"picture", "p.png"}}},
        {"the report alone",
         {"--report", "r.pdf", "hall.wav"},
         {{"table", "hall.csv"}, {"table", "hall_ref.csv"}, {"report", "r.pdf"}}},
        {"all bands and the list",
         {"--band", "all-octaves", "--reflections", "l.csv", "h.wav"},
         {{"table", "h_125Hz.csv"},
          {"table", "h_125Hz_ref.csv"},
          {"table", "h_250Hz.csv"},
          {"table", "h_250Hz_ref.csv"},
          {"table", "h_500Hz.csv"},
          {"table", "h_500Hz_ref.csv"},
          {"table", "h_1000Hz.csv"},
          {"table", "h_1000Hz_ref.csv"},
          {"table", "h_2000Hz.csv"},
          {"table", "h_2000Hz_ref.csv"},
          {"table", "h_4000Hz.csv"},
          {"table", "h_4000Hz_ref.csv"},
          {"reflection list", "l.csv"}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const auto options = ParseBatchOptions(row.args);
        ASSERT_TRUE(options) << options.Message();
        const PlannedOutputs plan = BatchJob(*options, options->files.front()).Plan();
        EXPECT_EQ(plan.input, options->files.front());
        ASSERT_EQ(plan.outputs.size(), row.outputs.size());
        for (std::size_t i = 0; i < row.outputs.size(); ++i) {
            EXPECT_EQ(plan.outputs[i].kind, row.outputs[i].kind) << i;
            EXPECT_EQ(plan.outputs[i].path, row.outputs[i].path) << i;
        }
    }
}

TEST(BatchOptions, TheArrivalOptionsAreTheAnalysisOwn)
{
    const auto defaults = ParseBatchOptions({"a.wav"});
    ASSERT_TRUE(defaults) << defaults.Message();
    const ArrivalOptions analysis;
    EXPECT_EQ(defaults->arrivals.floorDb, analysis.floorDb);
    EXPECT_EQ(defaults->arrivals.directionWindowMs, analysis.directionWindowMs);
    EXPECT_EQ(defaults->arrivals.maxDiffuseness, analysis.maxDiffuseness);
    const auto given = ParseBatchOptions(
        {"--floor", "25.5", "--direction-window", "0.75", "--max-diffuseness", "1", "--reflections", "l.csv", "a.wav"});
    ASSERT_TRUE(given) << given.Message();
    EXPECT_EQ(given->arrivals.floorDb, 25.5);
    EXPECT_EQ(given->arrivals.directionWindowMs, 0.75);
    EXPECT_EQ(given->arrivals.maxDiffuseness, 1.0);
    // What the user cannot set keeps the analysis' own default.
    EXPECT_EQ(given->arrivals.lowCutHz, analysis.lowCutHz);
    EXPECT_EQ(given->arrivals.pulseHalfLengthMs, analysis.pulseHalfLengthMs);
}

TEST(BatchOptions, TimeRangesOfTheEnergyMaps)
{
    struct Row {
        const char* text;
        std::vector<TimeRange> ranges;  // empty: refused with message
        const char* message;
    };
    const std::vector<Row> rows = {
        {"0-5,5-80,80-", DefaultTimeRanges(), ""},
        {"+0-5,10-20.5,20-", {{"direct", 0, 5}, {"", 10, 20.5}, {"", 20, std::nullopt}}, ""},
        {"5-80", {{"early", 5, 80}}, ""},
        {"0-5,", {}, "--ranges takes FROM-TO or FROM- in ms, separated by commas, not \"\""},
        {"0..5", {}, "--ranges takes FROM-TO or FROM- in ms, separated by commas, not \"0..5\""},
        {"5-x", {}, "--ranges takes FROM-TO or FROM- in ms, separated by commas, not \"5-x\""},
        {"-5-10", {}, "--ranges: the range \"-5-10\" begins before the direct sound"},
        {"10-10", {}, "--ranges: the range \"10-10\" does not end after it begins"},
        {"0-inf", {}, "--ranges takes FROM-TO or FROM- in ms, separated by commas, not \"0-inf\""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        const auto parsed = ParseBatchOptions({"--ranges", row.text, "a.wav"});
        if (row.ranges.empty()) {
            EXPECT_FALSE(parsed);
            EXPECT_EQ(parsed.Message(), row.message);
            continue;
        }
        ASSERT_TRUE(parsed) << parsed.Message();
        const std::vector<TimeRange>& got = parsed->energyMaps.ranges;
        ASSERT_EQ(got.size(), row.ranges.size());
        for (std::size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].label, row.ranges[i].label) << i;
            EXPECT_EQ(got[i].fromMs, row.ranges[i].fromMs) << i;
            EXPECT_EQ(got[i].toMs, row.ranges[i].toMs) << i;
        }
    }
    // The defaults are the maps' own, and the band is the one asked for.
    const auto defaults = ParseBatchOptions({"a.wav"});
    ASSERT_TRUE(defaults);
    const EnergyMapOptions own;
    EXPECT_TRUE(defaults->energyMaps.ranges.empty());
    EXPECT_EQ(defaults->energyMaps.estimator, own.estimator);
    EXPECT_EQ(defaults->energyMaps.spotWidthDeg, own.spotWidthDeg);
    EXPECT_EQ(defaults->energyMaps.bandHz, kBroadband);
    const auto band = ParseBatchOptions({"--band", "500", "--estimator", "histogram", "--spot-width", "8", "a.wav"});
    ASSERT_TRUE(band) << band.Message();
    EXPECT_EQ(band->energyMaps.bandHz, 500);
    EXPECT_EQ(band->energyMaps.estimator, MapEstimator::Histogram);
    EXPECT_EQ(band->energyMaps.spotWidthDeg, 8);
}

// The maps the core makes of a file, as the table writes them.
std::string CoreMapTable(const fs::path& file, const EnergyMapOptions& options)
{
    const std::string bytes = ReadFile(file);
    const auto signal = ReadBFormatSignal(std::as_bytes(std::span(bytes.data(), bytes.size())));
    EXPECT_TRUE(signal) << signal.Message();
    if (!signal) return {};
    const auto maps = ComputeEnergyMaps(*signal, options);
    EXPECT_TRUE(maps) << maps.Message();
    std::ostringstream table;
    if (maps) WriteEnergyMapTable(table, *maps);
    return table.str();
}

TEST_F(BatchCommand, EnergyMapsAreTheCoreMapsOfTheBandAndEstimatorAskedFor)
{
    const fs::path room = m_dir / "room.wav";
    fs::copy_file(fs::path(HALVANE_EXAMPLES_DIR) / "demo-room.wav", room);
    const std::string maps = (m_dir / "maps.csv").string();
    struct Row {
        const char* name;
        std::string options;
        EnergyMapOptions core;
        const char* said;
    };
    const std::vector<Row> rows = {
        {"the defaults, with the room parameters",
         "--room-parameters " + (m_dir / "r.csv").string(),
         {},
         "(max-rE beam, broadband; peaks re the direct sound: direct 0-5 ms 0.0 dB,"},
        {"a band's histogram over ranges of its own",
         "--band 1000 --estimator histogram --spot-width 6 --ranges 0-5,10-40",
         {{{"direct", 0, 5}, {"", 10, 40}}, MapEstimator::Histogram, 1000, 0.5, 6},
         "(direction histogram, 1000 Hz band; peaks re the direct sound: direct 0-5 ms 0.0 dB, 10-40 ms "},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const CommandRun r = Batch(row.options + " --energy-map " + maps + " " + room.string());
        ASSERT_EQ(r.status, 0) << r.out;
        EXPECT_NE(r.out.find(": energy maps in " + maps + " " + row.said), std::string::npos) << r.out;
        const std::string table = ReadFile(maps);
        EXPECT_EQ(std::count(table.begin(), table.end(), '\n'), 1 + 180 * 90);
        EXPECT_TRUE(table == CoreMapTable(room, row.core)) << table.substr(0, 200);
    }
    // Refused before any analysis: a folder where the table goes.
    fs::create_directories(m_dir / "taken");
    fs::remove(m_dir / "room_ref.csv");
    const CommandRun refused = Batch("--energy-map " + (m_dir / "taken").string() + " " + room.string());
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.out.find("the energy-map table " + (m_dir / "taken").string() + " cannot be created"),
              std::string::npos)
        << refused.out;
    EXPECT_FALSE(fs::exists(m_dir / "room_ref.csv"));
}

TEST_F(BatchCommand, TheArrivalListSaysWhatItCannotShow)
{
    // A short pulse from the front at 5 ms, a reflection from the left at
    // 12 ms and a decay of small reflections, scaled as each row asks.
    auto response = [](double direct, double reflection, bool noise) {
        std::vector<test::Frame4> frames(24000);
        std::uint64_t state = 7;
        for (std::size_t n = 0; n < frames.size(); ++n) {
            state = state * 6364136223846793005ULL + 1442695040888963407ULL;
            const double random = static_cast<double>(state >> 11) * 0x1.0p-53 - 0.5;
            if (noise) {
                frames[n] = {0.4 * random, 0.2 * random, 0.1 * random, 0.3 * random};
            } else if (n % 97 == 0) {
                frames[n] = test::PlaneWave(0.01 * std::exp(-static_cast<double>(n) / 4000.0), 150, 20);
            }
        }
        if (!noise) {
            for (const auto& [at, gain, azDeg] : {std::tuple{240, direct, 0.0}, std::tuple{576, reflection, 90.0}}) {
                frames[at] = test::PlaneWave(gain, azDeg, 0);
                frames[at + 1] = test::PlaneWave(-0.5 * gain, azDeg, 0);
            }
        }
        for (test::Frame4& f : frames) {
            for (double* v : {&f.W, &f.Y, &f.Z, &f.X}) *v = std::clamp(*v, -1.0, 32767.0 / 32768.0);
        }
        return test::MakeWav(frames);
    };
    struct Row {
        const char* name;
        std::vector<std::byte> file;
        const char* said;  // in the list's line, "" for nothing more than the count
    };
    const Row rows[] = {
        {"a clean response", response(0.5, 0.2, false), ""},
        {"its direct sound clipped", response(1.6, 0.2, false), "; the direct sound clipped"},
        {"its direct path blocked", response(0.1, 0.5, false), "1 later arrival is stronger than the direct sound"},
        {"noise", response(0, 0, true), "this does not look like an impulse response"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const auto input = Write("response.wav", row.file);
        const std::string list = (m_dir / "l.csv").string();
        const CommandRun r = Batch("--reflections " + list + " " + input.string());
        ASSERT_EQ(r.status, 0) << r.out;
        const auto at = r.out.find(" listed in " + list);
        ASSERT_NE(at, std::string::npos) << r.out;
        const std::string rest = r.out.substr(at, r.out.find('\n', at) - at);
        if (*row.said == '\0') {
            EXPECT_EQ(rest, " listed in " + list);
        } else {
            EXPECT_NE(r.out.find(row.said), std::string::npos) << r.out;
        }
    }
}

TEST_F(BatchCommand, SaysWhatItWroteInTheOrderOfThePlan)
{
    const auto room = Write("room.wav", test::MakeWav(test::Repeat(test::PlaneWave(0.5, 30, 10), 9601)));
    const std::string list = (m_dir / "l.csv").string();
    const std::string rooms = (m_dir / "r.csv").string();
    const CommandRun r = Batch("--room-parameters " + rooms + " --reflections " + list + " " + room.string());
    ASSERT_EQ(r.status, 0) << r.out;
    const auto tables = r.out.find("reference rows; tables");
    const auto arrivals = r.out.find("arrivals listed in " + list);
    const auto parameters = r.out.find("room parameters in " + rooms);
    ASSERT_NE(tables, std::string::npos) << r.out;
    ASSERT_NE(arrivals, std::string::npos) << r.out;
    ASSERT_NE(parameters, std::string::npos) << r.out;
    EXPECT_LT(tables, arrivals);
    EXPECT_LT(arrivals, parameters);
    // A clash between two of them names the later as replacing the earlier.
    const CommandRun clash = Batch("--room-parameters " + list + " --reflections " + list + " " + room.string());
    EXPECT_EQ(clash.status, 1);
    EXPECT_NE(clash.out.find("the room-parameter table " + list + " would replace its reflection list " + list),
              std::string::npos)
        << clash.out;
}

}  // namespace
}  // namespace halvane
