#include <gtest/gtest.h>

#include <cmath>

#include "analysis/AngleFunctions.h"

namespace halvane {
namespace {

// Where a result is not exact in the decimal form given, it must match to the
// last few units in the last place of that value.
constexpr double kUlpSlack = 4e-15;

TEST(AngleFunctions, Atan2UsesItsOwnConstantsAndThreshold)
{
    struct Row {
        const char* name;
        double y, x, expected;
        bool exact;
    };
    const Row rows[] = {
        {"origin", 0, 0, 0, true},
        {"both below threshold", 1e-8, 1e-8, 0, true},
        {"straight up", 1, 0, 1.5707963267949, true},
        {"straight down", -1, 0, -1.5707963267949, true},
        {"x below threshold", 1, 1e-8, 1.5707963267949, true},
        {"tiny negative x counts as zero", 1, -1e-8, 1.5707963267949, true},
        {"y tiny, x not", 1e-8, 1, 1e-8, false},
        {"behind, y zero", 0, -1, 3.14159265358979, true},
        {"behind, y slightly negative", -1e-9, -1, -3.14159265358979 + 1e-9, false},
        {"first quadrant", 1, 1, 0.785398163397448, false},
        {"second quadrant", 1, -1, 2.35619449019234, false},
        {"third quadrant", -0.5, -0.5, std::atan(1.0) - 3.14159265358979, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const auto result = halvane::atan2(row.y, row.x);
        ASSERT_TRUE(result.has_value());
        if (row.exact)
            EXPECT_EQ(*result, row.expected);
        else
            EXPECT_NEAR(*result, row.expected, kUlpSlack);
    }
}

TEST(AngleFunctions, ArcSineAndArcCosine)
{
    EXPECT_EQ(*ASin(1), 1.5707963267949);
    EXPECT_EQ(*ASin(-1), -1.5707963267949);
    EXPECT_EQ(*ASin(0), 0);
    EXPECT_NEAR(*ASin(0.5), 0.523598775598299, kUlpSlack);
    EXPECT_EQ(*ACos(1), 0);
    EXPECT_EQ(*ACos(-1), 3.14159265358979);
    EXPECT_EQ(*ACos(0), 1.5707963267949);
    EXPECT_NEAR(*ACos(0.5), 1.04719755119660, kUlpSlack);
}

TEST(AngleFunctions, FailuresAreValuesNotCrashes)
{
    EXPECT_FALSE(ASin(1.0000001).has_value());
    EXPECT_FALSE(ACos(-1.5).has_value());
    EXPECT_FALSE(ASin(std::nan("")).has_value());
    EXPECT_FALSE(halvane::atan2(std::nan(""), 1).has_value());
    EXPECT_FALSE(halvane::atan2(1e308, 0.5).has_value());  // the quotient overflows
}

TEST(AngleFunctions, ConstantsDifferFromTheCorrectlyRoundedOnes)
{
    // The tables' last digits depend on these exact doubles.
    EXPECT_EQ(kPi, 3.14159265358979);
    EXPECT_NE(kPi, M_PI);
}

}  // namespace
}  // namespace halvane
