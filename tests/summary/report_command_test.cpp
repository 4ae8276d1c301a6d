// halvane-batch --report end to end: one A4 page whose text is text, holding
// the file's name and the room parameters exactly as the table writes them.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

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

}  // namespace
}  // namespace halvane
