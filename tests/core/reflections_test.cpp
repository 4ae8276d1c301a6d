#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "analysis/ScriptedDialogue.h"
#include "support/FakeHost.h"
#include "analysis/ReflectionList.h"
#include "analysis/RunSummary.h"
#include "support/TestWav.h"
#include "analysis/RunAnalysis.h"
#include "demo/DemoRoom.h"

namespace halvane {
namespace {

// Runs the batch analysis of the given file image, keeping the windows' sums.
std::vector<Reflection> ReflectionsOf(const std::vector<std::byte>& wav, const ReflectionOptions& options = {},
                                      const char* windowMs = "5")
{
    SharedState state;
    state.IrFileName = "/ir/room.wav";
    ScriptedDialogue dialogue({"0", "1000", windowMs, "0"});
    RunSummary summary;
    test::MemoryStorage storage;
    storage.inputs[state.IrFileName] = wav;
    EXPECT_EQ(RunAnalysis(state, dialogue, storage, storage, RunDisplay::None(), summary).outcome,
              RunOutcome::Completed);
    return FindReflections(summary.IntensityWindows(), options);
}

TEST(Reflections, TheDemoRoomsArrivalsAreFoundWhereTheyWerePut)
{
    const demo::DemoRoom room;
    const std::vector<float> samples = demo::RenderDemoImpulseResponse(room);
    std::vector<test::Frame4> frames;
    for (std::size_t i = 0; i + 3 < samples.size(); i += 4) {
        frames.push_back({samples[i], samples[i + 1], samples[i + 2], samples[i + 3]});
    }
    const std::vector<Reflection> found = ReflectionsOf(test::MakeWav(frames));
    constexpr double kWindowMs = 5;
    constexpr double kDirectionToleranceDeg = 5;  // pulses of neighbouring arrivals and the tail overlap a little
    for (const demo::Arrival& arrival : demo::DemoArrivals(room)) {
        SCOPED_TRACE(arrival.name);
        bool matched = false;
        for (const Reflection& r : found) {
            if (arrival.timeMs >= r.timeMs && arrival.timeMs < r.timeMs + kWindowMs) {
                matched = true;
                const double azError = std::remainder(r.azDeg - arrival.azimuthDeg, 360.0);
                EXPECT_LT(std::fabs(azError), kDirectionToleranceDeg) << r.azDeg;
                EXPECT_NEAR(r.elDeg, arrival.elevationDeg, kDirectionToleranceDeg);
            }
        }
        EXPECT_TRUE(matched) << "no window listed at " << arrival.timeMs << " ms";
    }
    ASSERT_FALSE(found.empty());
    EXPECT_EQ(found[0].delayMs, 0);
    EXPECT_LT(found[0].diffuseness, 0.01);  // the direct sound is a plane wave
}

TEST(Reflections, DelaysPathsLevelsAndTheFloor)
{
    // 1 kHz, 5 ms windows: a direct sound at window 2 from the front, a
    // reflection 10 dB down at window 6 from the left, one 50 dB down at window 9.
    std::vector<test::Frame4> frames(60);
    auto burst = [&](int window, double amplitude, double azDeg) {
        for (int k = 1; k <= 5; ++k) frames[static_cast<std::size_t>(window * 5 + k)] = test::PlaneWave(amplitude, azDeg, 0);
    };
    burst(2, 1.0, 0);
    burst(6, std::sqrt(0.1), 90);
    burst(9, std::sqrt(1e-5), -90);
    test::WavFormat format;
    format.sampleRate = 1000;
    const auto wav = test::MakeWav(frames, format);

    const std::vector<Reflection> found = ReflectionsOf(wav);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].timeMs, 10);
    EXPECT_EQ(found[1].timeMs, 30);
    EXPECT_EQ(found[1].delayMs, 20);
    EXPECT_DOUBLE_EQ(found[1].extraPathM, 20 * 0.343);
    EXPECT_NEAR(found[1].levelDb, -10, 1e-5);
    EXPECT_NEAR(found[1].azDeg, 90, 1e-4);
    EXPECT_NEAR(found[1].idDb, -3.0103, 1e-4);

    ReflectionOptions deeper;
    deeper.floorDb = 60;
    deeper.temperatureC = 20;
    const std::vector<Reflection> all = ReflectionsOf(wav, deeper);
    ASSERT_EQ(all.size(), 3u);
    EXPECT_NEAR(all[2].levelDb, -50, 1e-4);
    EXPECT_NEAR(all[1].extraPathM, 0.020 * 331.3 * std::sqrt(1 + 20 / 273.15), 1e-12);
}

TEST(Reflections, TableFormat)
{
    Reflection r;
    r.timeMs = 20;
    r.delayMs = 15;
    r.extraPathM = 5.145;
    r.levelDb = -10.5;
    r.azDeg = 90.0000000000003;
    r.idDb = -3.01029995663981;
    std::ostringstream out;
    WriteReflectionTable(out, {r});
    EXPECT_EQ(out.str(),
              "\"time (ms)\",\"delay (ms)\",\"extra path (m)\",\"level (dB)\",\"Az\",\"El\",\"I/D (dB)\","
              "\"diffuseness\"\r\n20,15,5.145,-10.5,90.0000000000003,0,-3.01029995663981,0\r\n");
}

TEST(Reflections, SilenceListsNothing)
{
    EXPECT_TRUE(ReflectionsOf(test::MakeWav(test::Repeat({0, 0, 0, 0}, 2000))).empty());
}

}  // namespace
}  // namespace halvane
