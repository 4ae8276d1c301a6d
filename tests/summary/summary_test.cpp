#include <gtest/gtest.h>

#include <QApplication>

#include <cmath>

#include "analysis/RunAnalysis.h"
#include "analysis/RunSummary.h"
#include "analysis/ScriptedDialogue.h"
#include "analysis/arrivals/Arrivals.h"
#include "analysis/room/RoomParameters.h"
#include "bformat/BFormatSignal.h"
#include "demo/DemoRoom.h"
#include "display/summary/ArrivalMap.h"
#include "display/summary/AzimuthColour.h"
#include "display/summary/DecayPlot.h"
#include "display/summary/Reflectogram.h"
#include "display/summary/SummaryPicture.h"
#include "display/summary/TitleBlock.h"
#include "display/summary/TopView.h"
#include "support/FakeHost.h"
#include "support/TestWav.h"

namespace halvane {
namespace {

constexpr double kPi = 3.14159265358979323846;
// FindArrivals places the demo room's arrivals within a fraction of a sample
// (48 kHz) and a fraction of a degree; the picture tests only need to know
// which found arrival is which.
constexpr double kSameArrivalMs = 0.5;
constexpr double kSameDirectionDeg = 3;

// The batch analysis of the demo room, kept as the summary's input, with the
// demo room's signal as the picture program reads it.
struct DemoRun {
    SummaryInput input;
    BFormatSignal signal;
};

DemoRun DemoRunSummary(const char* displayMs)
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
    const Result<BFormatSignal> signal = ReadBFormatSignal(storage.inputs[state.IrFileName]);
    EXPECT_TRUE(signal.Ok()) << signal.Message();
    SummaryInput input;
    input.results = ResultsOfRun(state, summary);
    return {input, signal.Ok() ? *signal : BFormatSignal{}};
}

// The demo run with the arrivals the picture program finds in it.
DemoRun DemoRunWithArrivals()
{
    DemoRun run = DemoRunSummary("300");
    run.input.results.arrivals = FindArrivals(run.signal, ArrivalOptions{});
    return run;
}

// The found arrival that is the demo room's given one.
const Arrival* Matching(const std::vector<Arrival>& found, const demo::Arrival& truth)
{
    for (const Arrival& a : found) {
        if (std::fabs(a.timeMs - truth.timeMs) < kSameArrivalMs) return &a;
    }
    return nullptr;
}

bool IsWhite(QColor c) { return c == QColor(255, 255, 255); }
// A colour of the plots' colour maps: far from any grey.
bool IsColoured(QColor c)
{
    return std::max({c.red(), c.green(), c.blue()}) - std::min({c.red(), c.green(), c.blue()}) > 40;
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
    const SummaryInput input = DemoRunSummary("300").input;
    const QImage picture = RenderSummary(input);
    const SummaryLayout layout = LayoutSummary(false, false);
    ASSERT_EQ(picture.size(), layout.picture);
    const QPoint map = layout.map.topLeft();

    // Every arrival's direction has a window's red cross within a few pixels,
    // and the windows' circles are hollow: around the direct sound the map's
    // plain field still shows (nothing there is hidden under a disc).
    for (const demo::Arrival& arrival : demo::DemoArrivals(demo::DemoRoom{})) {
        SCOPED_TRACE(arrival.name);
        const double xPx = (180.0 - arrival.azDeg) / 360.0 * kSummaryWidthPx;
        const double yPx = (90.0 - arrival.elDeg) / 180.0 * kSummaryMapHeightPx;
        int red = 0;
        for (int dy = -4; dy <= 4; ++dy) {
            for (int dx = -4; dx <= 4; ++dx) {
                const QPoint p(std::clamp(static_cast<int>(xPx) + dx, 0, kSummaryWidthPx - 1),
                               std::clamp(static_cast<int>(yPx) + dy, 0, kSummaryMapHeightPx - 1));
                red += picture.pixelColor(map + p) == QColor(255, 0, 0);
            }
        }
        EXPECT_GT(red, 0);
    }
    const demo::Arrival direct = demo::DemoArrivals(demo::DemoRoom{}).front();
    const int cx = map.x() + static_cast<int>((180.0 - direct.azDeg) / 360.0 * kSummaryWidthPx);
    const int cy = map.y() + static_cast<int>((90.0 - direct.elDeg) / 180.0 * kSummaryMapHeightPx);
    int field = 0, all = 0;
    for (int y = cy - 50; y <= cy + 50; ++y) {
        for (int x = cx - 50; x <= cx + 50; ++x, ++all) field += picture.pixelColor(x, y) == QColor(216, 216, 212);
    }
    EXPECT_GT(field, all / 2) << "the direct sound's window hides the map around it";

    // The strip lies below the map: a blue intensity bar under the direct sound's window.
    const int directWindowX = layout.strip.left() + static_cast<int>((7.5 - input.results.skipMs) /
                                                                     input.results.displayWindowMs * kSummaryWidthPx);
    EXPECT_EQ(picture.pixelColor(directWindowX, layout.strip.top() + 170), QColor(0, 0, 255));
    // The legend's ramp starts dark violet.
    EXPECT_EQ(picture.pixelColor(layout.timeLegend.left() + 60, layout.timeLegend.top() + 5), TimeRampColour(0));
}

TEST(SummaryPicture, TheTitleBlockSaysWhatWasAnalysedAndHow)
{
    AnalysisResults r;
    r.irFileName = "/rooms/hall.wav";
    r.skipMs = 2.5;
    r.displayWindowMs = 300;
    r.averagingWindowMs = 5;
    TitleFacts facts = TitleFactsOf(r, QStringLiteral("2026-03-01"), QStringLiteral("1.2.3"), ',');
    EXPECT_EQ(facts.fileName, QStringLiteral("/rooms/hall.wav"));
    EXPECT_EQ(facts.lines,
              QStringList({"Band: broadband (unfiltered)", "Skip 2,5 ms, display 300 ms, averaging window 5 ms",
                           "Read as AmbiX/SN3D (W, Y, Z, X)", "Drawn 2026-03-01 by Halvane 1.2.3"}));
    r.bandHz = 500;
    r.conventionNotice = "its direct sound reads as a plane wave in FuMa";
    facts = TitleFactsOf(r, {}, {}, '.');
    EXPECT_EQ(facts.lines, QStringList({"Band: 500 Hz octave", "Skip 2.5 ms, display 300 ms, averaging window 5 ms",
                                        "Read as AmbiX/SN3D (W, Y, Z, X); warning: its direct sound reads as a "
                                        "plane wave in FuMa"}));
}

TEST(SummaryPicture, ARunWithoutDirectionsStillShowsItsStrip)
{
    SummaryInput input;
    input.results.displayWindowMs = 100;
    WindowSums silent;
    input.results.intensityWindows.push_back({0, 0, silent});
    const QImage picture = RenderSummary(input);
    const SummaryLayout layout = LayoutSummary(false, false);
    EXPECT_EQ(picture.size(), layout.picture);
    // A plain field shows through the map's empty middle: no prompt, no placeholder grid.
    for (const QPoint p : {QPoint(75, 75), QPoint(150, 150), QPoint(479, 239), QPoint(600, 300)}) {
        EXPECT_EQ(picture.pixelColor(layout.map.topLeft() + p), QColor(216, 216, 212)) << p.x() << "," << p.y();
    }
    // The 30-degree grid: light lines at azimuth 150 and elevation 60.
    const QPoint grid = layout.map.topLeft() + QPoint(static_cast<int>(30.0 / 360 * kSummaryWidthPx),
                                                      static_cast<int>(30.0 / 180 * kSummaryMapHeightPx));
    EXPECT_EQ(picture.pixelColor(grid.x(), grid.y() + 40), QColor(250, 250, 250));
    EXPECT_EQ(picture.pixelColor(grid.x() + 40, grid.y()), QColor(250, 250, 250));
}

TEST(SummaryPicture, EachArrivalIsRingedAndLabelledAtItsDirectionAndNowhereElse)
{
    DemoRun run = DemoRunWithArrivals();
    // A plain panorama: the placeholder's large letters come out a little
    // differently depending on what text the process drew before, and only
    // the marks are to differ between the two pictures compared here.
    run.input.background = QImage(960, 480, QImage::Format_RGB32);
    run.input.background.fill(QColor(96, 112, 88));
    const QImage picture = RenderSummary(run.input);
    picture.save("summary-demo.png");  // in the test's working folder, for a person to look at
    SummaryInput bare = run.input;
    bare.results.arrivals.clear();
    const QImage withoutArrivals = RenderSummary(bare);
    const double pxPerDeg = kSummaryWidthPx / 360.0;
    const QPoint map = LayoutSummary(false, false).map.topLeft();

    struct Place {
        double xPx, yPx, radiusPx;
    };
    std::vector<Place> places;
    for (const demo::Arrival& truth : demo::DemoArrivals(demo::DemoRoom{})) {
        SCOPED_TRACE(truth.name);
        const Arrival* found = Matching(run.input.results.arrivals, truth);
        ASSERT_NE(found, nullptr);
        ASSERT_NEAR(found->azDeg, truth.azDeg, kSameDirectionDeg);
        ASSERT_NEAR(found->elDeg, truth.elDeg, kSameDirectionDeg);
        const Place p{(180.0 - found->azDeg) * pxPerDeg, (90.0 - found->elDeg) / 180.0 * kSummaryMapHeightPx,
                      ArrivalMarkRadiusDeg(found->levelDb, run.input.results.arrivalFloorDb) * pxPerDeg};
        places.push_back(p);
        // The ring's white band runs 1 to 4 px inside its radius, all round.
        for (int k = 0; k < 8; ++k) {
            const double angle = k * kPi / 4;
            // A ring across the +-180 edge continues at the other edge.
            const int x =
                (static_cast<int>(std::floor(p.xPx + (p.radiusPx - 2.5) * std::cos(angle))) + kSummaryWidthPx) %
                kSummaryWidthPx;
            const int y = static_cast<int>(std::floor(p.yPx + (p.radiusPx - 2.5) * std::sin(angle)));
            EXPECT_TRUE(IsWhite(picture.pixelColor(map + QPoint(x, y)))) << "ring pixel " << x << "," << y;
        }
        // Its label: white letters just beside the ring.
        int labelPixels = 0;
        for (int y = static_cast<int>(p.yPx - p.radiusPx - 18); y <= p.yPx + p.radiusPx + 18; ++y) {
            for (int x = static_cast<int>(p.xPx - p.radiusPx - 90); x <= p.xPx + p.radiusPx + 90; ++x) {
                const double d = std::hypot(x + 0.5 - p.xPx, y + 0.5 - p.yPx);
                const QPoint at = map + QPoint(x, y);
                if (d > p.radiusPx + 1 && x >= 0 && y >= 0 && x < kSummaryWidthPx && y < kSummaryMapHeightPx &&
                    IsWhite(picture.pixelColor(at)) && !IsWhite(withoutArrivals.pixelColor(at))) {
                    ++labelPixels;
                }
            }
        }
        EXPECT_GT(labelPixels, 20);
    }
    // Nothing of the marks lies away from the arrivals.
    for (int y = 0; y < kSummaryMapHeightPx; ++y) {
        for (int x = 0; x < kSummaryWidthPx; ++x) {
            if (picture.pixelColor(map + QPoint(x, y)) == withoutArrivals.pixelColor(map + QPoint(x, y))) continue;
            const bool nearOne = std::any_of(places.begin(), places.end(), [&](const Place& p) {
                const double dx = std::min({std::fabs(x - p.xPx), std::fabs(x - p.xPx - kSummaryWidthPx),
                                            std::fabs(x - p.xPx + kSummaryWidthPx)});
                return dx <= p.radiusPx + 100 && std::fabs(y - p.yPx) <= p.radiusPx + 20;
            });
            ASSERT_TRUE(nearOne) << "pixel " << x << "," << y << " changed far from every arrival";
        }
    }
}

TEST(SummaryPicture, TheReflectogramHasOneStemPerArrivalAtItsTime)
{
    const DemoRun run = DemoRunWithArrivals();
    const QImage picture = RenderSummary(run.input);
    const QRect area = LayoutSummary(false).reflectogram;
    const AxisTicks time = ReflectogramTimeAxis(run.input.results.arrivals);
    const PlotMarginsPx margins = kReflectogramMarginsPx;
    const int boxWidthPx = area.width() - margins.left - margins.right - 1;
    const int boxBottom = area.bottom() - margins.bottom;  // the level axis's floor
    const int row = boxBottom - 3;

    ASSERT_EQ(run.input.results.arrivals.size(), demo::DemoArrivals(demo::DemoRoom{}).size());
    for (const Arrival& a : run.input.results.arrivals) {
        SCOPED_TRACE(a.timeMs);
        const double xPx = area.left() + margins.left + (a.timeMs - time.from) / (time.to - time.from) * boxWidthPx;
        EXPECT_EQ(picture.pixelColor(static_cast<int>(std::floor(xPx)), row), AzimuthColour(a.azDeg));
    }
    // Across the plot just above its floor: as many coloured stems as arrivals.
    int stems = 0;
    bool inStem = false;
    for (int x = area.left() + margins.left; x < area.right() - margins.right; ++x) {
        const bool coloured = IsColoured(picture.pixelColor(x, row));
        if (coloured && !inStem) ++stems;
        inStem = coloured;
    }
    EXPECT_EQ(stems, static_cast<int>(run.input.results.arrivals.size()));
}

TEST(SummaryPicture, TheTopViewShowsTheDirectSoundFromItsSide)
{
    const DemoRun run = DemoRunWithArrivals();
    const QImage picture = RenderSummary(run.input);
    const QRect area = LayoutSummary(false).topView;
    const TopViewGeometry g = TopViewGeometryFor(area.width(), area.height());
    const Arrival& direct = run.input.results.arrivals.front();
    ASSERT_GT(direct.azDeg, 10);  // the demo's loudspeaker stands front left
    // A point of a line towards azDeg, beyond where the reflections' lines end.
    auto along = [&](double azDeg) {
        const double reach = 0.9 * g.radiusPx;
        const double azRad = azDeg * kPi / 180;
        return picture.pixelColor(static_cast<int>(std::floor(area.left() + g.centreXPx - std::sin(azRad) * reach)),
                                  static_cast<int>(std::floor(area.top() + g.centreYPx - std::cos(azRad) * reach)));
    };
    EXPECT_EQ(along(direct.azDeg), AzimuthColour(direct.azDeg));
    EXPECT_NE(along(-direct.azDeg), AzimuthColour(direct.azDeg)) << "left and right swapped";
    EXPECT_NE(along(180 - direct.azDeg), AzimuthColour(direct.azDeg)) << "front and back swapped";
}

TEST(SummaryPicture, TheDecayPlotComesOnlyWithRoomParameters)
{
    DemoRun run = DemoRunWithArrivals();
    EXPECT_EQ(RenderSummary(run.input).size(), LayoutSummary(false, false).picture);
    EXPECT_TRUE(LayoutSummary(false).decayPlot.isEmpty());

    run.input.results.roomParameters = ComputeRoomParameters(run.signal);
    const QImage picture = RenderSummary(run.input);
    ASSERT_EQ(picture.size(), LayoutSummary(true, false).picture);
    const QRect area = LayoutSummary(true).decayPlot;
    const PlotMarginsPx margins = kDecayPlotMarginsPx;
    const QRect box(area.left() + margins.left, area.top() + margins.top, area.width() - margins.left - margins.right,
                    area.height() - margins.top - margins.bottom);
    // Every band's curve is drawn in the plot in its colour.
    for (const BandParameters& band : run.input.results.roomParameters) {
        SCOPED_TRACE(band.band);
        ASSERT_FALSE(band.decay.timeS.empty());
        int pixels = 0;
        for (int y = box.top() + 1; y < box.bottom(); ++y) {
            for (int x = box.left() + 1; x < box.right(); ++x)
                pixels += picture.pixelColor(x, y) == BandColour(band.nominalHz);
        }
        EXPECT_GT(pixels, 30);
    }
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
