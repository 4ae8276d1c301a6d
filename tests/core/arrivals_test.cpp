// The arrival analysis: plane waves put in by hand are found again to a
// fraction of a sample, side lobes and diffuse tail are not arrivals, hostile
// input gives no arrivals and no crash, the table's bytes, and the demo room.

#include <gtest/gtest.h>

#include <bit>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <limits>
#include <locale>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/arrivals/Arrivals.h"
#include "report/ArrivalTable.h"
#include "simulation/RoomSimulator.h"
#include "simulation/SplitMix64.h"
#include "support/CommaLocale.h"
#include "support/TestWav.h"

namespace halvane {
namespace {

constexpr double kRateHz = 48000;
constexpr double kRad = std::numbers::pi / 180.0;

// Arrivals put in by hand are found to this fraction of a sample: the pulse is
// matched on a grid 32 times finer than the samples, refined to 1e-4 sample.
constexpr double kTimeToleranceSamples = 0.01;
// Samples are floats: a plane wave's direction comes back to the rounding of
// its gains. Levels go through the template's fine grid (32 points a sample,
// linearly interpolated), good to a few parts in 1e5 of the amplitude.
constexpr double kExactDirectionDeg = 1e-4;
// A level is the energy of the samples within 0.25 ms of an arrival: where
// the two pulses' edges fall between samples moves it by a few thousandths
// of a dB.
constexpr double kExactLevelDb = 5e-3;
// Pulses that overlap are fitted one after the other and refitted twice:
// what is left of each first estimate is below these.
constexpr double kOverlapTimeSamples = 0.05;
constexpr double kOverlapDirectionDeg = 0.2;
constexpr double kOverlapLevelDb = 0.1;

// A band-limited pulse: a sinc low-passed at a quarter of the sample rate
// under a Hann window 24 samples either side, symmetric, so its energy
// envelope peaks at its centre. offsetSamples from the centre.
double HannSinc(double offsetSamples)
{
    constexpr double kHalfWidth = 24;
    if (std::fabs(offsetSamples) >= kHalfWidth) return 0.0;
    const double x = 0.5 * offsetSamples;
    const double sinc = x == 0 ? 1.0 : std::sin(std::numbers::pi * x) / (std::numbers::pi * x);
    return sinc * (0.5 + 0.5 * std::cos(std::numbers::pi * offsetSamples / kHalfWidth));
}

struct PlaneWave {
    double timeMs;
    double azDeg;
    double elDeg;
    double amplitude;  // peak in W
};

using PulseShape = double (*)(double);

// Plane waves of the given pulse, AmbiX SN3D: W = s, Y = s sin az cos el,
// Z = s sin el, X = s cos az cos el, summed in double, stored as float.
BFormatSignal Render(const std::vector<PlaneWave>& waves, double seconds, PulseShape pulse = HannSinc,
                     double reachSamples = 24, double rateHz = kRateHz)
{
    const auto frames = static_cast<std::size_t>(std::nearbyint(seconds * rateHz));
    std::vector<double> w(frames), y(frames), z(frames), x(frames);
    for (const PlaneWave& wave : waves) {
        const double centre = wave.timeMs * rateHz / 1000.0;
        const double cosEl = std::cos(wave.elDeg * kRad);
        const double gy = std::sin(wave.azDeg * kRad) * cosEl, gz = std::sin(wave.elDeg * kRad),
                     gx = std::cos(wave.azDeg * kRad) * cosEl;
        const auto first = static_cast<std::ptrdiff_t>(std::ceil(centre - reachSamples));
        const auto last = static_cast<std::ptrdiff_t>(std::floor(centre + reachSamples));
        for (std::ptrdiff_t n = std::max<std::ptrdiff_t>(first, 0);
             n <= last && n < static_cast<std::ptrdiff_t>(frames); ++n) {
            const double s = wave.amplitude * pulse(static_cast<double>(n) - centre);
            const auto i = static_cast<std::size_t>(n);
            w[i] += s;
            y[i] += s * gy;
            z[i] += s * gz;
            x[i] += s * gx;
        }
    }
    BFormatSignal signal;
    signal.SampleRateHz = rateHz;
    for (std::size_t i = 0; i < frames; ++i) {
        signal.W.push_back(static_cast<float>(w[i]));
        signal.Y.push_back(static_cast<float>(y[i]));
        signal.Z.push_back(static_cast<float>(z[i]));
        signal.X.push_back(static_cast<float>(x[i]));
    }
    return signal;
}

double AngleBetweenDeg(double az1, double el1, double az2, double el2)
{
    const double dot = std::cos(el1 * kRad) * std::cos(el2 * kRad) * std::cos((az1 - az2) * kRad) +
                       std::sin(el1 * kRad) * std::sin(el2 * kRad);
    return std::acos(std::clamp(dot, -1.0, 1.0)) / kRad;
}

// Each wave must be listed once: within the time tolerance, direction and level as given.
void ExpectFound(const std::vector<Arrival>& found, const std::vector<PlaneWave>& waves, double timeToleranceMs,
                 double directionToleranceDeg, double levelToleranceDb)
{
    for (std::size_t i = 0; i < waves.size(); ++i) {
        SCOPED_TRACE("wave " + std::to_string(i) + " at " + std::to_string(waves[i].timeMs) + " ms");
        int matches = 0;
        for (const Arrival& a : found) {
            if (std::fabs(a.timeMs - waves[i].timeMs) > timeToleranceMs) continue;
            ++matches;
            EXPECT_LE(AngleBetweenDeg(a.azDeg, a.elDeg, waves[i].azDeg, waves[i].elDeg), directionToleranceDeg)
                << "listed az " << a.azDeg << " el " << a.elDeg;
            EXPECT_NEAR(a.levelDb, 20 * std::log10(waves[i].amplitude / waves[0].amplitude), levelToleranceDb);
        }
        double nearestMs = std::numeric_limits<double>::infinity();
        for (const Arrival& a : found) {
            if (std::fabs(a.timeMs - waves[i].timeMs) < std::fabs(nearestMs)) nearestMs = a.timeMs - waves[i].timeMs;
        }
        EXPECT_EQ(matches, 1) << "nearest listed arrival " << nearestMs << " ms away";
    }
}

// ---- Plane waves worked out by hand ----------------------------------------

TEST(Arrivals, APlaneWaveInEveryQuadrantIsFoundAtItsFractionalTime)
{
    struct Row {
        const char* name;
        double azDeg, elDeg;
    };
    const Row rows[] = {
        {"front left, up", 30, 20},      {"back left, down", 150, -35}, {"back right", -120, 5},
        {"front right, down", -45, -60}, {"straight up", 0, 90},        {"straight down", 0, -90},
    };
    // 480.37 samples: between samples, so a slip to the nearest sample shows.
    const double timeMs = 480.37 / kRateHz * 1000.0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::vector<Arrival> found = FindArrivals(Render({{timeMs, row.azDeg, row.elDeg, 0.5}}, 0.05), {});
        ASSERT_EQ(found.size(), 1u);
        const Arrival& a = found[0];
        EXPECT_NEAR(a.timeMs, timeMs, kTimeToleranceSamples / kRateHz * 1000.0);
        EXPECT_EQ(a.levelDb, 0.0);
        EXPECT_LE(AngleBetweenDeg(a.azDeg, a.elDeg, row.azDeg, row.elDeg), kExactDirectionDeg);
        if (std::fabs(row.elDeg) < 90) {
            EXPECT_NEAR(a.azDeg, row.azDeg, kExactDirectionDeg);
        }
        EXPECT_NEAR(a.idDb, 10 * std::log10(0.5), kExactLevelDb);
        EXPECT_NEAR(a.diffuseness, 0.0, 1e-5);
    }
}

TEST(Arrivals, ADirectSoundAndAReflectionWorkedOutByHand)
{
    // A reflection 3.7 ms (1.27 m) after the direct sound, 6 dB down, from behind and below.
    const std::vector<PlaneWave> waves{{10.0, 30, 10, 0.5}, {13.7, -120, -20, 0.5 * std::pow(10.0, -6.0 / 20.0)}};
    const std::vector<Arrival> found = FindArrivals(Render(waves, 0.05), {});
    ASSERT_EQ(found.size(), 2u);
    ExpectFound(found, waves, kTimeToleranceSamples / kRateHz * 1000.0, kExactDirectionDeg, kExactLevelDb);
    EXPECT_NEAR(found[1].levelDb, -6.0, kExactLevelDb);

    // As the table gives them: 3.7 ms is 1.269 m at 343 m/s.
    std::ostringstream table;
    WriteArrivalTable(table, found, 343.0, std::nullopt);
    EXPECT_EQ(table.str().substr(table.str().find("\r\n") + 2),
              "10.000,0.000,0.000,0.00,30.00,10.00,-3.01,0.000\r\n"
              "13.700,3.700,1.269,-6.00,-120.00,-20.00,-3.01,0.000\r\n");
}

TEST(Arrivals, AnArrivalCloseBeneathAStrongerOneIsFound)
{
    // Less than the pulse's 0.5 ms length apart, the envelope of W shows one
    // broad peak; the stronger pulse taken out leaves the weaker. The direct
    // sound comes first, alone, so the pulse is cut clean.
    struct Row {
        const char* name;
        double gapMs;
        double levelDb;  // re the stronger of the two
    };
    const Row rows[] = {{"0.3 ms, 6 dB down", 0.3, -6},
                        {"0.2 ms, 3 dB down", 0.2, -3},
                        {"0.15 ms, 10 dB down", 0.15, -10},
                        {"0.1 ms, 6 dB down", 0.1, -6}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const double stronger = 0.5 * std::pow(10.0, -3.0 / 20.0);
        const std::vector<PlaneWave> waves{{3.0, -40, 0, 0.5},
                                           {8.0, 0, 0, stronger},
                                           {8.0 + row.gapMs, 75, 30, stronger * std::pow(10.0, row.levelDb / 20.0)}};
        const std::vector<Arrival> found = FindArrivals(Render(waves, 0.03), {});
        EXPECT_EQ(found.size(), 3u);
        ExpectFound(found, waves, kOverlapTimeSamples / kRateHz * 1000.0, kOverlapDirectionDeg, kOverlapLevelDb);
    }
}

TEST(Arrivals, AnArrivalCloseBehindTheDirectSoundIsFound)
{
    // Here the first cut of the pulse ends where the second arrival begins;
    // what the first pursuit finds of it is taken out and the pulse cut again.
    struct Row {
        const char* name;
        double gapMs;
        double levelDb;
        double directionToleranceDeg;
        double levelToleranceDb;
    };
    // Half a millisecond behind, the pulse's last side lobes and the low cut's
    // share of it still overlap the second arrival after the second cut.
    constexpr double kCloseDirectionDeg = 1.5;
    constexpr double kCloseLevelDb = 0.3;
    const Row rows[] = {{"1 ms, 10 dB down", 1.0, -10, kOverlapDirectionDeg, kOverlapLevelDb},
                        {"0.7 ms, 6 dB down", 0.7, -6, kOverlapDirectionDeg, kOverlapLevelDb},
                        {"0.5 ms, 10 dB down", 0.5, -10, kCloseDirectionDeg, kCloseLevelDb}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::vector<PlaneWave> waves{{8.0, 0, 0, 0.5},
                                           {8.0 + row.gapMs, 75, 30, 0.5 * std::pow(10.0, row.levelDb / 20.0)}};
        const std::vector<Arrival> found = FindArrivals(Render(waves, 0.03), {});
        EXPECT_EQ(found.size(), 2u);
        ExpectFound(found, waves, kOverlapTimeSamples / kRateHz * 1000.0, row.directionToleranceDeg,
                    row.levelToleranceDb);
    }
}

// ---- What is not an arrival ----------------------------------------------------

// A pulse with strong side lobes: a sinc cut off sharply at a quarter of the
// sample rate, windowed only far out, its first side lobes 13 dB down.
double RingingSinc(double offsetSamples)
{
    const double x = 0.5 * offsetSamples;
    const double sinc = x == 0 ? 1.0 : std::sin(std::numbers::pi * x) / (std::numbers::pi * x);
    return sinc * (0.5 + 0.5 * std::cos(std::numbers::pi * offsetSamples / 200.0));
}

// A tone burst: 3 kHz under a Gaussian 0.3 ms wide, whose energy rises and
// falls with every half cycle.
double ToneBurst(double offsetSamples)
{
    const double t = offsetSamples / kRateHz;
    return std::cos(2 * std::numbers::pi * 3000 * t) * std::exp(-0.5 * (t / 0.0003) * (t / 0.0003));
}

TEST(Arrivals, SideLobesAndRippleOfAPulseAreNotArrivals)
{
    struct Row {
        const char* name;
        PulseShape pulse;
        double reachSamples;
    };
    const Row rows[] = {{"sinc with 13 dB side lobes", RingingSinc, 200}, {"3 kHz tone burst", ToneBurst, 100}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::vector<PlaneWave> alone{{10.0, 40, 0, 0.5}};
        const std::vector<Arrival> found = FindArrivals(Render(alone, 0.05, row.pulse, row.reachSamples), {});
        ASSERT_EQ(found.size(), 1u);
        ExpectFound(found, alone, kTimeToleranceSamples / kRateHz * 1000.0, kExactDirectionDeg, kExactLevelDb);

        // A reflection among the ripple of the direct sound is still one.
        const std::vector<PlaneWave> two{{10.0, 40, 0, 0.5}, {12.5, -90, 0, 0.5 * std::pow(10.0, -12.0 / 20.0)}};
        const std::vector<Arrival> both = FindArrivals(Render(two, 0.05, row.pulse, row.reachSamples), {});
        EXPECT_EQ(both.size(), 2u);
        ExpectFound(both, two, kOverlapTimeSamples / kRateHz * 1000.0, kOverlapDirectionDeg, kOverlapLevelDb);
    }
}

TEST(Arrivals, TheDiffuseTailIsNotAnArrival)
{
    // Isotropic noise (X, Y, Z each a third of W's energy, independent) from
    // 7 ms on, 32 dB below the direct sound's peak and decaying by 60 dB over
    // 0.35 s, with two reflections standing out of it by 15 dB or more.
    const std::vector<PlaneWave> waves{
        {5.0, 10, 0, 0.5}, {19.0, -70, 15, 0.5 * std::pow(10.0, -4.0 / 20.0)}, {47.0, 160, -10, 0.5 * 0.5}};
    BFormatSignal signal = Render(waves, 0.3);
    simulation::SplitMix64 normal(7);
    const double startMs = 7.0;
    for (std::size_t n = 0; n < signal.Frames(); ++n) {
        const double timeMs = static_cast<double>(n) / kRateHz * 1000.0;
        if (timeMs < startMs) continue;
        const double deviation = 0.5 * std::pow(10.0, -32.0 / 20.0) * std::exp(-(timeMs - startMs) / 50.0);
        signal.W[n] += static_cast<float>(deviation * normal.Gaussian());
        signal.Y[n] += static_cast<float>(deviation / std::sqrt(3.0) * normal.Gaussian());
        signal.Z[n] += static_cast<float>(deviation / std::sqrt(3.0) * normal.Gaussian());
        signal.X[n] += static_cast<float>(deviation / std::sqrt(3.0) * normal.Gaussian());
    }
    // The tail bends the reflections' directions a little and moves their
    // levels: about 0.2 dB and 1 degree for one standard deviation here.
    constexpr double kTailDirectionDeg = 3.0;
    constexpr double kTailLevelDb = 0.6;

    const std::vector<Arrival> found = FindArrivals(signal, {});
    ASSERT_EQ(found.size(), 3u);
    ExpectFound(found, waves, kOverlapTimeSamples / kRateHz * 1000.0, kTailDirectionDeg, kTailLevelDb);
    for (const Arrival& a : found) EXPECT_LE(a.diffuseness, ArrivalOptions{}.maxDiffuseness);

    // The tail's own peaks do not stand out of the tail around them: they are
    // not arrivals even with every window allowed.
    ArrivalOptions everything;
    everything.maxDiffuseness = 1.0;
    EXPECT_EQ(FindArrivals(signal, everything).size(), found.size());
}

// ---- Input formats and hostile input --------------------------------------------

TEST(Arrivals, SixteenBitAndFloatSamplesAtEverySampleRateGiveTheSameArrivals)
{
    const simulation::ShoeboxRoom studio;
    simulation::SimulationOptions options;
    options.durationS = 0.1;
    options.diffuseTail = false;
    // The noise at -70 dB covers the 16-bit steps (about -100 dB): the two
    // formats give nearly the same arrivals, both near the truth.
    constexpr double kSameTimeMs = 1e-4;
    constexpr double kSameDirectionDeg = 0.05;
    constexpr double kSameLevelDb = 0.01;
    constexpr double kTruthTimeMs = 0.005;
    constexpr double kTruthDirectionDeg = 0.5;
    constexpr double kTruthLevelDb = 0.1;
    for (double rateHz : {44100.0, 48000.0, 96000.0}) {
        SCOPED_TRACE(std::to_string(rateHz) + " Hz");
        const simulation::RoomSimulator simulator(rateHz);
        options.format = simulation::SampleFormat::Float32;
        const simulation::SimulatedResponse asFloat = simulator.Simulate(studio, options);
        options.format = simulation::SampleFormat::Pcm16;
        const simulation::SimulatedResponse asPcm = simulator.Simulate(studio, options);
        const std::vector<Arrival> a = FindArrivals(asFloat.signal, {});
        const std::vector<Arrival> b = FindArrivals(asPcm.signal, {});

        // Every arrival no more than 20 dB down with no other within 0.5 ms
        // stronger than 6 dB below it.
        int isolated = 0;
        for (const simulation::TrueArrival& t : asFloat.arrivals) {
            bool alone = t.levelDb >= -20;
            for (const simulation::TrueArrival& other : asFloat.arrivals) {
                if (&other != &t && std::fabs(other.timeMs - t.timeMs) <= 0.5 && other.levelDb > t.levelDb - 6) {
                    alone = false;
                }
            }
            if (!alone) continue;
            ++isolated;
            SCOPED_TRACE("order " + std::to_string(t.order) + " at " + std::to_string(t.timeMs) + " ms");
            auto nearest = [&](const std::vector<Arrival>& list) {
                const Arrival* best = nullptr;
                for (const Arrival& l : list) {
                    if (!best || std::fabs(l.timeMs - t.timeMs) < std::fabs(best->timeMs - t.timeMs)) best = &l;
                }
                return best;
            };
            const Arrival* fromFloat = nearest(a);
            const Arrival* fromPcm = nearest(b);
            ASSERT_TRUE(fromFloat && fromPcm);
            EXPECT_NEAR(fromFloat->timeMs, t.timeMs, kTruthTimeMs);
            EXPECT_LE(AngleBetweenDeg(fromFloat->azDeg, fromFloat->elDeg, t.azDeg, t.elDeg), kTruthDirectionDeg);
            EXPECT_NEAR(fromFloat->levelDb, t.levelDb, kTruthLevelDb);
            EXPECT_NEAR(fromPcm->timeMs, fromFloat->timeMs, kSameTimeMs);
            EXPECT_LE(AngleBetweenDeg(fromPcm->azDeg, fromPcm->elDeg, fromFloat->azDeg, fromFloat->elDeg),
                      kSameDirectionDeg);
            EXPECT_NEAR(fromPcm->levelDb, fromFloat->levelDb, kSameLevelDb);
        }
        EXPECT_GE(isolated, 5);
    }
}

TEST(Arrivals, ShortSilentAndBoundaryInputs)
{
    struct Row {
        const char* name;
        std::vector<std::array<float, 4>> frames;  // W, Y, Z, X
        std::size_t arrivals;
        double azDeg, elDeg;
    };
    const float lowest = -32768.0f / 32768.0f, highest = 32767.0f / 32768.0f;
    const Row rows[] = {
        {"no frames", {}, 0, 0, 0},
        {"one silent frame", {{0, 0, 0, 0}}, 0, 0, 0},
        {"silence", std::vector<std::array<float, 4>>(2000, {0, 0, 0, 0}), 0, 0, 0},
        {"figure-of-eights without W", std::vector<std::array<float, 4>>(500, {0, 0.5f, 0.25f, 0.5f}), 0, 0, 0},
        {"one frame from the front", {{1.0f, 0, 0, 1.0f}}, 1, 0, 0},
        {"three frames, the middle from the left", {{0, 0, 0, 0}, {0.5f, 0.5f, 0, 0}, {0, 0, 0, 0}}, 1, 90, 0},
        {"full-scale 16-bit step from the front, inverted",
         {{0, 0, 0, 0}, {lowest, 0, 0, lowest}, {0, 0, 0, 0}},
         1,
         0,
         0},
        {"largest 16-bit step from above", {{highest, 0, highest, 0}, {0, 0, 0, 0}}, 1, 0, 90},
        {"-1.0f from below", {{0, 0, 0, 0}, {-1.0f, 0, 1.0f, 0}}, 1, 0, -90},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        BFormatSignal signal;
        signal.SampleRateHz = kRateHz;
        for (const auto& f : row.frames) {
            signal.W.push_back(f[0]);
            signal.Y.push_back(f[1]);
            signal.Z.push_back(f[2]);
            signal.X.push_back(f[3]);
        }
        const std::vector<Arrival> found = FindArrivals(signal, {});
        ASSERT_EQ(found.size(), row.arrivals);
        if (found.empty()) continue;
        EXPECT_LE(AngleBetweenDeg(found[0].azDeg, found[0].elDeg, row.azDeg, row.elDeg), kExactDirectionDeg);
        EXPECT_EQ(found[0].levelDb, 0.0);
    }
}

TEST(Arrivals, NonFiniteSamplesCountAsZero)
{
    const std::vector<PlaneWave> waves{{10.0, -30, 15, 0.5}, {16.0, 100, 0, 0.25}};
    BFormatSignal signal = Render(waves, 0.05);
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    signal.W[100] = nan;
    signal.X[300] = inf;
    signal.Y[1500] = -inf;
    signal.Z[2000] = nan;
    signal.W[2200] = inf;
    const std::vector<Arrival> found = FindArrivals(signal, {});
    ASSERT_EQ(found.size(), 2u);
    ExpectFound(found, waves, kTimeToleranceSamples / kRateHz * 1000.0, kExactDirectionDeg, kExactLevelDb);
}

TEST(Arrivals, RatesAndOptionsOutOfRangeGiveNoArrivals)
{
    const BFormatSignal good = Render({{10.0, 0, 0, 0.5}}, 0.03);
    ASSERT_EQ(FindArrivals(good, {}).size(), 1u);
    // The largest rate a header can state: the pulse and the window stay a
    // few thousand samples long, the one arrival is still found.
    BFormatSignal fast = good;
    fast.SampleRateHz = 4294967295.0;
    const std::vector<Arrival> atFastRate = FindArrivals(fast, {});
    ASSERT_EQ(atFastRate.size(), 1u);
    EXPECT_NEAR(atFastRate[0].timeMs, 480.0 / fast.SampleRateHz * 1000.0, 1e-6);
    const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
    for (double rateHz : {0.0, -48000.0, nan, inf}) {
        SCOPED_TRACE(rateHz);
        BFormatSignal signal = good;
        signal.SampleRateHz = rateHz;
        EXPECT_TRUE(FindArrivals(signal, {}).empty());
    }
    struct Row {
        const char* name;
        ArrivalOptions options;
    };
    auto with = [](auto change) {
        ArrivalOptions o;
        change(o);
        return o;
    };
    const Row rows[] = {
        {"no direction window", with([](ArrivalOptions& o) { o.directionWindowMs = 0; })},
        {"direction window NaN", with([&](ArrivalOptions& o) { o.directionWindowMs = nan; })},
        {"negative diffuseness", with([](ArrivalOptions& o) { o.maxDiffuseness = -0.1; })},
        {"no floor", with([](ArrivalOptions& o) { o.floorDb = 0; })},
        {"infinite floor", with([&](ArrivalOptions& o) { o.floorDb = inf; })},
        {"no pulse", with([](ArrivalOptions& o) { o.pulseHalfLengthMs = 0; })},
        {"negative low cut", with([](ArrivalOptions& o) { o.lowCutHz = -1; })},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_TRUE(FindArrivals(good, row.options).empty());
    }
}

TEST(Arrivals, TheFloorIsCountedFromTheDirectSound)
{
    // 0, -20 and -38 dB.
    const std::vector<PlaneWave> waves{
        {10.0, 0, 0, 0.5}, {14.0, 90, 0, 0.5 * 0.1}, {18.0, -90, 0, 0.5 * std::pow(10.0, -38.0 / 20.0)}};
    const BFormatSignal signal = Render(waves, 0.03);
    ArrivalOptions options;
    EXPECT_EQ(FindArrivals(signal, options).size(), 3u);  // down to -40 dB
    options.floorDb = 30;
    EXPECT_EQ(FindArrivals(signal, options).size(), 2u);  // -38 dB is below
    options.floorDb = 15;
    EXPECT_EQ(FindArrivals(signal, options).size(), 1u);  // -20 dB is below
}

// ---- What measured responses hold ------------------------------------------------

// The energy of W over the 0.5 ms centred on timeMs, as the levels are taken.
double LevelWindowEnergy(const BFormatSignal& signal, double timeMs)
{
    const double centre = timeMs * signal.SampleRateHz / 1000.0, half = 0.25e-3 * signal.SampleRateHz;
    double energy = 0;
    for (auto n = static_cast<std::ptrdiff_t>(std::ceil(centre - half)); n <= std::floor(centre + half); ++n) {
        if (n >= 0 && n < static_cast<std::ptrdiff_t>(signal.W.size())) {
            energy += double(signal.W[static_cast<std::size_t>(n)]) * signal.W[static_cast<std::size_t>(n)];
        }
    }
    return energy;
}

// Each channel passed through a one-pole low-pass: what an absorbing surface
// does to a reflection's highs, a slower rise and a longer tail.
BFormatSignal LowPassed(BFormatSignal signal, double pole)
{
    for (std::vector<float>* channel : {&signal.W, &signal.Y, &signal.Z, &signal.X}) {
        double state = 0;
        for (float& v : *channel) {
            state = (1.0 - pole) * v + pole * state;
            v = static_cast<float>(state);
        }
    }
    return signal;
}

BFormatSignal Sum(const BFormatSignal& a, const BFormatSignal& b)
{
    BFormatSignal sum = a;
    for (std::size_t n = 0; n < sum.Frames(); ++n) {
        sum.W[n] += b.W[n];
        sum.Y[n] += b.Y[n];
        sum.Z[n] += b.Z[n];
        sum.X[n] += b.X[n];
    }
    return sum;
}

TEST(ArrivalsMeasured, AClippedDirectSoundStaysFirstAndIsTheReference)
{
    // The recording's direct sound went 6 dB over full scale in every channel.
    const std::vector<PlaneWave> waves{{6.0, 20, 0, 2.0}, {11.0, -120, 10, 0.5}, {17.0, 70, -20, 0.3}};
    BFormatSignal signal = Render(waves, 0.04);
    for (std::vector<float>* channel : {&signal.W, &signal.Y, &signal.Z, &signal.X}) {
        for (float& v : *channel) v = std::clamp(v, -1.0f, 1.0f);
    }
    const ArrivalFindings findings = AnalyseArrivals(signal, {});
    EXPECT_TRUE(findings.directClipped);
    ASSERT_EQ(findings.arrivals.size(), 3u);
    EXPECT_NEAR(findings.arrivals[0].timeMs, 6.0, 0.05);
    // Clipping flattens the channels unequally (X more than Y here), which
    // turns the direct sound's direction a little.
    EXPECT_LE(AngleBetweenDeg(findings.arrivals[0].azDeg, findings.arrivals[0].elDeg, 20, 0), 10.0);
    for (const Arrival& a : findings.arrivals) EXPECT_LE(a.levelDb, 0.0) << "at " << a.timeMs << " ms";
    EXPECT_EQ(findings.strongerThanDirect, 0u);

    // Recorded 8 dB lower, nothing clipped and there is no note.
    std::vector<PlaneWave> lower = waves;
    for (PlaneWave& wave : lower) wave.amplitude *= 0.4;
    const ArrivalFindings clean = AnalyseArrivals(Render(lower, 0.04), {});
    EXPECT_FALSE(clean.directClipped);
    EXPECT_EQ(clean.arrivals.size(), 3u);
}

TEST(ArrivalsMeasured, AReflectionStrongerThanTheDirectSoundIsCountedNotListed)
{
    // The direct path blocked: the direct sound 10 dB below a reflection.
    const std::vector<PlaneWave> waves{{5.0, 0, 0, 0.15}, {9.0, 90, 0, 0.5}, {14.0, -90, 0, 0.1}};
    const ArrivalFindings findings = AnalyseArrivals(Render(waves, 0.03), {});
    ASSERT_FALSE(findings.arrivals.empty());
    EXPECT_NEAR(findings.arrivals[0].timeMs, 5.0, 0.01);
    EXPECT_EQ(findings.strongerThanDirect, 1u);
    EXPECT_NEAR(findings.strongestAboveDirectDb, 20 * std::log10(0.5 / 0.15), 0.1);
    EXPECT_NEAR(findings.strongestAboveDirectMs, 9.0, 0.01);
    for (const Arrival& a : findings.arrivals) EXPECT_LE(a.levelDb, 0.0);
}

TEST(ArrivalsMeasured, AColouredReflectionIsOneRowAtItsOwnEnergy)
{
    // Two reflections filtered by the surfaces they met, less and more: each
    // is one row, at the energy it carries, not at its fit to the direct pulse.
    struct Row {
        const char* name;
        double pole;
    };
    const Row rows[] = {{"the highs softened", 0.5}, {"the highs taken out", 0.8}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const BFormatSignal direct = Render({{5.0, 10, 0, 0.5}}, 0.04);
        const BFormatSignal reflection = LowPassed(Render({{14.0, -100, 20, 0.4}}, 0.04), row.pole);
        const double truthDb = 10 * std::log10(LevelWindowEnergy(reflection, 14.1) / LevelWindowEnergy(direct, 5.0));
        ArrivalOptions broadband;
        broadband.lowCutHz = 0;  // the truth above is broadband
        const std::vector<Arrival> found = FindArrivals(Sum(direct, reflection), broadband);
        std::vector<Arrival> near;
        for (const Arrival& a : found) {
            if (std::fabs(a.timeMs - 14.1) <= 1.0) near.push_back(a);
        }
        ASSERT_EQ(near.size(), 1u);
        EXPECT_NEAR(near[0].levelDb, truthDb, 1.0);
        EXPECT_LE(AngleBetweenDeg(near[0].azDeg, near[0].elDeg, -100, 20), 5.0);
    }
}

TEST(ArrivalsMeasured, AFloorReflectionHalfAMillisecondBehindTheDirectSoundIsFound)
{
    // A ringing system pulse, and the floor's reflection from below the
    // source, 0.5 and 0.8 ms behind it: the pulse must not swallow it.
    for (const double gapMs : {0.5, 0.8}) {
        SCOPED_TRACE(gapMs);
        const std::vector<PlaneWave> waves{{8.0, 15, -5, 0.5}, {8.0 + gapMs, 15, -45, 0.5 * 0.5}};
        const std::vector<Arrival> found = FindArrivals(Render(waves, 0.03, RingingSinc, 200), {});
        ASSERT_GE(found.size(), 2u);
        ExpectFound(found, waves, 0.1, 5.0, 1.0);
    }
}

TEST(ArrivalsMeasured, AHigherDiffusenessLimitOnlyAddsRows)
{
    // The diffuse tail of the test above, and reflections that stand out of
    // it less and less.
    const std::vector<PlaneWave> waves{{5.0, 10, 0, 0.5},      {19.0, -70, 15, 0.2},  {31.0, 100, 5, 0.08},
                                       {47.0, 160, -10, 0.05}, {63.0, -30, 40, 0.03}, {90.0, 60, -30, 0.02}};
    BFormatSignal signal = Render(waves, 0.3);
    simulation::SplitMix64 normal(11);
    for (std::size_t n = 0; n < signal.Frames(); ++n) {
        const double timeMs = static_cast<double>(n) / kRateHz * 1000.0;
        if (timeMs < 7.0) continue;
        const double deviation = 0.5 * std::pow(10.0, -30.0 / 20.0) * std::exp(-(timeMs - 7.0) / 60.0);
        signal.W[n] += static_cast<float>(deviation * normal.Gaussian());
        for (std::vector<float>* c : {&signal.Y, &signal.Z, &signal.X}) {
            (*c)[n] += static_cast<float>(deviation / std::sqrt(3.0) * normal.Gaussian());
        }
    }
    std::vector<Arrival> previous;
    for (const double limit : {0.0, 0.1, 0.2, 0.3, 0.4, 0.5, 0.6, 0.8, 1.0}) {
        SCOPED_TRACE(limit);
        ArrivalOptions options;
        options.maxDiffuseness = limit;
        const std::vector<Arrival> found = FindArrivals(signal, options);
        ASSERT_GE(found.size(), previous.size());
        std::size_t matched = 0;
        for (const Arrival& a : found) {
            if (matched < previous.size() && a.timeMs == previous[matched].timeMs) {
                EXPECT_EQ(a.levelDb, previous[matched].levelDb);
                EXPECT_EQ(a.azDeg, previous[matched].azDeg);
                ++matched;
            }
        }
        EXPECT_EQ(matched, previous.size()) << "a row of the lower limit is gone";
        previous = found;
    }
}

TEST(ArrivalsMeasured, AStopRequestedEndsTheSearchWithNothingPassedOffAsComplete)
{
    const BFormatSignal signal = Render({{5.0, 10, 0, 0.5}, {19.0, -70, 15, 0.2}}, 0.1);
    Cancellation stop;
    stop.Request();
    const ArrivalFindings findings = AnalyseArrivals(signal, {}, stop);
    EXPECT_TRUE(findings.stopped);
    EXPECT_TRUE(findings.arrivals.empty());
    // Not asked to stop, the same response is listed whole.
    const ArrivalFindings whole = AnalyseArrivals(signal, {});
    EXPECT_FALSE(whole.stopped);
    EXPECT_EQ(whole.arrivals.size(), 2u);
}

TEST(ArrivalsMeasured, NoiseAndTonesAreNoImpulseResponses)
{
    struct Row {
        const char* name;
        double rateHz, seconds, toneHz;  // toneHz 0: noise
        double decayS;                   // 0: steady
    };
    const Row rows[] = {{"white noise, 2 s", 48000, 2.0, 0, 0},
                        {"a steady 1 kHz tone, 1 s", 48000, 1.0, 1000, 0},
                        {"a 20 ms tone", 48000, 0.02, 1000, 0},
                        {"a noisy 1 kHz tone decaying over 0.5 s at 192 kHz", 192000, 0.5, 1000, 0.15}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        simulation::SplitMix64 normal(3);
        BFormatSignal signal;
        signal.SampleRateHz = row.rateHz;
        const auto frames = static_cast<std::size_t>(row.seconds * row.rateHz);
        for (std::size_t n = 0; n < frames; ++n) {
            const double t = static_cast<double>(n) / row.rateHz;
            const double envelope = row.decayS > 0 ? std::exp(-t / row.decayS) : 1.0;
            const double tone = std::sin(2 * std::numbers::pi * row.toneHz * t);
            const double w = row.toneHz > 0 ? 0.5 * tone + (row.decayS > 0 ? 0.05 * normal.Gaussian() : 0.0)
                                            : 0.2 * normal.Gaussian();
            signal.W.push_back(static_cast<float>(envelope * w));
            signal.Y.push_back(static_cast<float>(envelope * (row.toneHz > 0 ? 0.3 * w : 0.1 * normal.Gaussian())));
            signal.Z.push_back(static_cast<float>(envelope * (row.toneHz > 0 ? 0.0 : 0.1 * normal.Gaussian())));
            signal.X.push_back(static_cast<float>(envelope * (row.toneHz > 0 ? 0.6 * w : 0.1 * normal.Gaussian())));
        }
        const ArrivalFindings findings = AnalyseArrivals(signal, {});
        EXPECT_TRUE(findings.notAnImpulseResponse);
        EXPECT_LE(findings.arrivals.size(), 1u);
        for (const Arrival& a : findings.arrivals) {
            EXPECT_GE(a.timeMs, 0.0);
            EXPECT_LE(a.timeMs, row.seconds * 1000.0);
        }
    }
}

// ---- The table ---------------------------------------------------------------------

const char* const kHeader =
    "\"time (ms)\",\"delay (ms)\",\"extra path (m)\",\"level (dB)\",\"Az\",\"El\",\"I/D (dB)\",\"diffuseness\"";

std::vector<Arrival> TableArrivals()
{
    return {
        {9.3342, 0.0, 18.4349, 8.9802, -3.0103, 0.0},
        {21.0747, -10.1694, 18.43, -64.0649, -3.0119, 0.00073},
        // Halfway values round to even; a tiny negative rounds to an unsigned zero.
        {34.0625, -13.365, -0.004, 74.625, -2.5, 0.0625},
    };
}

TEST(ArrivalTable, ExactBytesWithoutAndWithTheDirectDistance)
{
    std::ostringstream plain;
    WriteArrivalTable(plain, TableArrivals(), 343.0, std::nullopt);
    EXPECT_EQ(plain.str(), std::string(kHeader) + "\r\n" +
                               "9.334,0.000,0.000,0.00,18.43,8.98,-3.01,0.000\r\n"
                               "21.075,11.740,4.027,-10.17,18.43,-64.06,-3.01,0.001\r\n"
                               "34.062,24.728,8.482,-13.36,0.00,74.62,-2.50,0.062\r\n");

    std::ostringstream far;
    WriteArrivalTable(far, TableArrivals(), 340.0, 4.25);
    EXPECT_EQ(far.str(), std::string(kHeader) + ",\"distance (m)\"\r\n" +
                             "9.334,0.000,0.000,0.00,18.43,8.98,-3.01,0.000,4.250\r\n"
                             "21.075,11.740,3.992,-10.17,18.43,-64.06,-3.01,0.001,8.242\r\n"
                             "34.062,24.728,8.408,-13.36,0.00,74.62,-2.50,0.062,12.658\r\n");

    std::ostringstream empty;
    WriteArrivalTable(empty, {}, 343.0, 2.0);
    EXPECT_EQ(empty.str(), std::string(kHeader) + ",\"distance (m)\"\r\n");
}

TEST(ArrivalTable, TheSpeedOfSoundFollowsTheAirTemperature)
{
    EXPECT_EQ(SpeedOfSoundMPerS(std::nullopt), 343.0);
    EXPECT_DOUBLE_EQ(SpeedOfSoundMPerS(0.0), 331.3);
    EXPECT_NEAR(SpeedOfSoundMPerS(20.0), 343.2, 0.05);  // the textbook value at 20 deg C
    EXPECT_LT(SpeedOfSoundMPerS(-10.0), SpeedOfSoundMPerS(10.0));
}

TEST(ArrivalTable, NumbersDoNotFollowTheLocale)
{
    std::ostringstream out;
    {
        const test::CommaLocale comma;
        out.imbue(std::locale());
        WriteArrivalTable(out, {{1234.5678, -1.5, 179.994, -0.0004, -3.0103, 1.0}}, 343.0, 1000.0);
    }
    EXPECT_EQ(out.str(), std::string(kHeader) + ",\"distance (m)\"\r\n" +
                             "1234.568,0.000,0.000,-1.50,179.99,0.00,-3.01,1.000,1000.000\r\n");
}

TEST(ArrivalTable, FixedDecimalsRoundHalfToEvenAndSpellNonFiniteValues)
{
    struct Row {
        double value;
        int decimals;
        const char* text;
    };
    const Row rows[] = {
        {0.125, 2, "0.12"},
        {0.375, 2, "0.38"},
        {-0.125, 2, "-0.12"},
        {-0.001, 2, "0.00"},
        {2.5, 0, "2"},
        {3.5, 0, "4"},
        {1e20, 3, "1E+20"},
        {12.0, 3, "12.000"},
        {std::numeric_limits<double>::quiet_NaN(), 2, "NaN"},
        {-std::numeric_limits<double>::infinity(), 2, "-Infinity"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(FormatArrivalNumber(row.value, row.decimals), row.text) << row.value << " to " << row.decimals;
    }
}

// ---- The demo room -----------------------------------------------------------------

// A response file read as the core reads it.
::testing::AssertionResult ReadSignal(const std::string& path, BFormatSignal& signal)
{
    const std::string bytes = test::ReadFile(path);
    auto read = ReadBFormatSignal(test::AsBytes(bytes));
    if (!read) return ::testing::AssertionFailure() << path << ": " << read.Message();
    signal = std::move(*read);
    return ::testing::AssertionSuccess();
}

TEST(Arrivals, TheDemoRoomGivesEveryArrivalItsTableLists)
{
    BFormatSignal signal;
    ASSERT_TRUE(ReadSignal(HALVANE_EXAMPLES_DIR "/demo-room.wav", signal));
    EXPECT_EQ(signal.SampleRateHz, 48000);
    EXPECT_EQ(signal.Frames(), 24000u);
    const std::vector<Arrival> found = FindArrivals(signal, {});

    std::ifstream table(HALVANE_EXAMPLES_DIR "/demo-arrivals.csv");
    std::string line;
    std::getline(table, line);
    ASSERT_EQ(line, "\"time (ms)\",\"Az\",\"El\",\"level (dB)\",\"arrival\"\r");
    constexpr double kTimeToleranceMs = 0.05;
    constexpr double kDirectionToleranceDeg = 5;
    constexpr double kLevelToleranceDb = 0.5;
    int rows = 0;
    while (std::getline(table, line) && !line.empty()) {
        ++rows;
        SCOPED_TRACE(line);
        std::istringstream fields(line);
        fields.imbue(std::locale::classic());
        double timeMs = 0, azDeg = 0, elDeg = 0, levelDb = 0;
        char comma = 0;
        fields >> timeMs >> comma >> azDeg >> comma >> elDeg >> comma >> levelDb;
        ASSERT_TRUE(fields);
        const Arrival* match = nullptr;
        for (const Arrival& a : found) {
            if (std::fabs(a.timeMs - timeMs) <= kTimeToleranceMs) match = &a;
        }
        ASSERT_NE(match, nullptr);
        EXPECT_LE(AngleBetweenDeg(match->azDeg, match->elDeg, azDeg, elDeg), kDirectionToleranceDeg);
        EXPECT_NEAR(match->levelDb, levelDb, kLevelToleranceDb);
    }
    EXPECT_EQ(rows, 7);
    ASSERT_FALSE(found.empty());
    EXPECT_EQ(found[0].levelDb, 0.0);
}

}  // namespace
}  // namespace halvane
