// The rules the arrivals, the convention check and the picture share: the
// direction of an intensity vector, the diffuseness, the direct sound's
// threshold, degrees and radians.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "values/Arrival.h"
#include "values/SoundField.h"

namespace halvane {
namespace {

// atan2 and asin are within an ulp or two; degrees carry that times 57.
constexpr double kAngleToleranceDeg = 1e-12;

TEST(SoundField, TheIntensityVectorPointsWhereTheSoundComesFrom)
{
    struct Row {
        const char* name;
        double azDeg, elDeg;  // where a plane wave comes from
    };
    const std::vector<Row> rows = {
        {"ahead", 0, 0},
        {"front left, up", 45, 30},
        {"back left, down", 135, -60},
        {"back right", -135, 10},
        {"front right", -45, -10},
        {"right", -90, 0},
        {"straight up", 0, 90},
        {"straight down", 0, -90},
        {"behind", 180, 0},
        {"just left of behind", 179.999, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        // A plane wave's pseudo-intensity points to its source, with any gain.
        const double az = row.azDeg * std::numbers::pi / 180, el = row.elDeg * std::numbers::pi / 180;
        const double gain = 0.37;
        const Direction d = DirectionOfIntensity(gain * std::cos(el) * std::cos(az), gain * std::cos(el) * std::sin(az),
                                                 gain * std::sin(el));
        EXPECT_NEAR(d.elDeg, row.elDeg, kAngleToleranceDeg);
        if (std::fabs(row.elDeg) < 90) {
            EXPECT_NEAR(d.azDeg, row.azDeg, kAngleToleranceDeg);
        }
    }
}

TEST(SoundField, UnitVectorsAndTheAngleBetweenDirections)
{
    struct Row {
        const char* name;
        Direction a, b;
        double angleDeg;
    };
    const std::vector<Row> rows = {
        {"the same", {30, 20}, {30, 20}, 0},         {"a microdegree apart", {30, 20}, {30, 20.000001}, 1e-6},
        {"across the seam", {179, 0}, {-179, 0}, 2}, {"left and right", {90, 0}, {-90, 0}, 180},
        {"up and ahead", {0, 90}, {123, 0}, 90},     {"any azimuth at the pole", {10, 90}, {-170, 90}, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_NEAR(AngleBetweenDeg(row.a, row.b), row.angleDeg, 1e-9);
        // The unit vector points where the direction does.
        const auto u = UnitVectorOf(row.a);
        EXPECT_NEAR(std::hypot(u[0], u[1], u[2]), 1, 1e-15);
        const Direction back = DirectionOfIntensity(u[0], u[1], u[2]);
        EXPECT_NEAR(AngleBetweenDeg(back, row.a), 0, 1e-9);
    }
    const auto left = UnitVectorOf({90, 0});
    EXPECT_NEAR(left[1], 1, 1e-15) << "azimuth 90 is +Y, to the left";
}

TEST(SoundField, AzimuthLiesAboveMinus180)
{
    // Behind, with Iy a negative zero: atan2 gives -pi, the program's convention 180.
    EXPECT_EQ(DirectionOfIntensity(-1, -0.0, 0).azDeg, 180.0);
    EXPECT_EQ(DirectionOfIntensity(-1, 0.0, 0).azDeg, 180.0);
    // Rounding cannot push the elevation past the poles.
    EXPECT_EQ(DirectionOfIntensity(0, 0, 1e-150).elDeg, 90.0);
    EXPECT_EQ(DirectionOfIntensity(0, 0, -5).elDeg, -90.0);
}

TEST(SoundField, DiffusenessRunsFromPlaneWaveToDiffuseField)
{
    struct Row {
        const char* name;
        double intensity, energy, diffuseness;
    };
    const std::vector<Row> rows = {
        {"a plane wave (|I| = De / 2 in SN3D)", 0.5, 1.0, 0.0},
        {"no net flow", 0.0, 3.0, 1.0},
        {"half way", 0.25, 1.0, 0.5},
    };
    for (const Row& row : rows) EXPECT_DOUBLE_EQ(Diffuseness(row.intensity, row.energy), row.diffuseness) << row.name;
}

TEST(SoundField, TheDirectSoundLiesWithin20DbInEnergyAndInAmplitude)
{
    // Exact for integer energies: 20 dB is a factor of 100.
    EXPECT_EQ(DirectSoundLeastEnergy(1e6), 1e4);
    EXPECT_EQ(DirectSoundLeastEnergy(300), 3);
    // The same 20 dB as an amplitude: a tenth.
    EXPECT_DOUBLE_EQ(DirectSoundLeastAmplitude(2.0), 0.2);
    const double amplitude = 0.8;
    EXPECT_NEAR(DirectSoundLeastAmplitude(amplitude) * DirectSoundLeastAmplitude(amplitude),
                DirectSoundLeastEnergy(amplitude * amplitude), 1e-15);
}

TEST(SoundField, DegreesAndRadians)
{
    EXPECT_DOUBLE_EQ(kDegreesPerRadian, 180 / std::numbers::pi);
    EXPECT_EQ(DegreesFromRadians(0), 0);
    EXPECT_DOUBLE_EQ(DegreesFromRadians(std::numbers::pi / 2), 90);
    EXPECT_DOUBLE_EQ(RadiansFromDegrees(-180), -std::numbers::pi);
    EXPECT_DOUBLE_EQ(DegreesFromRadians(RadiansFromDegrees(33.3)), 33.3);
}

}  // namespace
}  // namespace halvane
