// The picture surfaces: user scales, pen modes on real pixels, clearing with
// a background picture, circles and text, and the map's placeholder.
#include <QtTest>

#include <memory>

#include "display/DrawingSurface.h"
#include "display/PictureBoxes.h"
#include "display/PlaceholderPicture.h"
#include "display/UserScale.h"

using namespace halvane;

namespace {

QRgb Pixel(const DrawingSurface& surface, int column, int row)
{
    return surface.Image().pixel(column, row) | 0xff000000u;
}

bool ColumnHasColour(const QImage& image, int column, QRgb colour)
{
    for (int row = 0; row < image.height(); ++row) {
        if ((image.pixel(column, row) | 0xff000000u) == colour) {
            return true;
        }
    }
    return false;
}

bool RowHasColour(const QImage& image, int row, QRgb colour)
{
    for (int column = 0; column < image.width(); ++column) {
        if ((image.pixel(column, row) | 0xff000000u) == colour) {
            return true;
        }
    }
    return false;
}

}  // namespace

class DrawingSurfaceTest : public QObject {
    Q_OBJECT

private slots:
    void userScaleMapsEdges_data();
    void userScaleMapsEdges();
    void stripLevelsStayAtTheEdgesWhateverTheTimeScale_data();
    void stripLevelsStayAtTheEdgesWhateverTheTimeScale();
    void pressPositionReadsBackInUserUnits();
    void zeroWidthScaleDrawsNothing();
    void boxWithFarOffCornersKeepsItsVisiblePart();

    void boxAndLineInEachPenMode_data();
    void boxAndLineInEachPenMode();
    void xorDrawnTwiceRestoresThePlaceholder();
    void circleOutlineIsCombinedOnceWithThePixels();
    void clearKeepsTheBackgroundPicture();
    void backgroundPictureIsClippedAtTheTopLeft();
    void smallerBackgroundLeavesTheBackColour();

    void unitCircleOnThePolarViewReachesEveryEdge();
    void circleRadiusIsInHorizontalUnits();
    void circlesFarLargerThanTheArea();
    void printPlacesTheTextAndMovesToTheNextLine();

    void placeholderGridLinesAtTheStatedPlaces();
    void placeholderTextLiesInsideTheSeenPart();
};

void DrawingSurfaceTest::userScaleMapsEdges_data()
{
    QTest::addColumn<double>("left");
    QTest::addColumn<double>("top");
    QTest::addColumn<double>("width");
    QTest::addColumn<double>("height");
    QTest::addColumn<QSize>("area");
    QTest::addColumn<QPointF>("user");
    QTest::addColumn<QPointF>("pixel");
    QTest::addColumn<QPoint>("cell");

    const QSize map(957, 477);
    const QSize polar(224, 226);
    QTest::newRow("map centre: azimuth 0, elevation 0")
        << 180.0 << 90.0 << -360.0 << -180.0 << map << QPointF(0, 0) << QPointF(478.5, 238.5) << QPoint(478, 238);
    QTest::newRow("map azimuth +90 left of the centre")
        << 180.0 << 90.0 << -360.0 << -180.0 << map << QPointF(90, 0) << QPointF(239.25, 238.5) << QPoint(239, 238);
    QTest::newRow("map azimuth -90 right of the centre")
        << 180.0 << 90.0 << -360.0 << -180.0 << map << QPointF(-90, 0) << QPointF(717.75, 238.5) << QPoint(717, 238);
    QTest::newRow("map top-left corner") << 180.0 << 90.0 << -360.0 << -180.0 << map << QPointF(180, 90)
                                         << QPointF(0, 0) << QPoint(0, 0);
    QTest::newRow("map bottom-right corner is the last pixel")
        << 180.0 << 90.0 << -360.0 << -180.0 << map << QPointF(-180, -90) << QPointF(957, 477) << QPoint(956, 476);
    QTest::newRow("polar left edge") << -1.0 << 1.0 << 2.0 << -2.0 << polar << QPointF(-1, 0) << QPointF(0, 113)
                                     << QPoint(0, 113);
    QTest::newRow("polar right edge") << -1.0 << 1.0 << 2.0 << -2.0 << polar << QPointF(1, 0) << QPointF(224, 113)
                                      << QPoint(223, 113);
    QTest::newRow("polar top edge") << -1.0 << 1.0 << 2.0 << -2.0 << polar << QPointF(0, 1) << QPointF(112, 0)
                                    << QPoint(112, 0);
    QTest::newRow("polar bottom edge") << -1.0 << 1.0 << 2.0 << -2.0 << polar << QPointF(0, -1) << QPointF(112, 226)
                                       << QPoint(112, 225);
}

void DrawingSurfaceTest::userScaleMapsEdges()
{
    QFETCH(double, left);
    QFETCH(double, top);
    QFETCH(double, width);
    QFETCH(double, height);
    QFETCH(QSize, area);
    QFETCH(QPointF, user);
    QFETCH(QPointF, pixel);
    QFETCH(QPoint, cell);
    const UserScale scale{left, top, width, height, area.width(), area.height()};
    QCOMPARE(scale.ToPixelX(user.x()), pixel.x());
    QCOMPARE(scale.ToPixelY(user.y()), pixel.y());
    QCOMPARE(scale.ColumnOf(user.x()).value_or(-99), cell.x());
    QCOMPARE(scale.RowOf(user.y()).value_or(-99), cell.y());
}

void DrawingSurfaceTest::stripLevelsStayAtTheEdgesWhateverTheTimeScale_data()
{
    QTest::addColumn<double>("skipMs");
    QTest::addColumn<double>("displayWindowMs");
    QTest::newRow("first second") << 0.0 << 1000.0;
    QTest::newRow("skip 20, 300 ms") << 20.0 << 300.0;
    QTest::newRow("fractional, short") << 12.5 << 7.25;
    QTest::newRow("long file") << 250000.0 << 60000.0;
}

void DrawingSurfaceTest::stripLevelsStayAtTheEdgesWhateverTheTimeScale()
{
    QFETCH(double, skipMs);
    QFETCH(double, displayWindowMs);
    std::unique_ptr<DrawingSurface> strip(CreateTimeStrip(nullptr));
    strip->SetHorizontalScale(skipMs, displayWindowMs);
    const UserScale& scale = strip->Scale();
    QCOMPARE(strip->DrawingAreaSize(), QSize(957, 181));
    QCOMPARE(scale.RowOf(100).value_or(-1), 0);
    QCOMPARE(scale.RowOf(40).value_or(-1), 180);
    QCOMPARE(scale.ColumnOf(skipMs).value_or(-1), 0);
    QCOMPARE(scale.ColumnOf(skipMs + displayWindowMs).value_or(-1), 956);
    // One vertical unit is 181 / 60 px whatever the horizontal scale.
    QCOMPARE(scale.ToPixelY(80) - scale.ToPixelY(100), 20 * 181.0 / 60.0);
}

void DrawingSurfaceTest::pressPositionReadsBackInUserUnits()
{
    std::unique_ptr<DrawingSurface> strip(CreateTimeStrip(nullptr));
    strip->SetHorizontalScale(20, 957);  // one ms per pixel
    float pressedX = -1;
    float pressedY = -1;
    connect(strip.get(), &DrawingSurface::Pressed, [&](float x, float y) {
        pressedX = x;
        pressedY = y;
    });
    // Pixel column 100 of the drawing area lies 2 px further right in the box.
    QTest::mousePress(strip.get(), Qt::RightButton, Qt::ShiftModifier, QPoint(100 + 2, 0 + 2));
    QCOMPARE(pressedX, 120.0f);
    QCOMPARE(pressedY, 100.0f);
}

void DrawingSurfaceTest::zeroWidthScaleDrawsNothing()
{
    std::unique_ptr<DrawingSurface> strip(CreateTimeStrip(nullptr));
    strip->SetHorizontalScale(0, 0);
    const QImage before = strip->Image();
    strip->Box(0, 0, 5, 80, Qt::blue);
    strip->Line(0, 60, 10, 60, Qt::gray);
    strip->Circle(0, 60, 3, Qt::black);
    QCOMPARE(strip->Image(), before);
}

void DrawingSurfaceTest::boxWithFarOffCornersKeepsItsVisiblePart()
{
    // A stretch of a nanosecond: the bar of the window under it reaches
    // billions of pixels to either side, and a level far above the top.
    std::unique_ptr<DrawingSurface> strip(CreateTimeStrip(nullptr));
    strip->SetHorizontalScale(1000, 1e-6f);
    strip->Box(0, 0, 5000, 1e30f, QColor(0, 0, 255));
    QCOMPARE(Pixel(*strip, 0, 0), qRgb(0, 0, 255));
    QCOMPARE(Pixel(*strip, 956, 180), qRgb(0, 0, 255));
    strip->Box(-INFINITY, 50, INFINITY, -INFINITY, QColor(48, 32, 32));
    QCOMPARE(Pixel(*strip, 500, 170), qRgb(48, 32, 32));
    QCOMPARE(Pixel(*strip, 500, 10), qRgb(0, 0, 255));
    const QImage before = strip->Image();
    strip->Box(NAN, 50, 10, 60, Qt::red);
    QCOMPARE(strip->Image(), before);
}

void DrawingSurfaceTest::boxAndLineInEachPenMode_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QRgb>("expected");
    // Pen 0x123456 over the polar view's white and over a 0x0f0f0f box.
    QTest::newRow("copy replaces") << static_cast<int>(PenMode::Copy) << QRgb(0xff123456);
    QTest::newRow("merge is the bitwise OR") << static_cast<int>(PenMode::Merge) << QRgb(0xff1f3f5f);
    QTest::newRow("xor is the bitwise exclusive OR") << static_cast<int>(PenMode::Xor) << QRgb(0xff1d3b59);
}

void DrawingSurfaceTest::boxAndLineInEachPenMode()
{
    QFETCH(int, mode);
    QFETCH(QRgb, expected);
    std::unique_ptr<DrawingSurface> polar(CreatePolarView(nullptr));
    polar->Box(-0.5f, 0.5f, 0.5f, -0.5f, QColor(0x0f, 0x0f, 0x0f));
    polar->SetPenMode(static_cast<PenMode>(mode));
    polar->Box(-0.2f, 0.2f, 0.2f, -0.2f, QColor(0x12, 0x34, 0x56));
    polar->Line(-0.9f, -0.8f, 0.9f, -0.8f, QColor(0x12, 0x34, 0x56));
    QCOMPARE(Pixel(*polar, 112, 113), expected);
    // The line over white: copy and merge give the pen (white | pen is white for merge).
    const QRgb overWhite = static_cast<PenMode>(mode) == PenMode::Copy    ? 0xff123456
                           : static_cast<PenMode>(mode) == PenMode::Merge ? 0xffffffff
                                                                          : 0xffedcba9;
    const int row = *polar->Scale().RowOf(-0.8f);
    QCOMPARE(Pixel(*polar, 20, row), overWhite);
    QCOMPARE(Pixel(*polar, 20, row - 1), 0xffffffffu);
}

void DrawingSurfaceTest::xorDrawnTwiceRestoresThePlaceholder()
{
    std::unique_ptr<DrawingSurface> map(CreateDirectionMap(nullptr));
    const QImage original = map->Image();
    map->SetPenMode(PenMode::Xor);
    map->SetSolidFill(true);
    map->SetFillColour(QColor(37, 176, 189));
    map->SetLineWidth(3);
    auto figure = [&] {
        map->Circle(10, 5, 40, QColor(200, 200, 0));
        map->Circle(175, 0, 20, QColor(255, 0, 0));  // partly off the left edge
        map->Line(-5, 5, 5, -5, QColor(255, 0, 0));
        map->Box(-30, -40, 60, 20, QColor(255, 0, 0));  // overlaps the circle
    };
    figure();
    QVERIFY(map->Image() != original);
    figure();
    QCOMPARE(map->Image(), original);
}

void DrawingSurfaceTest::circleOutlineIsCombinedOnceWithThePixels()
{
    // Outline pixels carry the outline colour alone, not outline and fill.
    std::unique_ptr<DrawingSurface> polar(CreatePolarView(nullptr));
    polar->Box(-1, 1, 1, -1, QColor(0, 0, 0));
    polar->SetPenMode(PenMode::Merge);
    polar->SetSolidFill(true);
    polar->SetFillColour(QColor(0, 0, 255));
    polar->Circle(0, 0, 0.5f, QColor(255, 255, 0));
    const QImage& image = polar->Image();
    bool sawOutline = false;
    for (int column = 0; column < image.width(); ++column) {
        const QRgb pixel = image.pixel(column, 113) | 0xff000000u;
        QVERIFY2(pixel == 0xff000000u || pixel == 0xff0000ffu || pixel == 0xffffff00u,
                 qPrintable(QString::number(pixel, 16)));
        sawOutline = sawOutline || pixel == 0xffffff00u;
    }
    QVERIFY(sawOutline);
    QCOMPARE(Pixel(*polar, 112, 113), 0xff0000ffu);
    // The interior never leaks past the outline, across or down.
    for (int line = 80; line <= 140; line += 5) {
        int first = -1, last = -1, firstDown = -1, lastDown = -1;
        for (int i = 0; i < 224; ++i) {
            if ((image.pixel(i, line) & 0xffffff) != 0) {
                first = first < 0 ? i : first;
                last = i;
            }
            if ((image.pixel(line, i) & 0xffffff) != 0) {
                firstDown = firstDown < 0 ? i : firstDown;
                lastDown = i;
            }
        }
        QCOMPARE(image.pixel(first, line) | 0xff000000u, 0xffffff00u);
        QCOMPARE(image.pixel(last, line) | 0xff000000u, 0xffffff00u);
        QCOMPARE(image.pixel(line, firstDown) | 0xff000000u, 0xffffff00u);
        QCOMPARE(image.pixel(line, lastDown) | 0xff000000u, 0xffffff00u);
    }
}

void DrawingSurfaceTest::clearKeepsTheBackgroundPicture()
{
    std::unique_ptr<DrawingSurface> map(CreateDirectionMap(nullptr));
    const QImage placeholderOnly = map->Image();
    // Every kind of figure, in every pen mode, some partly off the area.
    for (const PenMode mode : {PenMode::Copy, PenMode::Merge, PenMode::Xor}) {
        map->SetPenMode(mode);
        map->SetSolidFill(true);
        map->SetLineWidth(mode == PenMode::Copy ? 1 : 5);
        map->Circle(0, 0, 30, Qt::red);
        map->Circle(178, 88, 20, Qt::yellow);
        map->Line(-170, -80, 170, 85, Qt::green);
        map->Box(-100, 10, -200, 40, Qt::blue);
        map->SetCurrentPosition(100, 50);
        map->Print(QStringLiteral("1000 jgy,Wq"));
        map->SetCurrentPosition(-178, -84);
        map->Print(QStringLiteral("Wj"));
        map->Clear();
        QCOMPARE(map->Image(), placeholderOnly);
    }
    QCOMPARE(map->CurrentX(), 0.0f);
    // What the widget shows is the image.
    map->show();
    map->Circle(20, 20, 10, Qt::red);
    QCoreApplication::processEvents();
    map->Clear();
    map->Box(0, 0, 30, 30, Qt::white);
    const QImage shown = map->grab().toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(shown.copy(DrawingSurface::BorderPx, DrawingSurface::BorderPx, 957, 477), map->Image());
}

void DrawingSurfaceTest::backgroundPictureIsClippedAtTheTopLeft()
{
    std::unique_ptr<DrawingSurface> map(CreateDirectionMap(nullptr));
    const QImage placeholder = MakePlaceholderPicture();
    QCOMPARE(placeholder.size(), QSize(1200, 600));
    QCOMPARE(map->Image(), placeholder.copy(0, 0, 957, 477).convertToFormat(map->Image().format()));

    QImage other(1200, 600, QImage::Format_RGB32);
    other.fill(qRgb(10, 20, 30));
    other.setPixel(956, 476, qRgb(200, 0, 0));
    other.setPixel(957, 477, qRgb(0, 200, 0));
    map->SetBackgroundPicture(other);
    map->Clear();
    QCOMPARE(Pixel(*map, 0, 0), qRgb(10, 20, 30));
    QCOMPARE(Pixel(*map, 956, 476), qRgb(200, 0, 0));
}

void DrawingSurfaceTest::smallerBackgroundLeavesTheBackColour()
{
    std::unique_ptr<DrawingSurface> map(CreateDirectionMap(nullptr));
    QImage small(100, 50, QImage::Format_RGB32);
    small.fill(qRgb(1, 2, 3));
    map->SetBackgroundPicture(small);
    map->Clear();
    QCOMPARE(Pixel(*map, 99, 49), qRgb(1, 2, 3));
    QVERIFY(Pixel(*map, 100, 49) != qRgb(1, 2, 3));
    QCOMPARE(Pixel(*map, 100, 49), Pixel(*map, 956, 476));
}

void DrawingSurfaceTest::unitCircleOnThePolarViewReachesEveryEdge()
{
    std::unique_ptr<DrawingSurface> polar(CreatePolarView(nullptr));
    polar->Circle(0, 0, 1);
    const QImage& image = polar->Image();
    const QRgb black = 0xff000000u;
    QVERIFY(ColumnHasColour(image, 0, black));
    QVERIFY(ColumnHasColour(image, 223, black));
    // The radius is 112 px (horizontal units) in an area 226 px high: the
    // circle stays round and comes within a pixel of the top and bottom.
    QVERIFY(RowHasColour(image, 0, black) || RowHasColour(image, 1, black));
    QVERIFY(RowHasColour(image, 225, black) || RowHasColour(image, 224, black));
    QCOMPARE(Pixel(*polar, 112, 113), 0xffffffffu);  // hollow by default
}

void DrawingSurfaceTest::circleRadiusIsInHorizontalUnits()
{
    // On the map 10 horizontal degrees are 26.6 px; a 10-degree circle is as
    // tall as it is wide although vertical degrees are 2.65 px.
    std::unique_ptr<DrawingSurface> map(CreateDirectionMap(nullptr));
    QImage black(957, 477, QImage::Format_RGB32);
    black.fill(Qt::black);
    map->SetBackgroundPicture(black);
    map->Clear();
    map->Circle(0, 0, 10, Qt::white);
    const QImage& image = map->Image();
    int top = -1, bottom = -1, left = -1, right = -1;
    for (int row = 0; row < image.height(); ++row) {
        for (int column = 0; column < image.width(); ++column) {
            if ((image.pixel(column, row) & 0xffffff) != 0) {
                top = top < 0 ? row : top;
                bottom = row;
                left = left < 0 ? column : std::min(left, column);
                right = std::max(right, column);
            }
        }
    }
    const double diameterPx = 20 * 957.0 / 360.0;
    QVERIFY2(std::abs((right - left + 1) - diameterPx) <= 2, qPrintable(QString::number(right - left + 1)));
    QVERIFY2(std::abs((bottom - top + 1) - diameterPx) <= 2, qPrintable(QString::number(bottom - top + 1)));
}

void DrawingSurfaceTest::circlesFarLargerThanTheArea()
{
    std::unique_ptr<DrawingSurface> polar(CreatePolarView(nullptr));
    polar->SetSolidFill(true);
    polar->SetFillColour(QColor(1, 2, 3));
    // The area lies inside: all interior, the outline far outside.
    polar->Circle(0, 0, 1e30f, Qt::red);
    QCOMPARE(Pixel(*polar, 0, 0), qRgb(1, 2, 3));
    QCOMPARE(Pixel(*polar, 223, 225), qRgb(1, 2, 3));
    // Centred 1000 units (112 000 px) to the right, its edge at column 202.
    polar->SetFillColour(QColor(9, 9, 9));
    polar->Circle(1000, 0, 999.2f, Qt::red);
    QCOMPARE(Pixel(*polar, 202, 113), qRgb(255, 0, 0));
    QCOMPARE(Pixel(*polar, 201, 113), qRgb(1, 2, 3));
    QCOMPARE(Pixel(*polar, 210, 113), qRgb(9, 9, 9));
    // Hollow: nothing of a circle around the whole area shows.
    polar->SetSolidFill(false);
    const QImage before = polar->Image();
    polar->Circle(0, 0, 1e30f, Qt::red);
    polar->Circle(0, 0, INFINITY, Qt::red);
    polar->Circle(NAN, 0, 1, Qt::red);
    polar->Circle(0, 0, -1, Qt::red);
    QCOMPARE(polar->Image(), before);
}

void DrawingSurfaceTest::printPlacesTheTextAndMovesToTheNextLine()
{
    std::unique_ptr<DrawingSurface> polar(CreatePolarView(nullptr));
    polar->SetCurrentPosition(-0.5f, 0.5f);
    polar->Print(QStringLiteral("x"));
    const int column = *polar->Scale().ColumnOf(-0.5f);
    const int row = *polar->Scale().RowOf(0.5f);
    const QImage& image = polar->Image();
    int inked = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if ((image.pixel(x, y) | 0xff000000u) != 0xffffffffu) {
                QVERIFY2(x >= column && y >= row, "text lies above or left of its position");
                ++inked;
            }
        }
    }
    QVERIFY(inked > 0);
    // The next line starts at the scale's left edge, one line height lower.
    QCOMPARE(polar->CurrentX(), -1.0f);
    const double lineHeightUnits = QFontMetrics(polar->font()).height() * 2.0 / 226.0;
    QVERIFY(std::abs(polar->CurrentY() - (0.5 - lineHeightUnits)) < 1e-6);
}

void DrawingSurfaceTest::placeholderGridLinesAtTheStatedPlaces()
{
    const QImage picture = MakePlaceholderPicture();
    const int row = 75;  // between grid lines, above the text
    for (int x = 0; x < 1200; x += 150) {
        QCOMPARE(picture.pixel(x, row), PlaceholderGridRgb);
        QCOMPARE(picture.pixel(x + 1, row), PlaceholderFieldRgb);
    }
    for (int y = 0; y < 600; y += 150) {
        QCOMPARE(picture.pixel(75, y), PlaceholderGridRgb);
        QCOMPARE(picture.pixel(75, y + 1), PlaceholderFieldRgb);
    }
    // No line along the right and bottom edges.
    QCOMPARE(picture.pixel(1199, row), PlaceholderFieldRgb);
    QCOMPARE(picture.pixel(75, 599), PlaceholderFieldRgb);
}

void DrawingSurfaceTest::placeholderTextLiesInsideTheSeenPart()
{
    const QImage picture = MakePlaceholderPicture();
    QRect inked;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            const QRgb pixel = picture.pixel(x, y);
            if (pixel != PlaceholderFieldRgb && pixel != PlaceholderGridRgb) {
                inked |= QRect(x, y, 1, 1);
            }
        }
    }
    QVERIFY(!inked.isEmpty());
    QVERIFY2(
        QRect(0, 0, 957, 477).contains(inked),
        qPrintable(
            QStringLiteral("%1 %2 %3 %4").arg(inked.left()).arg(inked.top()).arg(inked.right()).arg(inked.bottom())));
    // Two lines about the centre (600, 300), letters about 60 px high.
    QVERIFY(std::abs(inked.center().x() - 600) <= 10);
    QVERIFY(std::abs(inked.center().y() - 300) <= 15);
    QVERIFY(inked.height() >= 110 && inked.height() <= 190);
}

QTEST_MAIN(DrawingSurfaceTest)
#include "tst_DrawingSurface.moc"
