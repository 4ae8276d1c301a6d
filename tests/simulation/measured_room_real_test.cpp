// The measured-like rooms on the real responses beside the checkout: each
// recording's direct sound is cut into a pulse, and the arrivals it makes read
// the diffuseness measured arrivals read.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <vector>

#include "simulation/Envelope.h"
#include "simulation/MeasuredPulse.h"
#include "simulation/RoomSimulator.h"
#include "support/RecordedResponse.h"

namespace halvane::simulation {
namespace {

MeasuredPulse Recorded(const RecordedPulse& source)
{
    const auto signal =
        test::ReadRecordedResponse(std::filesystem::path(HALVANE_REAL_DATA_DIR) / source.fileName, kFuma);
    EXPECT_TRUE(signal) << signal.Message();
    if (!signal) return {};
    auto cut = CutDirectPulse(*signal, source.cut, source.name);
    EXPECT_TRUE(cut) << cut.Message();
    return cut ? *cut : MeasuredPulse{};
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// Measured reflections read 0.1 to 0.3 by plain pseudo-intensity over 0.5 ms.
constexpr double kLeastDiffuseness = 0.1;
constexpr double kMostDiffuseness = 0.3;

double DipoleToW(const std::vector<double>& w, const std::array<const std::vector<double>*, 3>& xyz)
{
    double wEnergy = 0, dEnergy = 0;
    for (std::size_t n = 0; n < w.size(); ++n) {
        wEnergy += w[n] * w[n];
        for (const auto* channel : xyz) dEnergy += (*channel)[n] * (*channel)[n];
    }
    return dEnergy / wEnergy;
}

TEST(MeasuredPulseRealData, EveryArrivalCarriesTheMicrophonesOwnDirectSound)
{
    for (const RecordedPulse& source : kRecordedPulses) {
        SCOPED_TRACE(source.name);
        const MeasuredPulse cut = Recorded(source);
        ASSERT_EQ(cut.rateHz, 48000);
        EXPECT_NEAR(static_cast<double>(cut.w.size()) / 48, source.cut.beforeMs + source.cut.afterMs, 1.0 / 48);
        EXPECT_NEAR(cut.peakSamples / 48, source.cut.beforeMs, 1.0 / 48);
        // The figure-of-eights run hot in these microphones: more energy than W, unlike a plane wave's.
        const double recorded = DipoleToW(cut.w, {&cut.xyz[0], &cut.xyz[1], &cut.xyz[2]});
        EXPECT_GT(recorded, 1.05);
        for (double rateHz : {44100.0, 48000.0, 96000.0}) {
            SCOPED_TRACE(rateHz);
            const SystemPulse pulse = SystemPulse::Measured(cut, rateHz);
            const PlacedPulse placed = pulse.Placed(1000.4, WallFilter{});
            const auto c = pulse.Channels(placed, UnitVector({-120, 40}));
            // The pulse keeps its band up to 0.4 of the lower rate (17.6 kHz at 44.1 kHz), and
            // W holds more of its energy above that than the figure-of-eights: up to 5 % of it.
            constexpr double kRatioTolerance = 0.05;
            EXPECT_NEAR(DipoleToW(c[0], {&c[1], &c[2], &c[3]}) / recorded, 1.0, kRatioTolerance);
            const double diffuseness = IntensityAround<std::vector<double>>({&c[0], &c[1], &c[2], &c[3]}, placed.first,
                                                                            1000.4, 0.25 * rateHz / 1000)
                                           .Diffuseness();
            EXPECT_GE(diffuseness, kLeastDiffuseness);
            EXPECT_LE(diffuseness, kMostDiffuseness);
        }
    }
}

TEST(MeasuredPulseRealData, ColouredArrivalsReadTheDiffusenessMeasuredOnesRead)
{
    std::vector<double> all;
    for (const RecordedPulse& source : kRecordedPulses) {
        SCOPED_TRACE(source.name);
        const RoomSimulator simulator(SystemPulse::Measured(Recorded(source), 48000));
        SimulationOptions options;
        options.durationS = 0.3;
        options.wallFilters = true;
        options.scatteredShare = 0.3;
        options.noiseDb = -65;
        const SimulatedResponse r = simulator.Simulate(ShoeboxRoom{}, options);
        std::vector<double> own;
        for (const TrueArrival& a : r.arrivals)
            if (a.levelDb >= -20) own.push_back(a.ownDiffuseness);
        ASSERT_GE(own.size(), 10u);
        // A wall filter takes most from the top octaves, where the microphones differ most:
        // the cleanest pulse's reflections read a little under 0.1.
        EXPECT_GE(Median(own), kLeastDiffuseness / 2);
        EXPECT_LE(Median(own), kMostDiffuseness);
        all.insert(all.end(), own.begin(), own.end());
    }
    EXPECT_GE(Median(all), kLeastDiffuseness);
    EXPECT_LE(Median(all), kMostDiffuseness);
}

}  // namespace
}  // namespace halvane::simulation
