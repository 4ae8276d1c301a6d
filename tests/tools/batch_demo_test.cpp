// The batch command on the demo room: its reference table holds the direct sound and every
// early reflection at the right time and from the right direction.

#include "ConventionSignals.h"
#include "bformat/WavWriter.h"
#include "demo/DemoRoom.h"
#include "support/RunCommand.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace halvane::testing {
namespace {

namespace fs = std::filesystem;

constexpr double kWindowMs = 5.0;
// The diffuse tail tilts the weakest reflection by about 1.2 degrees (see the demo tests).
constexpr double kDirectionToleranceDeg = 2.0;

struct ReferenceRow {
    double timeMs, azDeg, elDeg, ratioDb, levelDb;
};

std::vector<ReferenceRow> ParseReferenceTable(const std::string& text, std::string& header)
{
    std::vector<ReferenceRow> rows;
    std::istringstream lines(text);
    std::string line;
    std::getline(lines, line);
    header = line;
    while (std::getline(lines, line)) {
        ReferenceRow row{};
        if (std::sscanf(line.c_str(), "%lf,%lf,%lf,%lf,%lf", &row.timeMs, &row.azDeg, &row.elDeg, &row.ratioDb,
                        &row.levelDb) == 5)
            rows.push_back(row);
    }
    return rows;
}

TEST(BatchOnDemo, ReferenceTableFindsEveryArrival)
{
    ScratchFolder scratch("batch-demo");
    const auto wav = scratch.Path() / "demo-room.wav";
    {
        std::ofstream out(wav, std::ios::binary);
        ASSERT_TRUE(WriteFloatWav(out, demo::kDemoSampleRateHz, demo::kDemoChannelCount,
                                  demo::RenderDemoImpulseResponse(demo::DemoRoom{}))
                        .Ok());
    }
    const auto run = RunCommand(HALVANE_BATCH_COMMAND, {wav.string()}, scratch.Path());
    ASSERT_EQ(run.exitStatus, 0) << run.err;

    std::string header;
    const auto rows = ParseReferenceTable(Slurp(scratch.Path() / "demo-room_ref.csv"), header);
    EXPECT_EQ(header, "\"time (ms)\",\"Az\",\"El\",\"I/D (dB)\",\"Li (dB)\"\r");
    EXPECT_TRUE(fs::exists(scratch.Path() / "demo-room.csv"));

    const auto arrivals = demo::DemoArrivals(demo::DemoRoom{});
    ASSERT_EQ(rows.size(), arrivals.size()) << "one row per arrival, the diffuse tail gives none";
    for (std::size_t i = 0; i < arrivals.size(); ++i) {
        SCOPED_TRACE(arrivals[i].name);
        EXPECT_LE(std::fabs(rows[i].timeMs + kWindowMs / 2 - arrivals[i].timeMs), kWindowMs);
        EXPECT_LE(AzimuthDifferenceDeg(rows[i].azDeg, arrivals[i].azDeg), kDirectionToleranceDeg);
        EXPECT_NEAR(rows[i].elDeg, arrivals[i].elDeg, kDirectionToleranceDeg);
        EXPECT_GE(rows[i].ratioDb, -6.0);
        if (i > 0) {
            EXPECT_LT(rows[i].levelDb, rows[i - 1].levelDb);
        }
    }
}

}  // namespace
}  // namespace halvane::testing
