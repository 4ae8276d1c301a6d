// The room simulator the arrival tests and the score rely on: its generator,
// image sources where geometry puts them, the pulse where the arrival time
// says, the truth it reports, an isotropic tail, 16-bit steps, clipping, and
// the same samples for the same seed.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

#include "simulation/RoomSimulator.h"

namespace halvane::simulation {
namespace {

SimulationOptions Quiet(double durationS)
{
    SimulationOptions options;
    options.durationS = durationS;
    options.diffuseTail = false;
    options.noiseDb.reset();
    return options;
}

TEST(SplitMix64, GivesTheSequenceItsDefinitionGives)
{
    // The reference generator's first outputs (worked independently from its definition).
    struct Row {
        std::uint64_t seed;
        std::uint64_t first, second;
    };
    const Row rows[] = {{0, 0xE220A8397B1DCDAFULL, 0x6E789E6AA1B965F4ULL},
                        {1234567, 0x599ED017FB08FC85ULL, 0x2C73F08458540FA5ULL}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.seed);
        SplitMix64 random(row.seed);
        EXPECT_EQ(random.Next(), row.first);
        EXPECT_EQ(random.Next(), row.second);
    }
    // The derived values: top 53 bits over 2^53, and the same plus one.
    SplitMix64 a(0), b(0);
    EXPECT_EQ(a.Uniform(), static_cast<double>(0xE220A8397B1DCDAFULL >> 11) * 0x1.0p-53);
    EXPECT_EQ(b.UniformAboveZero(), (static_cast<double>(0xE220A8397B1DCDAFULL >> 11) + 1) * 0x1.0p-53);
}

TEST(SplitMix64, GaussianAndBellValuesHaveUnitVariance)
{
    SplitMix64 random(3);
    constexpr int kCount = 200000;
    double gaussianSum = 0, gaussianSquares = 0, bellSquares = 0, bellLargest = 0;
    for (int i = 0; i < kCount; ++i) {
        const double g = random.Gaussian(), b = random.Bell();
        gaussianSum += g;
        gaussianSquares += g * g;
        bellSquares += b * b;
        bellLargest = std::max(bellLargest, std::fabs(b));
    }
    constexpr double kMomentTolerance = 0.01;  // about three standard errors of 200000 values
    EXPECT_NEAR(gaussianSum / kCount, 0.0, kMomentTolerance);
    EXPECT_NEAR(gaussianSquares / kCount, 1.0, kMomentTolerance);
    EXPECT_NEAR(bellSquares / kCount, 1.0, kMomentTolerance);
    EXPECT_LT(bellLargest, 2 * std::sqrt(3.0));
}

TEST(RoomSimulator, ImageSourcesOfTheFirstOrderLieWhereGeometryPutsThem)
{
    // A 10 x 8 x 4 m room, the source 3.1 m in front of the listener.
    const RoomPoint listener{3, 3.2, 1.7}, source{6.1, 3.2, 1.7};
    const ShoeboxRoom room{10, 8, 4, source, listener, 0.9, 0.8, 0.7, 0.6, 0.5, 0.4};
    const SimulatedResponse r = RoomSimulator(48000).Simulate(room, Quiet(0.2));
    struct Row {
        const char* name;
        RoomPoint image;
        double factor;
    };
    const Row rows[] = {
        {"direct", source, 1},
        {"back wall (x = 0)", {-6.1, 3.2, 1.7}, 0.9},
        {"front wall (x = 10)", {13.9, 3.2, 1.7}, 0.8},
        {"right wall (y = 0)", {6.1, -3.2, 1.7}, 0.7},
        {"left wall (y = 8)", {6.1, 12.8, 1.7}, 0.6},
        {"floor", {6.1, 3.2, -1.7}, 0.5},
        {"ceiling", {6.1, 3.2, 6.3}, 0.4},
    };
    constexpr double kTolerance = 1e-9;  // the same closed-form geometry in double
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const double dx = row.image.xM - listener.xM, dy = row.image.yM - listener.yM, dz = row.image.zM - listener.zM;
        const double pathM = std::sqrt(dx * dx + dy * dy + dz * dz);
        const TrueArrival* match = nullptr;
        for (const TrueArrival& a : r.arrivals) {
            if (a.order <= 1 && std::fabs(a.timeMs - pathM / 343.0 * 1000) < kTolerance) match = &a;
        }
        ASSERT_NE(match, nullptr);
        EXPECT_NEAR(std::remainder(match->azDeg - std::atan2(dy, dx) * kDegPerRad, 360.0), 0.0, kTolerance);
        EXPECT_NEAR(match->elDeg, std::atan2(dz, std::hypot(dx, dy)) * kDegPerRad, kTolerance);
        EXPECT_NEAR(match->geometricLevelDb, 20 * std::log10(row.factor * 3.1 / pathM), kTolerance);
        EXPECT_EQ(match->order, row.factor == 1 ? 0 : 1);
    }
    // Up to the third order: 1 + 6 + 18 + 38 image sources, all within 0.2 s here.
    EXPECT_EQ(r.arrivals.size(), 63u);
    EXPECT_EQ(r.arrivals.front().order, 0);
}

TEST(RoomSimulator, ThePulsePeaksAtTheArrivalTimeAsAPlaneWave)
{
    for (double rateHz : {44100.0, 48000.0, 96000.0}) {
        SCOPED_TRACE(rateHz);
        const RoomSimulator simulator(rateHz);
        ChannelMix mix;
        // 10.3 samples past a whole millisecond count: a fractional delay.
        const double timeMs = 5.0 + 10.3 / rateHz * 1000.0;
        simulator.AddPlaneWave(mix, timeMs, 60, -30, 0.5);
        std::size_t largest = 0;
        for (std::size_t n = 0; n < mix[0].size(); ++n) {
            if (std::fabs(mix[0][n]) > std::fabs(mix[0][largest])) largest = n;
        }
        // The pulse's largest sample lies within a sample of its envelope's peak.
        EXPECT_LE(std::fabs(static_cast<double>(largest) - timeMs * rateHz / 1000.0), 1.0);
        // Every channel is W times its gain (SN3D): Y = sin az cos el, Z = sin el, X = cos az cos el.
        constexpr double kGainTolerance = 1e-12;
        EXPECT_NEAR(mix[1][largest] / mix[0][largest], std::sin(60 / kDegPerRad) * std::cos(30 / kDegPerRad),
                    kGainTolerance);
        EXPECT_NEAR(mix[2][largest] / mix[0][largest], -0.5, kGainTolerance);
        EXPECT_NEAR(mix[3][largest] / mix[0][largest], 0.5 * std::cos(30 / kDegPerRad), kGainTolerance);
        // The pulse's peak is 1, scaled by the amplitude; between samples a
        // pulse this wide-band (16 kHz at 44.1 kHz) loses up to a tenth of it.
        constexpr double kDelayedPeakShare = 0.9;
        EXPECT_LE(std::fabs(mix[0][largest]), 0.5 + 1e-9);
        EXPECT_GE(std::fabs(mix[0][largest]), 0.5 * kDelayedPeakShare);
    }
}

TEST(RoomSimulator, ACleanArrivalsTruthIsItsGeometry)
{
    // Unfiltered copies of one pulse: each arrival's energy over 0.5 ms re the
    // direct sound's is its amplitude ratio squared, and its envelope peaks
    // where its pulse was put. The window's edges fall on different samples
    // for each fractional time, which moves the energy a little.
    constexpr double kLevelToleranceDb = 0.01;
    constexpr double kPeakToleranceMs = 1e-4;
    for (double rateHz : {44100.0, 96000.0}) {
        SCOPED_TRACE(rateHz);
        const SimulatedResponse r = RoomSimulator(rateHz).Simulate(ShoeboxRoom{}, Quiet(0.1));
        ASSERT_GT(r.arrivals.size(), 20u);
        for (const TrueArrival& a : r.arrivals) {
            SCOPED_TRACE(a.path);
            EXPECT_NEAR(a.levelDb, a.geometricLevelDb, kLevelToleranceDb);
            EXPECT_NEAR(a.envelopePeakMs, a.timeMs, kPeakToleranceMs);
            EXPECT_FALSE(a.scattered);
            EXPECT_NEAR(a.ownDiffuseness, 0.0, 1e-9);  // a plane wave
        }
        EXPECT_EQ(r.arrivals.front().path, "direct");
        EXPECT_EQ(r.arrivals.front().levelDb, 0.0);
    }
}

TEST(RoomSimulator, PathsNameTheSurfacesTheyMeet)
{
    std::array<int, kSurfaceCount> bounces{};
    EXPECT_EQ(PathName(bounces), "direct");
    bounces[static_cast<std::size_t>(Surface::Floor)] = 1;
    EXPECT_EQ(PathName(bounces), "floor");
    bounces[static_cast<std::size_t>(Surface::LeftWall)] = 2;
    EXPECT_EQ(PathName(bounces), "left wall x2, floor");
    // Every image source of a shoebox meets as many surfaces as its order.
    for (const ImageSource& image : ImageSources(ShoeboxRoom{}, 0, 3)) {
        int met = 0;
        for (int count : image.bounces) met += count;
        EXPECT_EQ(met, image.order);
    }
}

TEST(RoomSimulator, AGroundReflectionLiesWhereItsGeometryPutsIt)
{
    // Source 9.6 m away, both 1.2 m up: the ground path is sqrt(9.6^2 + 2.4^2).
    const OpenSite site{{9.6, 0.0, 1.2}, {0.0, 0.0, 1.2}, 0.85, {}};
    const SimulatedResponse r = RoomSimulator(48000).Simulate(OpenSiteScene(site), Quiet(0.05));
    ASSERT_EQ(r.arrivals.size(), 2u);
    const TrueArrival& ground = r.arrivals[1];
    EXPECT_EQ(ground.path, "floor");
    EXPECT_NEAR(ground.timeMs - r.arrivals[0].timeMs, (std::hypot(9.6, 2.4) - 9.6) / 343.0 * 1000, 1e-9);
    EXPECT_NEAR(ground.elDeg, -std::atan2(2.4, 9.6) * kDegPerRad, 1e-9);
    EXPECT_NEAR(ground.geometricLevelDb, 20 * std::log10(0.85 * 9.6 / std::hypot(9.6, 2.4)), 1e-9);
    EXPECT_EQ(r.reverberationTimeS, 0.0);  // no tail outdoors

    // A distant reflector arrives its extra path later, from its direction.
    OpenSite withTrees = site;
    withTrees.distant = {DistantImage(site, {35, 12}, 1.3, 0.3)};
    const SimulatedResponse t = RoomSimulator(48000).Simulate(OpenSiteScene(withTrees), Quiet(0.05));
    ASSERT_EQ(t.arrivals.size(), 3u);
    EXPECT_NEAR(t.arrivals[2].timeMs - t.arrivals[0].timeMs, 1.3 / 343.0 * 1000, 1e-9);
    EXPECT_NEAR(t.arrivals[2].azDeg, 35, 1e-9);
    EXPECT_NEAR(t.arrivals[2].elDeg, 12, 1e-9);
    EXPECT_EQ(t.arrivals[2].path, "distant reflector");
}

TEST(RoomSimulator, AClippedDirectSoundKeepsItsTruth)
{
    SimulationOptions loud = Quiet(0.1);
    loud.directPeak = 2.0;
    for (SampleFormat format : {SampleFormat::Float32, SampleFormat::Pcm16}) {
        SCOPED_TRACE(format == SampleFormat::Float32 ? "float" : "16-bit");
        loud.format = format;
        const SimulatedResponse clipped = RoomSimulator(48000).Simulate(ShoeboxRoom{}, loud);
        const SimulatedResponse clean = RoomSimulator(48000).Simulate(ShoeboxRoom{}, Quiet(0.1));
        EXPECT_GT(clipped.clippedSamples, 0u);
        EXPECT_EQ(clean.clippedSamples, 0u);
        const float top = format == SampleFormat::Float32 ? 1.0f : 32767.0f / 32768.0f;
        // The pulse's positive peak clips; its negative swing stays below full scale.
        EXPECT_EQ(*std::max_element(clipped.signal.W.begin(), clipped.signal.W.end()), top);
        EXPECT_GT(*std::min_element(clipped.signal.W.begin(), clipped.signal.W.end()), -1.0f);
        // What was put in is the same: levels are ratios to the direct sound.
        ASSERT_EQ(clipped.arrivals.size(), clean.arrivals.size());
        for (std::size_t i = 0; i < clean.arrivals.size(); ++i) {
            EXPECT_NEAR(clipped.arrivals[i].levelDb, clean.arrivals[i].levelDb, 1e-9);
            EXPECT_EQ(clipped.arrivals[i].timeMs, clean.arrivals[i].timeMs);
        }
    }
}

TEST(RoomSimulator, TheTailIsIsotropicAndDecaysWithTheReverberationTime)
{
    const ShoeboxRoom room;  // the small studio
    SimulationOptions options;
    options.durationS = 1.0;
    options.noiseDb.reset();
    const SimulatedResponse tailed = RoomSimulator(48000).Simulate(room, options);
    const SimulatedResponse bare = RoomSimulator(48000).Simulate(room, Quiet(1.0));
    // The tail alone, past the image sources' last arrival.
    auto energy = [&](std::size_t channel, double fromS, double toS) {
        const std::vector<float>* lists[2][4] = {
            {&tailed.signal.W, &tailed.signal.Y, &tailed.signal.Z, &tailed.signal.X},
            {&bare.signal.W, &bare.signal.Y, &bare.signal.Z, &bare.signal.X}};
        double sum = 0;
        for (auto n = static_cast<std::size_t>(fromS * 48000); n < static_cast<std::size_t>(toS * 48000); ++n) {
            const double v = static_cast<double>((*lists[0][channel])[n]) - (*lists[1][channel])[n];
            sum += v * v;
        }
        return sum;
    };
    // An isotropic field in SN3D: each figure-of-eight holds a third of W's energy.
    constexpr double kRatioTolerance = 0.05;  // 9600 samples of band-limited noise
    for (std::size_t c = 1; c < 4; ++c)
        EXPECT_NEAR(energy(c, 0.1, 0.3) / energy(0, 0.1, 0.3), 1.0 / 3, kRatioTolerance);
    // 60 dB over the reverberation time: over 0.1 s the energy falls by 60 x 0.1 / T dB.
    const double t = tailed.reverberationTimeS;
    EXPECT_NEAR(t, ReverberationTimeS(room), 0.0);
    const double fallDb = 10 * std::log10(energy(0, 0.1, 0.2) / energy(0, 0.2, 0.3));
    constexpr double kDecayToleranceDb = 1.0;
    EXPECT_NEAR(fallDb, 60 * 0.1 / t, kDecayToleranceDb);
}

TEST(RoomSimulator, SabineReverberationTimeOfTheDefaultStudio)
{
    // 6 x 4.5 x 3 m, every factor 0.8: absorption 0.36 over 117 m2.
    const double expected = 0.161 * 81.0 / (117.0 * 0.36);
    EXPECT_NEAR(ReverberationTimeS(ShoeboxRoom{}), expected, 1e-12);
}

TEST(RoomSimulator, SameSeedSameSamplesAndSixteenBitSteps)
{
    SimulationOptions options;
    options.durationS = 0.2;
    options.format = SampleFormat::Pcm16;
    const RoomSimulator simulator(44100);
    const SimulatedResponse a = simulator.Simulate(ShoeboxRoom{}, options);
    const SimulatedResponse b = simulator.Simulate(ShoeboxRoom{}, options);
    EXPECT_EQ(a.signal.W, b.signal.W);
    EXPECT_EQ(a.signal.X, b.signal.X);
    options.seed = 2;
    EXPECT_NE(simulator.Simulate(ShoeboxRoom{}, options).signal.W, a.signal.W);
    for (const std::vector<float>* channel : {&a.signal.W, &a.signal.Y, &a.signal.Z, &a.signal.X}) {
        for (float v : *channel) {
            const double steps = static_cast<double>(v) * 32768.0;
            ASSERT_EQ(steps, std::nearbyint(steps));
            ASSERT_GE(steps, -32768.0);
            ASSERT_LE(steps, 32767.0);
        }
    }
    EXPECT_EQ(a.signal.SampleRateHz, 44100);
    EXPECT_EQ(a.signal.Frames(), 8820u);
}

}  // namespace
}  // namespace halvane::simulation
