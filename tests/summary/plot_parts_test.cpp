// The pure parts of the summary's plots: axes, clipping, label places, the
// colour map and the sizes that stand for levels.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "display/LabelPlacer.h"
#include "display/summary/ArrivalMap.h"
#include "display/summary/AzimuthColour.h"
#include "display/summary/DecayPlot.h"
#include "display/summary/PlotFrame.h"
#include "display/summary/Reflectogram.h"
#include "display/summary/TopView.h"

namespace halvane {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
// Steps such as 0.1 are not exact in binary; an axis end computed from one
// lies within a few units in the last place of the decimal value.
constexpr double kAxisTolerance = 1e-12;
// Clipped ends are computed through the fraction of the segment they cut
// off, which rounds.
constexpr double kClipTolerance = 1e-12;

struct TicksRow {
    const char* name;
    double low, high;
    int minIntervals;
    double from, to, step;
};

TEST(NiceTicks, CoverTheStretchWithRoundSteps)
{
    const TicksRow rows[] = {
        {"demo arrivals in ms", 5, 94.5, 5, 0, 100, 20},
        {"levels down to a 40 dB floor", -40, 0, 4, -40, 0, 10},
        {"levels down to a 45 dB floor", -45, 0, 4, -50, 0, 10},
        {"decay times in s", 0, 0.54, 5, 0, 0.6, 0.1},
        {"a stretch off zero", 27.7, 46.1, 5, 25, 50, 5},
        {"swapped ends", 0, -62.3, 4, -80, 0, 20},
        {"no width", 3, 3, 4, 2, 4, 0.5},
        {"one interval asked for", 0, 1000, 1, 0, 1000, 1000},
        {"below one interval counts as one", 0, 7, -3, 0, 10, 5},
        {"an infinite end", 0, kInf, 5, 0, 1, 1},
        {"not a number", kNaN, 3, 5, 0, 1, 1},
    };
    for (const TicksRow& row : rows) {
        SCOPED_TRACE(row.name);
        const AxisTicks ticks = NiceTicks(row.low, row.high, row.minIntervals);
        EXPECT_NEAR(ticks.from, row.from, kAxisTolerance);
        EXPECT_NEAR(ticks.to, row.to, kAxisTolerance);
        EXPECT_NEAR(ticks.step, row.step, kAxisTolerance);
    }
}

TEST(NiceTicks, ValuesRunFromEndToEndWithoutDrift)
{
    const std::vector<double> values = AxisTicks{0, 0.6, 0.1}.Values();
    ASSERT_EQ(values.size(), 7u);
    EXPECT_EQ(values.front(), 0);
    EXPECT_NEAR(values.back(), 0.6, kAxisTolerance);
    EXPECT_EQ(AxisTicks({-40, 0, 10}).Values(), (std::vector<double>{-40, -30, -20, -10, 0}));
    EXPECT_TRUE(AxisTicks({0, 1, 0}).Values().empty()) << "no step";
    EXPECT_TRUE(AxisTicks({1, 0, 1}).Values().empty()) << "ends swapped";
}

struct ClipRow {
    const char* name;
    double x1, y1, x2, y2;
    bool visible;
    double cx1, cy1, cx2, cy2;
};

TEST(ClipSegment, KeepsThePartInsideTheRectangle)
{
    // The rectangle [0, 10] x [-40, 0], as a plot of 10 ms and 40 dB.
    const ClipRow rows[] = {
        {"wholly inside", 1, -1, 9, -39, true, 1, -1, 9, -39},
        {"leaves at the right", 5, -20, 15, -20, true, 5, -20, 10, -20},
        {"enters at the top", 2, 10, 2, -10, true, 2, 0, 2, -10},
        {"crosses from corner to corner", -10, 40, 20, -80, true, 0, 0, 10, -40},
        {"wholly left of it", -5, -10, -1, -30, false, 0, 0, 0, 0},
        {"along an edge outside", 0, 5, 10, 5, false, 0, 0, 0, 0},
        {"a point inside", 4, -4, 4, -4, true, 4, -4, 4, -4},
        {"not a number", kNaN, -4, 4, -4, false, 0, 0, 0, 0},
    };
    for (const ClipRow& row : rows) {
        SCOPED_TRACE(row.name);
        double x1 = row.x1, y1 = row.y1, x2 = row.x2, y2 = row.y2;
        ASSERT_EQ(ClipSegment(x1, y1, x2, y2, 0, 10, -40, 0), row.visible);
        if (!row.visible) continue;
        EXPECT_NEAR(x1, row.cx1, kClipTolerance);
        EXPECT_NEAR(y1, row.cy1, kClipTolerance);
        EXPECT_NEAR(x2, row.cx2, kClipTolerance);
        EXPECT_NEAR(y2, row.cy2, kClipTolerance);
    }
}

TEST(LabelPlacer, TakesTheFirstFreePlaceInsideItsBounds)
{
    LabelPlacer placer(QRect(0, 0, 100, 50));
    placer.Keep(QRect(40, 10, 20, 20));  // a mark
    const QRect onMark(45, 15, 10, 10), outside(95, 0, 10, 10), free(0, 0, 10, 10);
    const std::vector<QRect> candidates = {onMark, outside, free};
    EXPECT_EQ(placer.Place(candidates), free);
    EXPECT_EQ(placer.Place(candidates), std::nullopt) << "the free place is taken now";
    EXPECT_EQ(placer.Place({}), std::nullopt);
    EXPECT_EQ(placer.PlaceAnyway(candidates), onMark) << "the first inside the bounds";
    EXPECT_EQ(placer.PlaceAnyway(std::vector<QRect>{outside}), std::nullopt);
    EXPECT_EQ(placer.Place(std::vector<QRect>{QRect(10, 0, 10, 10)}), QRect(10, 0, 10, 10)) << "touching is free";
}

TEST(AzimuthColour, IsCircularAndContinuous)
{
    EXPECT_EQ(AzimuthColour(180), AzimuthColour(-180));
    EXPECT_EQ(AzimuthColour(0), AzimuthColour(360));
    EXPECT_EQ(AzimuthColour(-90), AzimuthColour(270));
    EXPECT_EQ(AzimuthColour(kNaN), QColor(128, 128, 128));
    EXPECT_EQ(AzimuthColour(kInf), QColor(128, 128, 128));
    // No jump anywhere round the circle, the seam at +-180 included.
    for (int tenth = -1800; tenth < 1800; ++tenth) {
        const QColor a = AzimuthColour(tenth / 10.0);
        const QColor b = AzimuthColour((tenth + 1) / 10.0);
        ASSERT_LE(std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue()), 6)
            << tenth / 10.0 << " degrees";
    }
}

TEST(AzimuthColour, TellsTheFourSidesApart)
{
    const double sides[] = {0, 90, 180, -90};
    for (const double a : sides) {
        for (const double b : sides) {
            if (a == b) continue;
            const QColor ca = AzimuthColour(a), cb = AzimuthColour(b);
            EXPECT_GT(std::abs(ca.red() - cb.red()) + std::abs(ca.green() - cb.green()) +
                          std::abs(ca.blue() - cb.blue()),
                      100)
                << a << " and " << b << " degrees";
        }
    }
}

struct LevelRow {
    const char* name;
    double levelDb, floorDb;
    double markDeg;  // ArrivalMarkRadiusDeg
    double reach;    // TopViewReach
};

TEST(LevelSizes, LouderArrivalsGetLargerMarksAndLongerLines)
{
    const LevelRow rows[] = {
        {"the direct sound", 0, 40, kLargestArrivalMarkDeg, 1},
        {"halfway down", -20, 40, 6, 0.5},
        {"at the floor", -40, 40, kSmallestArrivalMarkDeg, 0},
        {"below the floor", -55, 40, kSmallestArrivalMarkDeg, 0},
        {"louder than the direct sound", 6, 40, kLargestArrivalMarkDeg, 1},
        {"a 20 dB floor", -5, 20, 7.5, 0.75},
        {"a level that is not a number", kNaN, 40, kSmallestArrivalMarkDeg, 0},
    };
    for (const LevelRow& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_DOUBLE_EQ(ArrivalMarkRadiusDeg(row.levelDb, row.floorDb), row.markDeg);
        EXPECT_DOUBLE_EQ(TopViewReach(row.levelDb, row.floorDb), row.reach);
    }
    // A floor that is no floor: the smallest ring, and the line of a 40 dB floor.
    EXPECT_DOUBLE_EQ(ArrivalMarkRadiusDeg(-10, 0), kSmallestArrivalMarkDeg);
    EXPECT_DOUBLE_EQ(TopViewReach(-10, -3), 0.75);
}

TEST(ArrivalLabel, NamesNumberAndTimeWithTheRegionalSeparator)
{
    EXPECT_EQ(ArrivalLabel(1, 9.334, '.'), QStringLiteral("1: 9.3 ms"));
    EXPECT_EQ(ArrivalLabel(12, 104.25, ','), QStringLiteral("12: 104,2 ms")) << "half to even";
}

TEST(ReflectogramAxes, SpanTheArrivals)
{
    EXPECT_EQ(ReflectogramTimeAxis({}).to, 100) << "no arrivals";
    std::vector<Arrival> arrivals(2);
    arrivals[0].timeMs = 0.4;
    arrivals[1].timeMs = 3.1;
    arrivals[1].levelDb = -12;
    const AxisTicks early = ReflectogramTimeAxis(arrivals);
    EXPECT_EQ(early.from, 0) << "never before the file's start";
    EXPECT_GE(early.to, 3.1 + 1) << "a margin after the last arrival";
    EXPECT_EQ(ReflectogramLevelAxis(arrivals, 40).from, -40);
    EXPECT_EQ(ReflectogramLevelAxis(arrivals, 40).to, 0);
    arrivals[1].levelDb = 7;  // louder than the direct sound: the axis reaches it
    EXPECT_GE(ReflectogramLevelAxis(arrivals, 40).to, 7);
}

TEST(DecayAxes, ReachSixtyDecibelsAndTheLongestCurve)
{
    EXPECT_EQ(DecayLevelAxis({}).from, -60);
    EXPECT_EQ(DecayTimeAxis({}).to, 1);
    BandParameters band;
    band.decay.timeS = {0, 0.5, 1.3};
    band.decay.levelDb = {0, -40, -83};
    band.t30Fit = DecayFit{-30, -2, 0.1, 1.0};  // reaches -60 dB at 1.93 s
    EXPECT_EQ(DecayLevelAxis({band}).from, -100);
    EXPECT_GE(DecayTimeAxis({band}).to, 1.93);
    band.t30Fit->slopeDbPerS = 5;  // a rising line reaches -60 dB never
    EXPECT_GE(DecayTimeAxis({band}).to, 1.3);
    EXPECT_LT(DecayTimeAxis({band}).to, 1.93);
}

}  // namespace
}  // namespace halvane
