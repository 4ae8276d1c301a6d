// Two responses compared: aligned on the direct sound, then their energy
// maps, room parameters and arrivals side by side, on responses made of
// plane waves at exact fractional times.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/compare/Alignment.h"
#include "analysis/compare/Comparison.h"
#include "report/ComparisonTables.h"
#include "simulation/ChannelMix.h"
#include "simulation/RoomSimulator.h"
#include "simulation/SplitMix64.h"
#include "values/MapGrid.h"
#include "values/SoundField.h"

namespace halvane {
namespace {

constexpr double kRateHz = 48000;
constexpr double kDurationS = 0.7;

struct Wave {
    double timeMs, azDeg, elDeg, amplitude;
};

// A small room: the direct sound at 5 ms, five early reflections, and a tail
// of plane waves from every direction decaying by 60 dB in 0.5 s.
std::vector<Wave> Room()
{
    std::vector<Wave> waves = {{5, 20, 5, 0.5},       {9.1, -60, 0, 0.25},    {13.3, 110, 10, 0.2},
                               {17.8, 20, -50, 0.18}, {24.2, -150, 20, 0.15}, {31.6, 75, 60, 0.12}};
    simulation::SplitMix64 random(7);
    for (int i = 0; i < 3000; ++i) {
        const double timeMs = 40 + 560 * random.Uniform();
        // No tail wave straddles 80 ms after the onset (a little before 5 ms).
        if (timeMs > 82 && timeMs < 88) continue;
        const double azDeg = 360 * random.Uniform() - 180,
                     elDeg = DegreesFromRadians(std::asin(2 * random.Uniform() - 1));
        const double decay = std::exp(-std::log(1000.0) * (timeMs - 5) / 500);
        waves.push_back({timeMs, azDeg, elDeg, 0.06 * random.Gaussian() * decay});
    }
    return waves;
}

BFormatSignal Render(const std::vector<Wave>& waves, double shiftMs = 0)
{
    const simulation::RoomSimulator simulator(kRateHz);
    simulation::ChannelMix mix;
    simulation::Grow(mix, static_cast<std::size_t>(kDurationS * kRateHz));
    for (const Wave& w : waves) simulator.AddPlaneWave(mix, w.timeMs + shiftMs, w.azDeg, w.elDeg, w.amplitude);
    return simulation::Quantise(mix, kRateHz, simulation::SampleFormat::Float32);
}

const ParameterDifference& Parameter(const Comparison& c, const std::string& band, const std::string& name)
{
    for (const ParameterDifference& p : c.parameters) {
        if (p.band == band && p.parameter == name) return p;
    }
    static const ParameterDifference kNone;
    ADD_FAILURE() << "no " << name << " in band " << band;
    return kNone;
}

bool AnyFlag(const Comparison& c)
{
    for (const ParameterDifference& p : c.parameters) {
        if (p.beyondJnd) return true;
    }
    return false;
}

TEST(Compare, OneReflectionSixDecibelsDownShowsInItsCellAndItsArrivalAlone)
{
    const std::vector<Wave> waves = Room();
    std::vector<Wave> lowered = waves;
    lowered[3].amplitude *= std::pow(10.0, -6.0 / 20);  // 17.8 ms from (20, -50)
    const auto compared = CompareResponses(Render(waves), Render(lowered), {});
    ASSERT_TRUE(compared) << compared.Message();

    // The early map (5-80 ms): -6 dB where the reflection comes from, nothing
    // beyond its spot. The histogram's spot is a few degrees across at -3 dB,
    // but the pulse's low ringing overlaps the direct sound's and the next
    // reflections', and its frames, read together, lie up to 18 degrees off
    // some 30 dB down.
    constexpr double kSpotDeg = 20;
    constexpr double kToleranceDb = 0.5;
    ASSERT_EQ(compared->maps.size(), 3u);
    const MapDifference& early = compared->maps[1];
    const std::size_t cell = MapCellOf(20, -50);
    ASSERT_TRUE(early.differenceDb[cell]);
    EXPECT_NEAR(*early.differenceDb[cell], -6, kToleranceDb);
    std::size_t comparedCells = 0;
    for (std::size_t c = 0; c < kMapCells; ++c) {
        const Direction centre{MapColumnAzDeg(c % kMapColumns), MapRowElDeg(c / kMapColumns)};
        for (const MapDifference& map : compared->maps) {
            if (!map.differenceDb[c] || (&map == &early && AngleBetweenDeg(centre, {20, -50}) < kSpotDeg)) continue;
            ++comparedCells;
            EXPECT_LT(std::fabs(*map.differenceDb[c]), kToleranceDb) << map.range.label << " cell " << c;
        }
    }
    EXPECT_GT(comparedCells, 1000u) << "the reflections' spots and the tail lie above the floor";

    int changed = 0;
    for (const ArrivalPair& pair : compared->arrivals) {
        ASSERT_EQ(pair.match, ArrivalMatch::Both) << (pair.a ? pair.a->timeMs : pair.b->timeMs);
        if (std::fabs(pair.a->timeMs - 17.8) < 0.1) {
            ++changed;
            EXPECT_NEAR(*pair.levelChangeDb, -6, kToleranceDb);
        } else {
            EXPECT_LT(std::fabs(*pair.levelChangeDb), kToleranceDb) << pair.a->timeMs;
        }
    }
    EXPECT_EQ(changed, 1);
}

TEST(Compare, TheClarityDifferenceIsTheAnalyticOne)
{
    // B: everything from 80 ms after the onset twice as loud, four times the
    // late energy: C80 falls by 10 log10(4) dB.
    const std::vector<Wave> waves = Room();
    std::vector<Wave> louder = waves;
    for (Wave& w : louder) w.amplitude *= w.timeMs > 85 ? 2 : 1;
    const auto compared = CompareResponses(Render(waves), Render(louder), {});
    ASSERT_TRUE(compared) << compared.Message();
    const ParameterDifference& c80 = Parameter(*compared, "all", "C80 (dB)");
    ASSERT_TRUE(c80.difference);
    EXPECT_NEAR(*c80.difference, -10 * std::log10(4.0), 0.1);
    EXPECT_TRUE(c80.beyondJnd);
}

TEST(Compare, AResponseAFractionOfAFrameLaterIsTheSame)
{
    const std::vector<Wave> waves = Room();
    for (const double frames : {0.37, -2.5}) {
        SCOPED_TRACE(std::to_string(frames) + " frames later");
        const auto compared = CompareResponses(Render(waves), Render(waves, frames / kRateHz * 1000), {});
        ASSERT_TRUE(compared) << compared.Message();
        EXPECT_NEAR(compared->lagMs * kRateHz / 1000, frames, 0.1);
        EXPECT_FALSE(AnyFlag(*compared));
        // The direct sound and the early reflections alike to a hundredth of
        // a dB; of the tail's own peaks, overlapping one another, a few read
        // differently by a fraction of a sample.
        std::size_t early = 0, unmatched = 0;
        for (const ArrivalPair& pair : compared->arrivals) {
            const double timeMs = pair.a ? pair.a->timeMs : pair.b->timeMs;
            if (timeMs > 35) {
                unmatched += pair.match == ArrivalMatch::Both ? 0 : 1;
                continue;
            }
            ++early;
            ASSERT_EQ(pair.match, ArrivalMatch::Both) << timeMs;
            EXPECT_NEAR(pair.a->timeMs, pair.b->timeMs, 0.005);
            EXPECT_LT(std::fabs(*pair.levelChangeDb), 0.01) << timeMs;
        }
        EXPECT_EQ(early, 6u);
        EXPECT_LE(unmatched * 20, compared->arrivals.size()) << "at most one in twenty";
    }
}

TEST(Compare, TurningBringsATurnedMicrophoneBack)
{
    std::vector<Wave> turned = Room();
    for (Wave& w : turned) w.azDeg += 30;
    const BFormatSignal a = Render(Room()), b = Render(turned);
    const auto asIs = CompareResponses(a, b, {});
    ASSERT_TRUE(asIs) << asIs.Message();
    EXPECT_NE(asIs->arrivals.front().match, ArrivalMatch::Both) << "30 degrees apart is no match";

    ComparisonOptions turn;
    turn.turn = true;
    const auto back = CompareResponses(a, b, turn);
    ASSERT_TRUE(back) << back.Message();
    ASSERT_TRUE(back->rotationDeg);
    EXPECT_NEAR(*back->rotationDeg, 30 * std::cos(RadiansFromDegrees(5)), 1);
    for (const ArrivalPair& pair : back->arrivals) EXPECT_EQ(pair.match, ArrivalMatch::Both);
}

TEST(Compare, ParametersAreFlaggedBeyondTheirJustNoticeableDifference)
{
    struct Row {
        const char* name;
        std::optional<double> BandParameters::*value;
        std::optional<double> a, b;
        bool flagged;
    };
    const std::vector<Row> rows = {
        {"EDT (s)", &BandParameters::edtS, 2.0, 2.09, false},
        {"EDT (s)", &BandParameters::edtS, 2.0, 1.89, true},
        {"T30 (s)", &BandParameters::t30S, 1.0, 1.06, true},
        {"C80 (dB)", &BandParameters::c80Db, -1.0, -1.9, false},
        {"C80 (dB)", &BandParameters::c80Db, 1.0, 2.1, true},
        {"D50", &BandParameters::d50, 0.5, 0.54, false},
        {"D50", &BandParameters::d50, 0.5, 0.44, true},
        {"Ts (ms)", &BandParameters::tsMs, 100, 109, false},
        {"Ts (ms)", &BandParameters::tsMs, 100, 111, true},
        {"LF", &BandParameters::lf, 0.2, 0.26, true},
        {"LF", &BandParameters::lf, 0.2, std::nullopt, false},
        {"C80 (dB)", &BandParameters::c80Db, 40, 43, false},  // the late sound 40 dB down either way
        {"C50 (dB)", &BandParameters::c50Db, 4, 2.5, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.name) + " " + std::to_string(row.a.value_or(NAN)));
        BandParameters a, b;
        a.band = b.band = "500";
        a.*row.value = row.a;
        b.*row.value = row.b;
        const std::vector<ParameterDifference> compared = CompareParameters({a}, {b});
        ASSERT_EQ(compared.size(), 9u) << "every parameter of the band";
        for (const ParameterDifference& p : compared) {
            EXPECT_EQ(p.beyondJnd, p.parameter == row.name && row.flagged) << p.parameter;
            if (p.parameter == row.name) {
                EXPECT_EQ(p.difference.has_value(), row.b.has_value());
            }
        }
    }
}

TEST(Compare, ACurvedDecaysReverberationTimesAreNotJudged)
{
    BandParameters a, b;
    a.band = b.band = "all";
    a.edtS = a.t20S = b.edtS = b.t20S = 0.5;
    a.t30S = 0.54;  // 8 %: straight
    b.t30S = 0.60;  // 20 %: curved
    const std::vector<ParameterDifference> compared = CompareParameters({a}, {b});
    const ParameterDifference& t30 = compared[2];
    ASSERT_EQ(t30.parameter, "T30 (s)");
    EXPECT_FALSE(t30.beyondJnd);
    EXPECT_EQ(t30.notJudged, "curved decay");
    b.t30S = 0.51;
    a.t30S = 0.545;  // both straight, 6.4 % apart
    EXPECT_TRUE(CompareParameters({a}, {b})[2].beyondJnd);
}

TEST(ComparisonTables, ExactBytes)
{
    ParameterDifference edt;
    edt.band = "500";
    edt.parameter = "EDT (s)";
    edt.a = 1.2;
    edt.b = 1.3;
    edt.difference = 0.1;
    edt.jnd = 0.05;
    edt.relativeJnd = true;
    edt.beyondJnd = true;
    ParameterDifference c80{"all", "C80 (dB)", 40.5, 43.25, 2.75, 1, false, false, "no audible late energy"};
    std::ostringstream parameters;
    WriteParameterComparisonTable(parameters, {edt, c80});
    EXPECT_EQ(parameters.str(),
              "\"band (Hz)\",\"parameter\",\"A\",\"B\",\"B-A\",\"JND\",\"beyond JND\",\"not judged\"\r\n"
              "500,\"EDT (s)\",1.200,1.300,0.100,5 %,yes,\r\n"
              "all,\"C80 (dB)\",40.50,43.25,2.75,1.00,,\"no audible late energy\"\r\n");

    std::ostringstream arrivals;
    WriteArrivalComparisonTable(
        arrivals, {{ArrivalMatch::Both, Arrival{17.8, -8.87, 20, -50}, Arrival{17.801, -14.89, 20.1, -50}, -6.02},
                   {ArrivalMatch::OnlyB, std::nullopt, Arrival{40.25, -30, -90, 0}, std::nullopt}});
    EXPECT_EQ(arrivals.str(),
              "\"match\",\"A time (ms)\",\"A level (dB)\",\"A Az\",\"A El\",\"B time (ms)\",\"B level (dB)\","
              "\"B Az\",\"B El\",\"change (dB)\"\r\n"
              "both,17.800,-8.87,20.00,-50.00,17.801,-14.89,20.10,-50.00,-6.02\r\n"
              "only B,,,,,40.250,-30.00,-90.00,0.00,\r\n");

    MapDifference map{{"early", 5, 80}, std::vector<std::optional<double>>(kMapCells)};
    map.differenceDb[1] = -0.004;
    std::ostringstream maps;
    WriteMapDifferenceTable(maps, {map});
    EXPECT_TRUE(
        maps.str().starts_with("\"Az\",\"El\",\"early 5-80 ms B-A (dB)\"\r\n179,89,\r\n177,89,0.00\r\n175,89,\r\n"))
        << maps.str().substr(0, 100);
}

TEST(Compare, ResponsesThatCannotBeComparedSayWhy)
{
    const BFormatSignal a = Render({{5, 0, 0, 0.5}});
    BFormatSignal other = a;
    other.SampleRateHz = 44100;
    EXPECT_EQ(CompareResponses(a, other, {}).Message(), "the two responses have different sample rates");
    BFormatSignal silent = a;
    for (float& v : silent.W) v = 0;
    EXPECT_FALSE(CompareResponses(a, silent, {}));
}

}  // namespace
}  // namespace halvane
