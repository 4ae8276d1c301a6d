#include <gtest/gtest.h>

#include <sstream>

#include "analysis/DirectionQuantities.h"
#include "analysis/FrameAccumulator.h"
#include "report/NumberFormat.h"
#include "report/ReferenceTable.h"
#include "support/TestWav.h"

namespace halvane {
namespace {

using test::Frame4;

// The direction quantities of one window of 240 identical 32-bit frames.
DirectionQuantities OfFrames(const Frame4& f, double timeMs = 0)
{
    const auto bytes = test::MakeWav(test::Repeat(f, 1000));
    return ComputeDirection(FrameAccumulator(bytes, ReadWavHeader(bytes), 240).Window(1), timeMs);
}

TEST(Direction, PlaneWavesOnTheAxesCarryTheAngleConstantsDigits)
{
    struct Row {
        const char* name;
        Frame4 frame;
        const char* az;
        const char* el;
    };
    const Row rows[] = {
        {"front", {0.5, 0, 0, 0.5}, "0", "0"},
        {"left", {0.5, 0.5, 0, 0}, "90.0000000000003", "0"},
        {"right", {0.5, -0.5, 0, 0}, "-90.0000000000003", "0"},
        {"behind: exactly 180, never -180", {0.5, 0, 0, -0.5}, "180", "0"},
        {"up", {0.5, 0, 0.5, 0}, "0", "90.0000000000003"},
        {"down", {0.5, 0, -0.5, 0}, "0", "-90.0000000000003"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const DirectionQuantities q = OfFrames(row.frame);
        ASSERT_TRUE(q.writesRow);
        EXPECT_EQ(FormatDouble(q.view.Az), row.az);
        EXPECT_EQ(FormatDouble(q.view.El), row.el);
        EXPECT_EQ(FormatDouble(q.IDdB), "-3.01029995663981");
        EXPECT_EQ(q.view.ShadeLevel, 127.5);
    }
}

TEST(Direction, PlaneWavesInEveryQuadrantAreFoundAgain)
{
    // Distinct signals per channel: a slip in the channel order moves the direction.
    constexpr double kToleranceDeg = 1e-4;  // single-precision sums of rounded samples
    for (double az : {30.0, 120.0, -60.0, -150.0}) {
        for (double el : {-60.0, 0.0, 45.0}) {
            SCOPED_TRACE("az " + std::to_string(az) + " el " + std::to_string(el));
            const DirectionQuantities q = OfFrames(test::PlaneWave(0.5, az, el));
            EXPECT_NEAR(q.view.Az, az, kToleranceDeg);
            EXPECT_NEAR(q.view.El, el, kToleranceDeg);
            // The magnitude's squares are summed in single precision.
            constexpr double kSinglePrecisionSlack = 1e-6;
            EXPECT_NEAR(q.view.Dx * q.view.Dx + q.view.Dy * q.view.Dy + q.view.Dz * q.view.Dz, 0.999 * 0.999,
                        kSinglePrecisionSlack);
        }
    }
}

TEST(Direction, TheReferenceRowOfAKnownWindow)
{
    // 240 frames W = X = 0.5 at 20 ms: De 120, IntensityMagnitude 60.
    const DirectionQuantities q = OfFrames({0.5, 0, 0, 0.5}, 20);
    std::ostringstream row;
    WriteReferenceRow(row, q.TimeMs, q.view.Az, q.view.El, q.IDdB, q.Li);
    EXPECT_EQ(row.str(), "20,0,0,-3.01029995663981,17.7815125038364\r\n");
    EXPECT_NEAR(q.view.MapRadius, 10 * std::log10(300.0) + 30, 1e-12);
    EXPECT_DOUBLE_EQ(q.view.PolarRadius, q.view.MapRadius / 100);
}

TEST(Direction, WindowsThatAreNotWritten)
{
    {
        SCOPED_TRACE("silence: no direction at all");
        const DirectionQuantities q = OfFrames({0, 0, 0, 0});
        EXPECT_FALSE(q.hasDirection);
        EXPECT_EQ(q.view.De, kLevelFloor);
    }
    {
        SCOPED_TRACE("so quiet that 5 x IntensityMagnitude <= 0.001: shown in the text box, not on the map");
        const DirectionQuantities q = OfFrames({0.0009, 0, 0, 0.0009});
        EXPECT_TRUE(q.hasDirection);
        EXPECT_FALSE(q.onMap);
        EXPECT_FALSE(q.writesRow);
        EXPECT_EQ(q.view.MapRadius, 0);
        EXPECT_EQ(FormatDouble(q.view.Az), "0");
    }
    {
        SCOPED_TRACE("diffuse: I/D below -6 dB is drawn but not written");
        const DirectionQuantities q = OfFrames({0.5, 0.5, 0.5, 0.1});  // De 0.76, |I| about 0.37 -> about -3.1 dB
        EXPECT_TRUE(q.writesRow);
        const DirectionQuantities diffuse = OfFrames({0.1, 0.5, 0.5, 0.5});
        EXPECT_TRUE(diffuse.onMap);
        EXPECT_LT(diffuse.IDdB, -6);
        EXPECT_FALSE(diffuse.writesRow);
    }
}

TEST(Direction, SineRoundedPastOneReadsAsStraightUp)
{
    // Iz alone, Ix and Iy negligible: (Ix^2 + Iy^2) + Iz^2 in single precision can
    // make Iz / IntensityMagnitude exceed 1 by an ulp; the run must not stop on it.
    WindowSums s;
    s.isFloat = true;
    s.De32 = 3.0f;
    s.Iz32 = 1.0137f;  // its square rounds down: Iz / IntensityMagnitude = 1 + 2.7e-8
    s.Ix32 = 1e-30f;
    const DirectionQuantities q = ComputeDirection(s, 0);
    ASSERT_TRUE(q.hasDirection);
    EXPECT_EQ(FormatDouble(q.view.El), "90.0000000000003");
}

TEST(Direction, NonFiniteSumsAreTreatedAsNoIntensity)
{
    WindowSums s;
    s.isFloat = true;
    s.De32 = std::numeric_limits<float>::quiet_NaN();
    s.Ix32 = 1;
    EXPECT_FALSE(ComputeDirection(s, 0).hasDirection);
    s.De32 = 1;
    s.Ix32 = std::numeric_limits<float>::infinity();
    EXPECT_FALSE(ComputeDirection(s, 0).hasDirection);
}

TEST(Direction, StripLevelsFloorSilence)
{
    WindowSums silent;
    const LevelPair levels = StripLevels(silent);
    EXPECT_DOUBLE_EQ(levels.energy, -40);
    EXPECT_DOUBLE_EQ(levels.intensity, -40);
    WindowSums s;
    s.isFloat = true;
    s.De32 = 120;
    s.Ix32 = 60;
    EXPECT_NEAR(StripLevels(s).energy, 100.79, 0.005);
    EXPECT_NEAR(StripLevels(s).intensity, 97.78, 0.005);
}

}  // namespace
}  // namespace halvane
