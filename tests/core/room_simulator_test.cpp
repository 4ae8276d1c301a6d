// The room simulator the arrival tests and the score rely on: image sources
// where geometry puts them, the pulse where the arrival time says, an
// isotropic tail, 16-bit steps, and the same samples for the same seed.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "support/RoomSimulator.h"

namespace halvane::test {
namespace {

constexpr double kDegPerRad = 180.0 / std::numbers::pi;

SimulationOptions Quiet(double durationS)
{
    SimulationOptions options;
    options.durationS = durationS;
    options.diffuseTail = false;
    options.noiseDb.reset();
    return options;
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
        EXPECT_NEAR(match->levelDb, 20 * std::log10(row.factor * 3.1 / pathM), kTolerance);
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
}  // namespace halvane::test
