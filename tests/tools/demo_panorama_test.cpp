// The demo panorama: the equirectangular mapping and what lands where.

#include "demo/DemoPanorama.h"

#include <QGuiApplication>

#include <gtest/gtest.h>

namespace halvane::testing {
namespace {

TEST(DemoPanorama, MapsDirectionsToPixels)
{
    struct Case {
        const char* name;
        double azDeg, elDeg, xPx, yPx;
    };
    const std::vector<Case> cases = {
        {"left edge, top", 180, 90, 0, 0},           {"centre", 0, 0, 480, 240},
        {"right edge, bottom", -180, -90, 960, 480}, {"left", 90, 30, 240, 160},
        {"right, down", -90, -45, 720, 360},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_DOUBLE_EQ(demo::PanoramaXPx(c.azDeg), c.xPx);
        EXPECT_DOUBLE_EQ(demo::PanoramaYPx(c.elDeg), c.yPx);
    }
}

TEST(DemoPanorama, SourceAndEdgesLandWhereTheRoomPutsThem)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int argc = 1;
    char name[] = "tools_tests";
    char* argv[] = {name, nullptr};
    QGuiApplication application(argc, argv);

    const demo::DemoRoom room;
    const auto arrivals = demo::DemoArrivals(room);
    const QImage image = demo::PaintDemoPanorama(room, arrivals);
    ASSERT_EQ(image.width(), 960);
    ASSERT_EQ(image.height(), 480);

    // The source marker's fill where the direct sound comes from.
    const auto& direct = arrivals.front();
    const QColor source = image.pixelColor(static_cast<int>(demo::PanoramaXPx(direct.azDeg)),
                                           static_cast<int>(demo::PanoramaYPx(direct.elDeg)));
    EXPECT_GT(source.red(), 180);
    EXPECT_LT(source.green(), 80);

    // The edge between front wall and floor, looking 15 degrees right: the floor is 3 m down
    // at 17 / cos(15) m, so the edge lies atan(3 / 17.6) = 9.7 degrees below the horizon.
    const int xPx = static_cast<int>(demo::PanoramaXPx(-15));
    const int edgeYPx = static_cast<int>(demo::PanoramaYPx(-9.67));
    int darkest = 255;
    for (int y = edgeYPx - 2; y <= edgeYPx + 2; ++y) darkest = std::min(darkest, image.pixelColor(xPx, y).value());
    EXPECT_LE(darkest, 40);
    // Off the edge the front wall and the floor differ in colour.
    EXPECT_NE(image.pixelColor(xPx, edgeYPx - 8), image.pixelColor(xPx, edgeYPx + 8));
}

}  // namespace
}  // namespace halvane::testing
