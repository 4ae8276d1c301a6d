#include <gtest/gtest.h>

#include <QApplication>

#include <cmath>

#include "analysis/RunAnalysis.h"
#include "analysis/ScriptedDialogue.h"
#include "demo/DemoRoom.h"
#include "display/SummaryPicture.h"
#include "support/FakeHost.h"
#include "support/TestWav.h"

namespace halvane {
namespace {

// The batch analysis of the demo room, kept as the summary's input.
SummaryInput DemoRunSummary(const char* displayMs)
{
    const std::vector<float> samples = demo::RenderDemoImpulseResponse(demo::DemoRoom{});
    std::vector<test::Frame4> frames;
    for (std::size_t i = 0; i + 3 < samples.size(); i += 4) {
        frames.push_back({samples[i], samples[i + 1], samples[i + 2], samples[i + 3]});
    }
    SharedState state;
    state.IrFileName = "/demo/demo-room.wav";
    ScriptedDialogue dialogue({"0", displayMs, "5", "0"});
    RunSummary summary;
    test::MemoryStorage storage;
    storage.inputs[state.IrFileName] = test::MakeWav(frames);
    EXPECT_EQ(RunAnalysis(state, dialogue, storage, storage, RunDisplay::None(), summary).outcome,
              RunOutcome::Completed);
    return SummaryOfRun(state, summary);
}

// How far a colour lies from the nearest colour of the time ramp.
int DistanceFromRamp(QColor c)
{
    int best = 1 << 30;
    for (int i = 0; i <= 512; ++i) {
        const QColor r = TimeRampColour(i / 512.0);
        best = std::min(best,
                        std::abs(r.red() - c.red()) + std::abs(r.green() - c.green()) + std::abs(r.blue() - c.blue()));
    }
    return best;
}

TEST(TimeRamp, RunsFromDarkToLightAndClampsItsEnds)
{
    EXPECT_EQ(TimeRampColour(0), QColor(68, 1, 84));
    EXPECT_EQ(TimeRampColour(1), QColor(253, 231, 37));
    EXPECT_EQ(TimeRampColour(-3), TimeRampColour(0));
    EXPECT_EQ(TimeRampColour(std::nan("")), TimeRampColour(0));
    EXPECT_EQ(TimeRampColour(7), TimeRampColour(1));
    // Luminance grows monotonically along the ramp: later arrivals are lighter.
    double previous = -1;
    for (int i = 0; i <= 100; ++i) {
        const QColor c = TimeRampColour(i / 100.0);
        const double luminance = 0.2126 * c.red() + 0.7152 * c.green() + 0.0722 * c.blue();
        EXPECT_GT(luminance, previous) << i;
        previous = luminance;
    }
}

TEST(SummaryPicture, TheDemoRoomsArrivalsLandWhereTheyComeFrom)
{
    const SummaryInput input = DemoRunSummary("300");
    const QImage picture = RenderSummary(input);
    ASSERT_EQ(picture.size(), QSize(kSummaryWidthPx, kSummaryHeightPx));
    picture.save("summary-demo.png");  // in the test's working folder, for a person to look at

    // Every arrival's direction lies inside a circle of the ramp's colours (a
    // few pixels off its centre, away from the red cross).
    for (const demo::Arrival& arrival : demo::DemoArrivals(demo::DemoRoom{})) {
        SCOPED_TRACE(arrival.name);
        const double xPx = (180.0 - arrival.azimuthDeg) / 360.0 * kSummaryWidthPx;
        const double yPx = (90.0 - arrival.elevationDeg) / 180.0 * kSummaryMapHeightPx;
        const int x = std::clamp(static_cast<int>(xPx) + 4, 0, kSummaryWidthPx - 1);
        const int y = std::clamp(static_cast<int>(yPx) + 4, 0, kSummaryMapHeightPx - 1);
        const QColor pixel = picture.pixelColor(x, y);
        EXPECT_LT(DistanceFromRamp(pixel), 12) << "pixel " << x << "," << y << " is " << pixel.name().toStdString();
    }
    // The strip lies below the map: a blue intensity bar under the direct sound's window.
    const int stripTop = kSummaryMapHeightPx + kSummaryGapPx;
    const int directWindowX = static_cast<int>((7.5 - input.skipMs) / input.displayWindowMs * kSummaryWidthPx);
    EXPECT_EQ(picture.pixelColor(directWindowX, stripTop + 170), QColor(0, 0, 255));
    // The legend's ramp starts dark violet.
    EXPECT_EQ(picture.pixelColor(60, stripTop + kSummaryStripHeightPx + kSummaryGapPx + 5), TimeRampColour(0));
}

TEST(SummaryPicture, ARunWithoutDirectionsStillShowsItsStrip)
{
    SummaryInput input;
    input.displayWindowMs = 100;
    WindowSums silent;
    input.intensityWindows.push_back({0, 0, silent});
    const QImage picture = RenderSummary(input);
    EXPECT_EQ(picture.size(), QSize(kSummaryWidthPx, kSummaryHeightPx));
    // The placeholder's grey field shows through the map's empty middle.
    EXPECT_EQ(picture.pixelColor(75, 75), QColor(212, 208, 200));
}

}  // namespace
}  // namespace halvane

int main(int argc, char** argv)
{
    // The summary is drawn offscreen; no display is needed, also when the
    // tests are listed.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
