#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "analysis/RunAnalysis.h"
#include "bformat/WavHeader.h"
#include "support/FakeHost.h"

namespace halvane {
namespace {

const std::string kRealDir = HALVANE_REAL_DATA_DIR;

struct RealRun {
    RunReport report;
    std::string intensity;
    std::string reference;
    std::vector<std::string> warnings;
};

RealRun Analyse(const std::string& name, const char* displayMs = "200")
{
    SharedState state;
    state.IrFileName = kRealDir + "/" + name;
    test::FakeHost host;
    host.answers = {"0", displayMs, "5", "0"};
    // The real files are read from disk, the tables kept in memory (the
    // folder of real data is read-only).
    DiskInput disk;
    test::MemoryStorage storage;
    RealRun run;
    run.report = RunAnalysis(state, host, disk, storage, host, host);
    run.warnings = host.warnings;
    const std::string stem = state.IrFileName.substr(0, state.IrFileName.size() - 4);
    run.intensity = storage.Table(stem + ".csv");
    run.reference = storage.Table(stem + "_ref.csv");
    return run;
}

// The (Az, El) of the reference row with the largest Li.
std::pair<double, double> LoudestDirection(const std::string& reference)
{
    std::istringstream lines(reference);
    std::string line;
    std::getline(lines, line);
    double bestLi = -1e300, az = 0, el = 0;
    while (std::getline(lines, line)) {
        double t, a, e, id, li;
        char c;
        std::istringstream row(line);
        row >> t >> c >> a >> c >> e >> c >> id >> c >> li;
        if (li > bestLi) bestLi = li, az = a, el = e;
    }
    return {az, el};
}

TEST(RealData, TwentyFourBitMeasurementsAreRefusedWithTheBitsMessage)
{
    for (const char* name : {"koli_snow_site1_1way_bformat.wav", "Rymer_s1r2_bformat.wav",
                             "St_Andrews_church_000_bformat_48k.wav", "tyndall_bruce_b_format.wav"}) {
        SCOPED_TRACE(name);
        const RealRun run = Analyse(name);
        EXPECT_EQ(run.report.outcome, RunOutcome::Rejected);
        EXPECT_EQ(run.warnings, std::vector<std::string>{kNotSixteenOrThirtyTwoBitsMessage});
        EXPECT_EQ(run.intensity, "<none>");  // a refused run writes no table
    }
}

TEST(RealData, TheAmbixConversionsAgreeInBothSampleFormats)
{
    // The same measurement as 32-bit float (data chunk header at byte 97) and
    // 16-bit (canonical 44-byte header): 1000 windows of 5 ms each.
    const RealRun asFloat = Analyse("derived/koli_snow_site1_ambix_float32.wav");
    const RealRun asInt = Analyse("derived/koli_snow_site1_ambix_pcm16.wav");
    ASSERT_EQ(asFloat.report.outcome, RunOutcome::Completed);
    ASSERT_EQ(asInt.report.outcome, RunOutcome::Completed);
    EXPECT_EQ(asFloat.report.intensityRows, 1000);
    EXPECT_EQ(asInt.report.intensityRows, 1000);
    EXPECT_GT(asFloat.report.referenceRows, 0);
    const auto [azFloat, elFloat] = LoudestDirection(asFloat.reference);
    const auto [azInt, elInt] = LoudestDirection(asInt.reference);
    // 16-bit quantisation of the same samples moves the direction very little.
    constexpr double kFormatToleranceDeg = 0.5;
    EXPECT_NEAR(azFloat, azInt, kFormatToleranceDeg);
    EXPECT_NEAR(elFloat, elInt, kFormatToleranceDeg);
    // A front-facing microphone: the direct sound arrives from the front hemisphere.
    EXPECT_LT(std::fabs(azFloat), 90.0);
}

TEST(RealData, SimulatedFilesInOtherLayoutsRunToTheirEnd)
{
    // 44.1 kHz float with an 18-byte fmt chunk and a fact chunk (data at byte 51),
    // and 44.1 kHz 16-bit with a canonical header: windows of 220.5 samples.
    for (const char* name : {"IR_Gewandhaus_SH1.wav", "room_1_bf.wav"}) {
        SCOPED_TRACE(name);
        const RealRun run = Analyse(name, "1000");
        EXPECT_EQ(run.report.outcome, RunOutcome::Completed);
        EXPECT_GT(run.report.intensityRows, 200);
        EXPECT_GT(run.report.referenceRows, 0);
        EXPECT_EQ(run.intensity.find("NaN"), std::string::npos);
    }
}

}  // namespace
}  // namespace halvane
