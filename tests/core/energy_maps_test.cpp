// The directional energy maps: plane waves placed at known directions are
// found again by both estimators, arrivals keep their levels in the range
// that holds them, a diffuse field is flat in the beam map, energy is kept,
// the grid's edges and the ranges' edges, and the refusals; the results
// window's maps, one range at a time, and its energy-time curve.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <numeric>
#include <string>
#include <vector>

#include "analysis/maps/EnergyMaps.h"
#include "analysis/results/ResponseMaps.h"
#include "analysis/room/OctaveBands.h"
#include "analysis/room/RoomParameters.h"
#include "simulation/RoomSimulator.h"
#include "values/MapGrid.h"

namespace halvane {
namespace {

constexpr double kRateHz = 48000;
constexpr double kRad = std::numbers::pi / 180;

// A peak lies at a cell centre, and a cell centre is at most sqrt(2) degrees
// from any direction in its cell.
constexpr double kPeakToleranceDeg = 2;
// Arrivals alone in their range keep their level to the pulse energy that
// falls outside the range (the pulse's ringing): well under this.
constexpr double kLevelToleranceDb = 0.5;
// The beam map's sum over the grid is the midpoint rule of an exact integral.
constexpr double kEnergyToleranceDb = 0.1;
constexpr double kFlatToleranceDb = 1;

double AngleDeg(double az1Deg, double el1Deg, double az2Deg, double el2Deg)
{
    const double c = std::sin(el1Deg * kRad) * std::sin(el2Deg * kRad) +
                     std::cos(el1Deg * kRad) * std::cos(el2Deg * kRad) * std::cos((az1Deg - az2Deg) * kRad);
    return std::acos(std::clamp(c, -1.0, 1.0)) / kRad;
}

double CellAzDeg(std::size_t cell) { return MapColumnAzDeg(cell % kMapColumns); }
double CellElDeg(std::size_t cell) { return MapRowElDeg(cell / kMapColumns); }

// The mean over the sphere of a map's cell energies, cells weighted by solid angle.
double SphereMean(const std::vector<double>& cells)
{
    double sum = 0;
    for (std::size_t cell = 0; cell < cells.size(); ++cell) {
        sum += cells[cell] * MapCellSolidAngleSr(cell / kMapColumns);
    }
    return sum / (4 * std::numbers::pi);
}

double Db(double ratio) { return 10 * std::log10(ratio); }

struct Wave {
    double timeMs;
    double azDeg;
    double elDeg;
    double levelDb;  // peak energy re the first wave
};

// Plane waves of the simulator's loudspeaker pulse, float samples.
BFormatSignal Waves(const std::vector<Wave>& waves, double seconds)
{
    const simulation::RoomSimulator simulator(kRateHz);
    simulation::ChannelMix mix;
    for (auto& channel : mix) channel.assign(static_cast<std::size_t>(seconds * kRateHz), 0.0);
    for (const Wave& wave : waves) {
        simulator.AddPlaneWave(mix, wave.timeMs, wave.azDeg, wave.elDeg, 0.5 * std::pow(10.0, wave.levelDb / 20));
    }
    return simulation::Quantise(mix, kRateHz, simulation::SampleFormat::Float32);
}

EnergyMapSet Maps(const BFormatSignal& signal, MapEstimator estimator, std::vector<TimeRange> ranges = {})
{
    EnergyMapOptions options;
    options.estimator = estimator;
    options.ranges = std::move(ranges);
    Result<EnergyMapSet> maps = ComputeEnergyMaps(signal, options);
    EXPECT_TRUE(maps.Ok()) << maps.Message();
    return maps.Ok() ? std::move(*maps) : EnergyMapSet{};
}

const char* Name(MapEstimator estimator) { return estimator == MapEstimator::Beam ? "beam" : "histogram"; }

// ---------------------------------------------------------------------------
// The grid.

TEST(MapGrid, SolidAnglesCoverTheSphere)
{
    double total = 0;
    for (std::size_t row = 0; row < kMapRows; ++row) total += MapCellSolidAngleSr(row) * kMapColumns;
    EXPECT_NEAR(total, 4 * std::numbers::pi, 1e-12);
    EXPECT_DOUBLE_EQ(MapCellSolidAngleSr(0), MapCellSolidAngleSr(kMapRows - 1));
}

TEST(MapGrid, DirectionsFallInTheCellsTheEdgeRuleNames)
{
    struct Row {
        const char* name;
        double azDeg, elDeg;
        std::size_t column, row;
    };
    const Row rows[] = {
        {"left edge +180", 180, 0, 0, 45},
        {"right edge -180 is the same column", -180, 0, 0, 45},
        {"just inside the right edge", -179.5, 0.5, 179, 44},
        {"front, on the edges: right and below", 0, 0, 90, 45},
        {"an even azimuth goes right", 178, 10, 1, 40},
        {"an odd azimuth is a centre", 29, 9, 75, 40},
        {"straight up", 30, 90, 75, 0},
        {"straight down", 30, -90, 75, 89},
        {"beyond 180 wraps", 181, 0, 179, 45},
        {"below -180 wraps", -181, 0, 0, 45},
        {"not finite", std::numeric_limits<double>::quiet_NaN(), 0, 0, 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(MapCellOf(r.azDeg, r.elDeg), r.row * kMapColumns + r.column);
    }
    for (std::size_t column : {0u, 89u, 179u}) {
        EXPECT_EQ(MapCellOf(MapColumnAzDeg(column), MapRowElDeg(7)), 7 * kMapColumns + column);
    }
}

// ---------------------------------------------------------------------------
// Plane waves.

TEST(EnergyMaps, OnePlaneWavePeaksAtItsDirection)
{
    struct Row {
        const char* name;
        double azDeg, elDeg;
    };
    const Row rows[] = {
        {"front left, a little up", 30, 10}, {"back left, low", 150, -40},
        {"back right, high", -135, 60},      {"front right, steeply down", -45, -75},
        {"near the seam", 179.5, 5},         {"straight up", 0, 90},
        {"straight down", 90, -90},
    };
    for (MapEstimator estimator : {MapEstimator::Beam, MapEstimator::Histogram}) {
        for (const Row& r : rows) {
            SCOPED_TRACE(std::string(Name(estimator)) + ": " + r.name);
            const EnergyMapSet set = Maps(Waves({{10, r.azDeg, r.elDeg, 0}}, 0.2), estimator);
            ASSERT_EQ(set.maps.size(), 3u);
            const EnergyMap& direct = set.maps[0];
            EXPECT_LE(AngleDeg(CellAzDeg(direct.peakCell), CellElDeg(direct.peakCell), r.azDeg, r.elDeg),
                      kPeakToleranceDeg);
            EXPECT_DOUBLE_EQ(direct.peakDb, 0);
        }
    }
}

// The beam of one plane wave: 1 + sqrt(3) cos(angle), in energy, halved by the
// scaling (a plane wave's dipoles carry as much energy as W).
TEST(EnergyMaps, TheBeamOfAPlaneWaveIsTheMaxREPattern)
{
    const EnergyMapSet set = Maps(Waves({{10, 30, 10, 0}}, 0.2), MapEstimator::Beam);
    const EnergyMap& direct = set.maps[0];
    for (std::size_t cell = 0; cell < kMapCells; cell += 97) {
        const double angle = AngleDeg(CellAzDeg(cell), CellElDeg(cell), 30, 10) * kRad;
        const double beam = 1 + std::sqrt(3.0) * std::cos(angle);
        EXPECT_NEAR(direct.cellEnergy[cell], direct.energy * beam * beam / 2, 1e-6 * direct.energy) << cell;
    }
}

// Three arrivals, each alone in its range (a first-order beam 90 degrees away
// from a stronger one in the same range would pull its peak by some degrees).
TEST(EnergyMaps, ThreeArrivalsKeepTheirDirectionsAndLevels)
{
    const std::vector<Wave> waves = {{10, 0, 0, 0}, {20, 90, 0, -6}, {40, 180, 30, -10}};
    const std::vector<TimeRange> ranges = {{"direct", 0, 5}, {"", 5, 20}, {"", 20, 80}};
    const BFormatSignal signal = Waves(waves, 0.3);
    for (MapEstimator estimator : {MapEstimator::Beam, MapEstimator::Histogram}) {
        const EnergyMapSet set = Maps(signal, estimator, ranges);
        ASSERT_EQ(set.maps.size(), 3u);
        for (std::size_t i = 0; i < waves.size(); ++i) {
            SCOPED_TRACE(std::string(Name(estimator)) + ", arrival " + std::to_string(i));
            const EnergyMap& map = set.maps[i];
            EXPECT_LE(AngleDeg(CellAzDeg(map.peakCell), CellElDeg(map.peakCell), waves[i].azDeg, waves[i].elDeg),
                      kPeakToleranceDeg);
            EXPECT_NEAR(map.peakDb, waves[i].levelDb, kLevelToleranceDb);
        }
    }
}

// The histogram's spots are narrow: both reflections stand apart in the one
// default early range, each a local peak at its direction and level.
TEST(EnergyMaps, TheHistogramSeparatesArrivalsInOneRange)
{
    const std::vector<Wave> waves = {{10, 0, 0, 0}, {20, 90, 0, -6}, {40, 180, 30, -10}};
    const EnergyMapSet set = Maps(Waves(waves, 0.3), MapEstimator::Histogram);
    const EnergyMap& early = set.maps[1];
    for (std::size_t i = 1; i < waves.size(); ++i) {
        SCOPED_TRACE("arrival " + std::to_string(i));
        // The loudest cell within 10 degrees of the arrival.
        std::size_t best = 0;
        double bestDb = -std::numeric_limits<double>::infinity();
        for (std::size_t cell = 0; cell < kMapCells; ++cell) {
            if (AngleDeg(CellAzDeg(cell), CellElDeg(cell), waves[i].azDeg, waves[i].elDeg) > 10) continue;
            if (early.levelDb[cell] > bestDb) bestDb = early.levelDb[cell], best = cell;
        }
        EXPECT_LE(AngleDeg(CellAzDeg(best), CellElDeg(best), waves[i].azDeg, waves[i].elDeg), kPeakToleranceDeg);
        EXPECT_NEAR(bestDb, waves[i].levelDb, kLevelToleranceDb);
    }
}

// ---------------------------------------------------------------------------
// Diffuse fields and energy.

// A direct sound, then white noise whose every frame comes from its own
// direction, drawn uniformly over the sphere.
BFormatSignal DiffuseField()
{
    BFormatSignal signal = Waves({{10, 0, 0, 0}}, 1.0);
    std::uint64_t state = 12345;
    auto uniform = [&state] {  // splitmix64
        std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return static_cast<double>((z ^ (z >> 31)) >> 11) * 0x1.0p-53;
    };
    for (std::size_t n = 4800; n < signal.Frames(); ++n) {
        const double s = 0.01 * (uniform() - 0.5);
        const double z = 2 * uniform() - 1, az = 2 * std::numbers::pi * uniform(), h = std::sqrt(1 - z * z);
        signal.W[n] += static_cast<float>(s);
        signal.Y[n] += static_cast<float>(s * h * std::sin(az));
        signal.Z[n] += static_cast<float>(s * z);
        signal.X[n] += static_cast<float>(s * h * std::cos(az));
    }
    return signal;
}

TEST(EnergyMaps, AnIsotropicDiffuseFieldGivesAFlatBeamMap)
{
    const EnergyMapSet set = Maps(DiffuseField(), MapEstimator::Beam, {{"diffuse", 100, 1000}});
    const EnergyMap& map = set.maps[0];
    const auto [low, high] = std::minmax_element(map.levelDb.begin(), map.levelDb.end());
    EXPECT_LE(*high - *low, kFlatToleranceDb);
    // Flat at the range's energy.
    EXPECT_NEAR(Db(map.cellEnergy[map.peakCell] / map.energy), 0, kFlatToleranceDb);
}

TEST(EnergyMaps, TheMapHoldsTheRangesEnergy)
{
    struct Row {
        const char* name;
        BFormatSignal signal;
        std::vector<TimeRange> ranges;
    };
    const Row rows[] = {
        {"a plane wave", Waves({{10, 30, 10, 0}}, 0.2), {}},
        {"three arrivals", Waves({{10, 0, 0, 0}, {20, 90, 0, -6}, {40, 180, 30, -10}}, 0.3), {}},
        {"a diffuse field", DiffuseField(), {{"", 0, 5}, {"", 100, 1000}}},
    };
    for (const Row& r : rows) {
        for (MapEstimator estimator : {MapEstimator::Beam, MapEstimator::Histogram}) {
            SCOPED_TRACE(std::string(r.name) + ", " + Name(estimator));
            const EnergyMapSet set = Maps(r.signal, estimator, r.ranges);
            for (const EnergyMap& map : set.maps) {
                if (map.energy == 0) continue;
                EXPECT_NEAR(Db(SphereMean(map.cellEnergy) / map.energy), 0, kEnergyToleranceDb) << map.range.fromMs;
            }
        }
    }
}

// ---------------------------------------------------------------------------
// Times.

// Single frames of sound placed around the ranges' edges, each from its own
// direction, show which range holds them.
TEST(EnergyMaps, ARangeHoldsTheFramesFromItsStartToBeforeItsEnd)
{
    const std::size_t onset = 480;  // 10 ms
    BFormatSignal signal;
    signal.SampleRateHz = kRateHz;
    for (auto* channel : {&signal.W, &signal.Y, &signal.Z, &signal.X}) channel->assign(9600, 0.0f);
    auto click = [&signal](std::size_t frame, float w) {
        signal.W[frame] = w;
        signal.X[frame] = w;
    };
    click(onset, 1.0f);            // 0 ms: the onset, direct
    click(onset - 1, 0.05f);       // before the onset: in no range
    click(onset + 239, 0.5f);      // 4.979 ms: direct
    click(onset + 240, 0.25f);     // 5 ms exactly: early
    click(onset + 3839, 0.125f);   // 79.979 ms: early
    click(onset + 3840, 0.0625f);  // 80 ms exactly: late

    const EnergyMapSet set = Maps(signal, MapEstimator::Beam, {{"direct", 0, 5}, {"early", 5, 80}, {"late", 80, 100}});
    ASSERT_EQ(set.maps.size(), 3u);
    EXPECT_EQ(set.onsetFrame, onset);
    EXPECT_DOUBLE_EQ(set.onsetMs, 10);
    struct Expected {
        std::size_t first, end;
        double energy;
    };
    const Expected expected[] = {
        {onset, onset + 240, 1.0 + 0.25},
        {onset + 240, onset + 3840, 0.0625 + 0.015625},
        {onset + 3840, onset + 4800, 0.0625 * 0.0625},
    };
    for (std::size_t r = 0; r < 3; ++r) {
        SCOPED_TRACE(set.maps[r].range.label);
        EXPECT_EQ(set.maps[r].firstFrame, expected[r].first);
        EXPECT_EQ(set.maps[r].endFrame, expected[r].end);
        EXPECT_DOUBLE_EQ(set.maps[r].energy, expected[r].energy);
    }
}

TEST(EnergyMaps, TheLateRangeEndsWhereTheDecayMeetsTheNoise)
{
    simulation::RoomSimulator simulator(kRateHz);
    simulation::SimulationOptions options;
    options.durationS = 1.5;
    options.noiseDb = -60;
    const simulation::SimulatedResponse room = simulator.Simulate(simulation::ShoeboxRoom{}, options);
    const BandParameters broadband = ComputeBandParameters(room.signal, kBroadband);
    const EnergyMapSet set = Maps(room.signal, MapEstimator::Beam);
    ASSERT_EQ(set.maps.size(), 3u);
    EXPECT_DOUBLE_EQ(set.decayEndMs, broadband.decay.crossingS * 1000);
    EXPECT_DOUBLE_EQ(set.maps[2].toMs, set.decayEndMs);
    EXPECT_EQ(set.maps[2].endFrame, set.onsetFrame + FramesBefore(set.decayEndMs, kRateHz));
    EXPECT_LT(set.maps[2].endFrame, room.signal.Frames());
}

TEST(EnergyMaps, ABandsMapsAreTheBandsAndBeginWithItsPreRinging)
{
    const BFormatSignal signal = Waves({{100, -60, 20, 0}}, 0.4);
    EnergyMapOptions options;
    options.bandHz = 1000;
    const Result<EnergyMapSet> band = ComputeEnergyMaps(signal, options);
    ASSERT_TRUE(band.Ok()) << band.Message();
    const Result<EnergyMapSet> broadband = ComputeEnergyMaps(signal, EnergyMapOptions{});
    ASSERT_TRUE(broadband.Ok());
    const std::size_t ring = OctaveBandFilter::Design(1000, kRateHz)->RingFrames();
    EXPECT_EQ(band->onsetFrame, broadband->onsetFrame);
    EXPECT_EQ(band->maps[0].firstFrame, band->onsetFrame - std::min(ring, band->onsetFrame));
    EXPECT_EQ(band->maps[1].firstFrame, broadband->maps[1].firstFrame);
    const EnergyMap& direct = band->maps[0];
    EXPECT_LE(AngleDeg(CellAzDeg(direct.peakCell), CellElDeg(direct.peakCell), -60, 20), kPeakToleranceDeg);
    // The band holds a fraction of the pulse's energy.
    EXPECT_LT(direct.energy, 0.5 * broadband->maps[0].energy);
}

// ---------------------------------------------------------------------------
// Levels and refusals.

TEST(EnergyMaps, CellsWithoutEnergyLieOnTheFloor)
{
    const EnergyMapSet set = Maps(Waves({{10, 0, 0, 0}}, 0.2), MapEstimator::Histogram);
    const EnergyMap& direct = set.maps[0];
    // Straight behind, far outside the spot.
    EXPECT_EQ(direct.cellEnergy[MapCellOf(180, 0)], 0);
    EXPECT_EQ(direct.levelDb[MapCellOf(180, 0)], kEnergyMapFloorDb);
    EXPECT_EQ(*std::min_element(direct.levelDb.begin(), direct.levelDb.end()), kEnergyMapFloorDb);
}

TEST(EnergyMaps, LevelsReferToTheDirectSoundWhateverTheRangesAskedFor)
{
    const BFormatSignal signal = Waves({{10, 0, 0, 0}, {30, 90, 0, -6}}, 0.2);
    for (MapEstimator estimator : {MapEstimator::Beam, MapEstimator::Histogram}) {
        SCOPED_TRACE(Name(estimator));
        const EnergyMapSet alone = Maps(signal, estimator, {{"", 10, 40}});
        const EnergyMapSet all = Maps(signal, estimator);
        EXPECT_DOUBLE_EQ(alone.referenceEnergy, all.referenceEnergy);
        EXPECT_NEAR(alone.maps[0].peakDb, -6, kLevelToleranceDb);
    }
}

TEST(EnergyMaps, RefusesWhatItCannotMap)
{
    const BFormatSignal plane = Waves({{10, 0, 0, 0}}, 0.2);
    BFormatSignal silent = plane;
    std::fill(silent.W.begin(), silent.W.end(), 0.0f);
    BFormatSignal noRate = plane;
    noRate.SampleRateHz = 0;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Row {
        const char* name;
        const BFormatSignal* signal;
        EnergyMapOptions options;
        const char* words;
    };
    auto with = [](auto change) {
        EnergyMapOptions options;
        change(options);
        return options;
    };
    const Row rows[] = {
        {"silent W", &silent, {}, "no direct sound"},
        {"no sample rate", &noRate, {}, "sample rate"},
        {"a range before the onset", &plane, with([](auto& o) {
             o.ranges = {{"", -1, 5}};
         }),
         "before the direct"},
        {"a range ending where it begins", &plane, with([](auto& o) {
             o.ranges = {{"", 5, 5}};
         }),
         "does not end"},
        {"a range of NaN", &plane, with([nan](auto& o) {
             o.ranges = {{"", nan, 5}};
         }),
         "finite"},
        {"an end of infinity", &plane, with([](auto& o) {
             o.ranges = {{"", 0, std::numeric_limits<double>::infinity()}};
         }),
         "finite"},
        {"no such band", &plane, with([](auto& o) { o.bandHz = 300; }), "no octave band at 300 Hz"},
        {"no direction window", &plane, with([](auto& o) { o.directionWindowMs = 0; }), "direction window"},
        {"too narrow a spot", &plane, with([](auto& o) { o.spotWidthDeg = 0.2; }), "spot width"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const Result<EnergyMapSet> maps = ComputeEnergyMaps(*r.signal, r.options);
        ASSERT_FALSE(maps.Ok());
        EXPECT_NE(maps.Message().find(r.words), std::string::npos) << maps.Message();
    }
}

TEST(EnergyMaps, AHighBandAtALowRateIsRefused)
{
    BFormatSignal signal = Waves({{10, 0, 0, 0}}, 0.2);
    signal.SampleRateHz = 8000;
    EnergyMapOptions options;
    options.bandHz = 4000;
    const Result<EnergyMapSet> maps = ComputeEnergyMaps(signal, options);
    ASSERT_FALSE(maps.Ok());
    EXPECT_NE(maps.Message().find("4000 Hz band"), std::string::npos) << maps.Message();
}

TEST(EnergyMaps, RangesPastTheFileAreEmptyAndOnTheFloor)
{
    const EnergyMapSet set = Maps(Waves({{10, 0, 0, 0}}, 0.2), MapEstimator::Beam, {{"", 500, 1e300}});
    ASSERT_EQ(set.maps.size(), 1u);
    EXPECT_EQ(set.maps[0].firstFrame, set.maps[0].endFrame);
    EXPECT_EQ(set.maps[0].energy, 0);
    EXPECT_EQ(set.maps[0].peakDb, kEnergyMapFloorDb);
}

// ---------------------------------------------------------------------------
// The results window's maps: one range at a time, each band filtered once.

std::shared_ptr<const BFormatSignal> Shared(BFormatSignal signal)
{
    return std::make_shared<const BFormatSignal>(std::move(signal));
}

TEST(ResponseMaps, EachMapIsTheOneComputedAlone)
{
    const auto signal = Shared(Waves({{10, 30, 10, 0}, {40, -100, -20, -6}, {120, 150, 40, -10}}, 0.4));
    ResponseMaps maps(signal, {});
    struct Row {
        const char* name;
        MapRequest request;
    };
    const Row rows[] = {
        {"direct, beam", {DirectTimeRange(), MapEstimator::Beam, kBroadband}},
        {"early, histogram", {DefaultTimeRanges()[1], MapEstimator::Histogram, kBroadband}},
        {"late, beam, 1 kHz", {DefaultTimeRanges()[2], MapEstimator::Beam, 1000}},
        {"custom, histogram, 1 kHz", {{"", 25, 60}, MapEstimator::Histogram, 1000}},
        {"direct, histogram, 1 kHz", {DirectTimeRange(), MapEstimator::Histogram, 1000}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        EnergyMapOptions options;
        options.ranges = {r.request.range};
        options.estimator = r.request.estimator;
        options.bandHz = r.request.bandHz;
        const Result<EnergyMapSet> alone = ComputeEnergyMaps(*signal, options);
        ASSERT_TRUE(alone.Ok()) << alone.Message();
        const auto shown = maps.Compute(r.request);
        ASSERT_TRUE(shown.Ok()) << shown.Message();
        const ShownMap& map = **shown;
        EXPECT_TRUE(map.request == r.request);
        EXPECT_EQ(map.set.bandHz, r.request.bandHz);
        EXPECT_EQ(map.set.onsetFrame, alone->onsetFrame);
        EXPECT_EQ(map.set.referenceEnergy, alone->referenceEnergy);
        EXPECT_EQ(map.Map().levelDb, alone->maps[0].levelDb);
        EXPECT_EQ(map.Map().toMs, alone->maps[0].toMs);
    }
}

TEST(ResponseMaps, AMapAskedForAgainIsTheOneKnown)
{
    ResponseMaps maps(Shared(Waves({{10, 0, 0, 0}, {50, 90, 0, -6}}, 0.3)), {});
    const MapRequest early{DefaultTimeRanges()[1], MapEstimator::Beam, kBroadband};
    EXPECT_EQ(maps.Known(early), nullptr);
    const auto first = maps.Compute(early);
    ASSERT_TRUE(first.Ok());
    EXPECT_EQ(maps.Known(early), *first);
    const auto again = maps.Compute(early);
    ASSERT_TRUE(again.Ok());
    EXPECT_EQ(*again, *first);
    // Another estimator, band or range is another map.
    for (const MapRequest& other :
         {MapRequest{early.range, MapEstimator::Histogram, kBroadband},
          MapRequest{early.range, MapEstimator::Beam, 500}, MapRequest{{"", 5, 80}, MapEstimator::Beam, kBroadband}}) {
        EXPECT_EQ(maps.Known(other), nullptr);
    }
}

TEST(ResponseMaps, RefusalsAreSaidAndNotKept)
{
    BFormatSignal lowRate = Waves({{10, 0, 0, 0}}, 0.2);
    lowRate.SampleRateHz = 8000;
    ResponseMaps maps(Shared(lowRate), {});
    const MapRequest backwards{{"", 50, 20}, MapEstimator::Beam, kBroadband};
    const MapRequest tooHigh{DirectTimeRange(), MapEstimator::Beam, 4000};
    for (const auto& [request, words] : {std::pair{backwards, "does not end"}, std::pair{tooHigh, "4000 Hz band"}}) {
        const auto shown = maps.Compute(request);
        ASSERT_FALSE(shown.Ok());
        EXPECT_NE(shown.Message().find(words), std::string::npos) << shown.Message();
        EXPECT_EQ(maps.Known(request), nullptr);
    }
}

TEST(ResponseMaps, TheEnergyTimeCurvePeaksAtTheOnsetAndHoldsEachArrivalsLevel)
{
    // The second wave 30 ms (60 bins) after the first: its pulse falls on the
    // bins as the first one's does, so its bins are 6 dB down.
    ResponseMaps maps(Shared(Waves({{20, 0, 0, 0}, {50, 90, 0, -6}}, 0.3)), {});
    const auto shown = maps.Compute(MapRequest{});
    ASSERT_TRUE(shown.Ok());
    const EnergyTimeCurve& curve = (*shown)->curve;
    EXPECT_DOUBLE_EQ(curve.binMs, 0.5);
    EXPECT_DOUBLE_EQ(curve.fromMs, -kCurveLeadMs);
    EXPECT_GE(curve.ToMs(), kCurveLeastMs);
    const auto loudest = std::max_element(curve.levelDb.begin(), curve.levelDb.end());
    EXPECT_EQ(*loudest, 0);
    const auto peakBin = static_cast<std::size_t>(loudest - curve.levelDb.begin());
    const double peakMs = curve.fromMs + curve.binMs * static_cast<double>(peakBin);
    EXPECT_GE(peakMs, -1);  // the pulse's peak lies just after the onset
    EXPECT_LE(peakMs, 2);
    EXPECT_NEAR(curve.levelDb[peakBin + 60], -6, 0.01);
    // Before the pulse, nothing.
    EXPECT_EQ(curve.levelDb.front(), kEnergyMapFloorDb);
}

TEST(ResponseMaps, AResponseTooShortForTheLeadBeginsItsCurveAtTheFile)
{
    ResponseMaps maps(Shared(Waves({{1, 0, 0, 0}}, 0.05)), {});
    const auto shown = maps.Compute(MapRequest{});
    ASSERT_TRUE(shown.Ok());
    const EnergyTimeCurve& curve = (*shown)->curve;
    EXPECT_DOUBLE_EQ(curve.fromMs, -(*shown)->set.onsetMs);
    // The file ends at 50 ms: so does the curve, within a bin.
    EXPECT_NEAR(curve.ToMs() + (*shown)->set.onsetMs, 50, 0.5);
}

}  // namespace
}  // namespace halvane
