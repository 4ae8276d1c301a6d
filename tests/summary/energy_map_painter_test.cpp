#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include <cmath>

#include "display/maps/ArrivalRings.h"
#include "display/maps/EnergyMapPainter.h"
#include "display/maps/MapColours.h"
#include "values/MapGrid.h"

namespace halvane {
namespace {

// Sets the 5 x 5 cells about a direction to levelDb: a spot 10 degrees
// across, whose middle is drawn in its own colour however the cells are smoothed.
void SetSpot(EnergyMap& map, double azDeg, double elDeg, double levelDb)
{
    for (int dAz = -4; dAz <= 4; dAz += 2) {
        for (int dEl = -4; dEl <= 4; dEl += 2) map.levelDb[MapCellOf(azDeg + dAz, elDeg + dEl)] = levelDb;
    }
}

// A map at -60 dB everywhere (below any range) but for one spot at levelDb.
EnergyMap OneCellMap(double azDeg, double elDeg, double levelDb)
{
    EnergyMap map;
    map.range = {"early", 5, 80};
    map.toMs = 80;
    map.levelDb.assign(kMapCells, -60);
    SetSpot(map, azDeg, elDeg, levelDb);
    return map;
}

// The pixel at a direction of a map drawn over the whole of an image.
QColor PixelAt(const QImage& image, double azDeg, double elDeg)
{
    const double x = (180 - azDeg) / 360 * image.width();
    const double y = (90 - elDeg) / 180 * image.height();
    return image.pixelColor(static_cast<int>(x), static_cast<int>(y));
}

QImage Painted(const EnergyMapPanel& panel, const EnergyMapStyle& style, QSize size = QSize(720, 360))
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    PaintEnergyMap(painter, QRectF(QPointF(0, 0), QSizeF(size)), panel, style);
    return image;
}

int Distance(QColor a, QColor b)
{
    return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue());
}

TEST(EnergyMapColours, TheSameDbIsTheSameColourOnAFixedScale)
{
    const struct {
        double levelDb, rangeDb, fraction;
    } rows[] = {
        {0, 35, 1},
        {-35, 35, 0},
        {-17.5, 35, 0.5},
        {-10, 20, 0.5},
        {3, 35, 3 / 35.0 + 1},
        {-50, 35, 1 - 50 / 35.0},
        {-10, 0, 1 - 10 / 35.0},  // a range that is no range counts as the default
    };
    for (const auto& row : rows) {
        EXPECT_DOUBLE_EQ(MapLevelFraction(row.levelDb, row.rangeDb), row.fraction) << row.levelDb << " " << row.rangeDb;
    }
    EXPECT_EQ(MapLevelColour(0, 35), QColor(253, 231, 37));
    EXPECT_EQ(MapLevelColour(-35, 35), QColor(68, 1, 84));
    EXPECT_EQ(MapLevelColour(-80, 35), MapLevelColour(-35, 35));
    EXPECT_EQ(MapLevelColour(std::nan(""), 35), ViridisColour(0));

    // Two maps whose peaks differ: a cell at -12 dB has one colour in both.
    const EnergyMap loud = OneCellMap(30, 10, 0);
    EnergyMap soft = OneCellMap(30, 10, -20);
    SetSpot(soft, -100, -40, -12);
    EnergyMap other = loud;
    SetSpot(other, -100, -40, -12);
    const QImage a = Painted({&soft, "", {}}, {});
    const QImage b = Painted({&other, "", {}}, {});
    EXPECT_EQ(PixelAt(a, -101, -41), PixelAt(b, -101, -41));
    EXPECT_LT(Distance(PixelAt(a, -101, -41), MapLevelColour(-12, 35)), 12);
}

TEST(EnergyMapPainter, DrawsInTheWindowsConventionWithTheGridAndHollowRings)
{
    // +90 (the left) lies in the left half, +180 at the left edge.
    const EnergyMap left = OneCellMap(91, 11, 0);
    const QImage image = Painted({&left, "", {}}, {});
    EXPECT_LT(Distance(PixelAt(image, 91, 11), ViridisColour(1)), 12);
    EXPECT_LT(Distance(PixelAt(image, -91, 11), ViridisColour(0)), 12);
    EXPECT_LT(Distance(PixelAt(image, 100, -50), ViridisColour(0)), 12);
    // Grid lines every 30 degrees are lighter than the field beside them; none between.
    for (const double az : {150.0, 60.0, 0.0, -120.0}) {
        EXPECT_GT(PixelAt(image, az, -50).lightness(), PixelAt(image, az + 4, -50).lightness() + 20) << az;
    }
    EXPECT_EQ(PixelAt(image, 45, -50), PixelAt(image, 49, -50));

    // A ring about an arrival leaves its inside as it was.
    Arrival arrival;
    arrival.azDeg = 91;
    arrival.elDeg = 11;
    arrival.levelDb = 0;
    const QImage ringed = Painted({&left, "", {arrival}}, {});
    EXPECT_EQ(PixelAt(ringed, 91, 11), PixelAt(image, 91, 11));
    EXPECT_EQ(PixelAt(ringed, 91 + 0.5 * kLargestArrivalMarkDeg, 11),
              PixelAt(image, 91 + 0.5 * kLargestArrivalMarkDeg, 11));
    // ... and is seen on its radius (dark outside, white inside).
    const double ringDeg = kLargestArrivalMarkDeg;
    EXPECT_GT(Distance(PixelAt(ringed, 91 - ringDeg + 0.3, 11), PixelAt(image, 91 - ringDeg + 0.3, 11)), 60);
}

TEST(EnergyMapPainter, ANameLabelsItsRingBesideItAndNowhereElse)
{
    const EnergyMap map = OneCellMap(91, 11, 0);
    Arrival arrival;
    arrival.azDeg = 91;
    arrival.elDeg = 11;
    arrival.levelDb = 0;
    const QImage ringed = Painted({&map, "", {arrival}}, {});
    const QImage named = Painted({&map, "", {arrival}, {QStringLiteral("ceiling")}}, {});
    // An empty name is no label.
    EXPECT_EQ(Painted({&map, "", {arrival}, {QString()}}, {}), ringed);
    // The name lies on its light box right of the ring (towards lower
    // azimuths), within a line of the ring's height, and nothing else changed.
    const double centreX = (180 - 91) / 360.0 * 720, centreY = (90 - 11) / 180.0 * 360;
    const double ringPx = kLargestArrivalMarkDeg * 2;
    int changed = 0, light = 0;
    for (int y = 0; y < 360; ++y) {
        for (int x = 0; x < 720; ++x) {
            if (named.pixel(x, y) == ringed.pixel(x, y)) continue;
            ++changed;
            ASSERT_TRUE(x > centreX + ringPx && x < centreX + ringPx + 120 && std::fabs(y - centreY) < 12)
                << "pixel " << x << "," << y << " changed away from the name's place";
            if (named.pixelColor(x, y).lightness() > 200) ++light;
        }
    }
    EXPECT_GT(changed, 200);
    EXPECT_GT(light, changed / 2) << "the box is light, the text dark on it";
}

TEST(EnergyMapPainter, ADifferenceMapIsRedAboveBlueBelowNeutralAtZeroAndGreyWhereMasked)
{
    const auto& stops = DivergingStops();
    EXPECT_EQ(DifferenceColour(10), stops.back());
    EXPECT_EQ(DifferenceColour(25), stops.back());
    EXPECT_EQ(DifferenceColour(-10), stops.front());
    EXPECT_EQ(DifferenceColour(0), stops[kDivergingStops / 2]);
    EXPECT_EQ(DifferenceColour(std::nan("")), kMaskedCellColour);
    EXPECT_GT(DifferenceColour(10).red(), DifferenceColour(10).blue() + 100);
    EXPECT_GT(DifferenceColour(-10).blue(), DifferenceColour(-10).red() + 100);
    for (const double db : {-10.0, -5.0, 0.0, 5.0, 10.0})
        EXPECT_GT(Distance(DifferenceColour(db), kMaskedCellColour), 60) << db << " dB reads as masked";

    // Drawn: each spot in its colour, the cells of neither (not-a-number) grey, over any photo.
    EnergyMap map = OneCellMap(0, 0, 0);
    map.levelDb.assign(kMapCells, std::nan(""));
    SetSpot(map, 90, 30, 10);
    SetSpot(map, -90, 30, -10);
    SetSpot(map, 0, -30, 0);
    EnergyMapStyle style;
    style.difference = true;
    style.background = QImage(720, 360, QImage::Format_RGB32);
    style.background.fill(Qt::green);
    const QImage image = Painted({&map, "", {}}, style);
    EXPECT_LT(Distance(PixelAt(image, 91, 31), DifferenceColour(10)), 12);
    EXPECT_LT(Distance(PixelAt(image, -89, 31), DifferenceColour(-10)), 12);
    EXPECT_LT(Distance(PixelAt(image, 1, -29), DifferenceColour(0)), 12);
    EXPECT_EQ(PixelAt(image, 145, -65), kMaskedCellColour);
}

TEST(EnergyMapPainter, AnyPanoramaIsScaledToTheMapAndShowsWhereThereIsNoEnergy)
{
    struct Row {
        const char* name;
        QSize size;
        bool fits;
    };
    const Row rows[] = {
        {"the window's 960 x 480", {960, 480}, true},
        {"1920 x 960", {1920, 960}, true},
        {"a pixel off", {4001, 2000}, true},
        {"4:3", {1000, 750}, false},
        {"square", {500, 500}, false},
        {"none", {0, 0}, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(BackgroundFitsMap(row.size), row.fits);
        EXPECT_EQ(BackgroundWarning(row.size).has_value(), !row.fits && !row.size.isEmpty());
    }
    EXPECT_TRUE(BackgroundWarning({1000, 750})->contains("1000 x 750"));

    // A 1920 x 960 panorama, red on its left half and blue on its right, fills the map.
    QImage panorama(1920, 960, QImage::Format_RGB32);
    panorama.fill(Qt::blue);
    QPainter(&panorama).fillRect(0, 0, 960, 960, Qt::red);
    EnergyMapStyle style;
    style.background = panorama;
    const EnergyMap map = OneCellMap(31, 11, 0);
    const QImage image = Painted({&map, "", {}}, style);
    // Below the range the photo is as it is; at the peak the map covers it mostly.
    EXPECT_EQ(PixelAt(image, 100, -50), QColor(Qt::red));
    EXPECT_EQ(PixelAt(image, -100, -50), QColor(Qt::blue));
    EXPECT_EQ(PixelAt(image, 170, 80), QColor(Qt::red));
    EXPECT_EQ(PixelAt(image, -170, -80), QColor(Qt::blue));
    EXPECT_LT(Distance(PixelAt(image, 31, 11), ViridisColour(1)), Distance(QColor(Qt::red), ViridisColour(1)) / 3);
}

TEST(EnergyMapPainter, TheColourBarTicksAreRoundValues)
{
    const struct {
        double rangeDb;
        std::vector<double> ticks;
    } rows[] = {
        {35, {-35, -30, -25, -20, -15, -10, -5, 0}}, {40, {-40, -35, -30, -25, -20, -15, -10, -5, 0}},
        {60, {-60, -50, -40, -30, -20, -10, 0}},     {25, {-25, -20, -15, -10, -5, 0}},
        {-3, {-35, -30, -25, -20, -15, -10, -5, 0}},
    };
    for (const auto& row : rows) EXPECT_EQ(DbColourBarTicks(row.rangeDb), row.ticks) << row.rangeDb;
}

TEST(EnergyMapPainter, ARangeShowsTheArrivalsInItAndTheLegendTheBeamsWidth)
{
    EnergyMap early = OneCellMap(0, 0, 0);
    std::vector<Arrival> arrivals(4);
    const double onsetMs = 10;
    const double times[] = {9.9, 14.9, 15, 89.9};  // direct (before the onset), direct, early, early
    for (std::size_t i = 0; i < arrivals.size(); ++i) arrivals[i].timeMs = times[i];
    EnergyMap direct = early;
    direct.range = {"direct", 0, 5};
    direct.toMs = 5;
    EXPECT_EQ(ArrivalsInRange(arrivals, direct, onsetMs).size(), 2u);
    const auto inEarly = ArrivalsInRange(arrivals, early, onsetMs);
    ASSERT_EQ(inEarly.size(), 2u);
    EXPECT_EQ(inEarly[0].timeMs, 15);

    EnergyMapSet set;
    set.maps = {direct, early};
    EXPECT_TRUE(EnergyMapLegend(set).contains(QStringLiteral("about 55")));
    set.estimator = MapEstimator::Histogram;
    set.spotWidthDeg = 4;
    EXPECT_TRUE(EnergyMapLegend(set).contains(QStringLiteral("4\u00B0 spot")));

    // A row of both maps uses the width, and no more height than it has.
    QImage image(1000, 400, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    const double used = PaintEnergyMapRow(painter, QRectF(0, 0, 1000, 400), {&set, arrivals, {}});
    EXPECT_GT(used, 200);
    EXPECT_LE(used, 400);
    EXPECT_EQ(PaintEnergyMapRow(painter, QRectF(0, 0, 1000, 400), {}), 0);
    // Three maps two a row take two rows of larger maps: more height, within the rectangle.
    set.maps.push_back(early);
    const double oneRow = PaintEnergyMapRow(painter, QRectF(0, 0, 1000, 2000), {&set, arrivals, {}});
    const double twoRows = PaintEnergyMapRow(painter, QRectF(0, 0, 1000, 2000), {&set, arrivals, {}, 2});
    EXPECT_GT(twoRows, 1.8 * oneRow);
    EXPECT_LE(twoRows, 2000);
}

}  // namespace
}  // namespace halvane
