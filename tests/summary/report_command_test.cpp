// halvane-batch --report end to end: one A4 page whose text is text, holding
// the file's name and the room parameters exactly as the table writes them.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "demo/DemoRoom.h"
#include "display/report/ReportPage.h"
#include "support/RunCommand.h"
#include "support/TestWav.h"

namespace halvane {
namespace {

using testing::RunCommand;
using testing::ScratchFolder;
namespace fs = std::filesystem;

// The fields of a CSV table's lines after its header.
std::vector<std::vector<std::string>> CsvRows(const std::string& text)
{
    std::vector<std::vector<std::string>> rows;
    std::istringstream lines(text);
    std::string line;
    std::getline(lines, line);  // the header
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::vector<std::string> fields;
        std::istringstream cells(line);
        for (std::string cell; std::getline(cells, cell, ',');) fields.push_back(cell);
        rows.push_back(fields);
    }
    return rows;
}

// True when some line of text holds exactly these words, in this order, between blanks.
bool HasLineOf(const std::string& text, const std::vector<std::string>& words)
{
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream tokens(line);
        std::vector<std::string> found;
        for (std::string token; tokens >> token;) found.push_back(token);
        if (found == words) return true;
    }
    return false;
}

TEST(ReportCommand, OneA4PageWithTheFileNameAndTheTablesOwnNumbers)
{
    ScratchFolder scratch("report");
    const fs::path input = scratch.Path() / "hall-seat-12.wav";
    fs::copy_file(HALVANE_EXAMPLES_DIR "/demo-room.wav", input, fs::copy_options::overwrite_existing);
    const std::string pdf = (scratch.Path() / "report.pdf").string();
    const std::string rooms = (scratch.Path() / "rooms.csv").string();
    const std::string arrivals = (scratch.Path() / "arrivals.csv").string();
    const auto batch = RunCommand(
        HALVANE_BATCH_COMMAND, {"--room-parameters", rooms, "--reflections", arrivals, "--report", pdf, input.string()},
        scratch.Path());
    ASSERT_EQ(batch.exitStatus, 0) << batch.err;
    EXPECT_NE(batch.out.find(": report " + pdf), std::string::npos) << batch.out;

    const auto info = testing::RunShell("pdfinfo " + testing::Quoted(pdf));
    ASSERT_EQ(info.exitStatus, 0) << info.out;
    EXPECT_TRUE(HasLineOf(info.out, {"Pages:", "1"})) << info.out;
    EXPECT_TRUE(HasLineOf(info.out, {"Page", "size:", "595", "x", "842", "pts", "(A4)"})) << info.out;

    const auto text = testing::RunShell("pdftotext -layout " + testing::Quoted(pdf) + " -");
    ASSERT_EQ(text.exitStatus, 0) << text.out;
    EXPECT_NE(text.out.find(input.string()), std::string::npos) << text.out;
    // Every value of the room-parameter table, as the table writes it, on its band's line.
    const auto table = CsvRows(test::ReadFile(rooms));
    ASSERT_EQ(table.size(), 7u);
    for (const auto& row : table) {
        SCOPED_TRACE(row.front());
        std::vector<std::string> fields;
        for (const std::string& field : row) {
            if (!field.empty()) fields.push_back(field);
        }
        EXPECT_TRUE(HasLineOf(text.out, fields)) << text.out;
    }
    // The strongest reflection's time, as the arrival list writes it.
    const auto list = CsvRows(test::ReadFile(arrivals));
    ASSERT_GE(list.size(), 2u);
    const std::vector<Arrival> strongest = StrongestReflections(
        [&] {
            std::vector<Arrival> all;
            for (const auto& row : list) all.push_back({std::stod(row[0]), std::stod(row[3]), 0, 0, 0, 0});
            return all;
        }(),
        10);
    ASSERT_FALSE(strongest.empty());
    for (const auto& row : list) {
        if (std::stod(row[0]) == strongest.front().timeMs) {
            EXPECT_NE(text.out.find(row[0]), std::string::npos);
        }
    }
    EXPECT_NE(text.out.find("Room parameters"), std::string::npos);
    EXPECT_NE(text.out.find("Strongest reflections"), std::string::npos);
}

TEST(ReportCommand, TheStrongestReflectionsAreTheLoudestTenButTheDirectSound)
{
    std::vector<Arrival> arrivals;
    for (int i = 0; i < 14; ++i) arrivals.push_back({10.0 + i, -static_cast<double>((i * 7) % 13), 0, 0, 0, 0});
    arrivals[0].levelDb = 0;             // the direct sound
    arrivals[5].levelDb = std::nan("");  // no level: left out
    const std::vector<Arrival> strongest = StrongestReflections(arrivals, 10);
    ASSERT_EQ(strongest.size(), 10u);
    for (std::size_t i = 1; i < strongest.size(); ++i) EXPECT_GE(strongest[i - 1].levelDb, strongest[i].levelDb);
    for (const Arrival& a : strongest) {
        EXPECT_NE(a.timeMs, 10.0);
        EXPECT_NE(a.timeMs, 15.0);
    }
    EXPECT_EQ(StrongestReflections({arrivals[0]}, 10).size(), 0u);
    EXPECT_EQ(StrongestReflections(arrivals, 3).size(), 3u);
}

// The demo room's response, with its floor reflection (21.07 ms) scaled by floorGain.
std::vector<std::byte> DemoWithFloor(float floorGain)
{
    const std::vector<float> samples = demo::RenderDemoImpulseResponse(demo::DemoRoom{});
    std::vector<test::Frame4> frames;
    for (std::size_t i = 0; i + 3 < samples.size(); i += 4) {
        const double ms = static_cast<double>(frames.size()) * 1000.0 / demo::kDemoSampleRateHz;
        const float g = ms >= 20.5 && ms < 21.8 ? floorGain : 1.0f;
        frames.push_back({g * samples[i], g * samples[i + 1], g * samples[i + 2], g * samples[i + 3]});
    }
    return test::MakeWav(frames);
}

TEST(ReportCommand, AComparisonNamesBothFilesTheFlaggedParametersAndTheChangedArrival)
{
    ScratchFolder scratch("compare-report");
    const std::string a = (scratch.Path() / "before.wav").string();
    const std::string b = (scratch.Path() / "after-floor-treated.wav").string();
    test::WriteFile(a, DemoWithFloor(1));
    test::WriteFile(b, DemoWithFloor(0.5f));
    const std::string pdf = (scratch.Path() / "compare.pdf").string();
    const std::string png = (scratch.Path() / "compare.png").string();
    const std::string rooms = (scratch.Path() / "rooms.csv").string();
    const std::string arrivals = (scratch.Path() / "arrivals.csv").string();
    const auto batch = RunCommand(
        HALVANE_BATCH_COMMAND,
        {"--compare", a, b, "--compare-room", rooms, "--compare-arrivals", arrivals, "--png", png, "--report", pdf},
        scratch.Path());
    ASSERT_EQ(batch.exitStatus, 0) << batch.err;
    EXPECT_NE(batch.out.find(": comparison report " + pdf), std::string::npos) << batch.out;
    EXPECT_TRUE(fs::exists(png));

    const auto text = testing::RunShell("pdftotext -layout " + testing::Quoted(pdf) + " -");
    ASSERT_EQ(text.exitStatus, 0) << text.out;
    EXPECT_NE(text.out.find("A: " + a), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("B: " + b), std::string::npos) << text.out;
    // A parameter of the whole response beyond its JND, on its line as the table writes it.
    int flagged = 0;
    for (const auto& row : CsvRows(test::ReadFile(rooms))) {
        if (row[0] != "all" || row[6] != "yes") continue;
        ++flagged;
        // Blanks inside a field ("5 %") come out of the PDF as the font spaces them: compare without blanks.
        std::string joined;
        for (const std::string& field : row) {
            for (const char c : field) {
                if (c != ' ' && c != '"') joined += c;
            }
        }
        bool found = false;
        std::istringstream lines(text.out);
        for (std::string line; std::getline(lines, line);) {
            std::erase(line, ' ');
            found = found || line == joined;
        }
        EXPECT_TRUE(found) << row[1] << "\n" << text.out;
    }
    EXPECT_GT(flagged, 0) << "halving the floor reflection moves no parameter of the whole response";
    // The floor reflection matched in both, 6 dB down.
    bool floorChanged = false;
    for (const auto& row : CsvRows(test::ReadFile(arrivals))) {
        if (row[0] != "both" || row[1] != "21.074") continue;
        EXPECT_EQ(row[9], "-6.02");
        floorChanged = HasLineOf(text.out, row);
    }
    EXPECT_TRUE(floorChanged) << text.out;
}

}  // namespace
}  // namespace halvane
