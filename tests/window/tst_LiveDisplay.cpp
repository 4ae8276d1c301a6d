// What a run draws: the static diagrams and every live display step, checked
// on the pixels of offscreen surfaces and on the text box and meters.
#include <QtTest>

#include <QLineEdit>
#include <QSlider>

#include <cmath>
#include <memory>

#include "display/DrawingSurface.h"
#include "display/LiveDisplay.h"
#include "display/PictureBoxes.h"
#include "display/StaticDiagrams.h"

using namespace halvane;

namespace {

constexpr QRgb White = 0xffffffffu;
constexpr QRgb Black = 0xff000000u;

QRgb PixelAt(const DrawingSurface& surface, double x, double y)
{
    const auto column = surface.Scale().ColumnOf(x);
    const auto row = surface.Scale().RowOf(y);
    return surface.Image().pixel(*column, *row) | 0xff000000u;
}

// The surfaces and controls of the window, without the window.
struct Rig {
    explicit Rig(char decimalSeparator = '.')
        : strip(CreateTimeStrip(nullptr)), map(CreateDirectionMap(nullptr)), polar(CreatePolarView(nullptr)),
          display(*strip, *map, *polar, DisplayControls{&textBox, &pgX, &pgY, &pgZ, &idc}, decimalSeparator)
    {
        for (QSlider* meter : {&pgX, &pgY, &pgZ}) {
            meter->setRange(-100, 100);
        }
        idc.setRange(0, 100);
        idc.setValue(100);
    }

    // A run's set-up up to the direction pass.
    void StartDirectionPass(double skipMs = 0, double displayWindowMs = 1000)
    {
        display.DrawPolarDiagramOnActivation();
        display.PrepareDisplay(skipMs, displayWindowMs);
        display.DrawStripGrid(skipMs, displayWindowMs);
    }

    std::unique_ptr<DrawingSurface> strip;
    std::unique_ptr<DrawingSurface> map;
    std::unique_ptr<DrawingSurface> polar;
    QLineEdit textBox;
    QSlider pgX{Qt::Vertical};
    QSlider pgY{Qt::Vertical};
    QSlider pgZ{Qt::Vertical};
    QSlider idc{Qt::Vertical};
    LiveDisplay display;
};

// One window's view as the direction pass derives it from its sums.
DirectionView ViewOf(double ix, double iy, double iz, double de)
{
    DirectionView view;
    view.IntensityMagnitude = std::sqrt((ix * ix + iy * iy) + iz * iz);
    view.De = de;
    view.ShadeLevel = (view.IntensityMagnitude * 255) / de;
    view.Az = std::atan2(iy, ix) / 3.14159265358979 * 180;
    view.El = std::asin(iz / view.IntensityMagnitude) / 3.14159265358979 * 180;
    view.MapRadius = std::max(0.0, (std::log(5 * view.IntensityMagnitude) * 10) / std::log(10.0) + 30);
    view.Dx = (ix / view.IntensityMagnitude) * 0.999;
    view.Dy = (iy / view.IntensityMagnitude) * 0.999;
    view.Dz = (iz / view.IntensityMagnitude) * 0.999;
    view.PolarRadius = view.MapRadius / 100;
    return view;
}

}  // namespace

class LiveDisplayTest : public QObject {
    Q_OBJECT

private slots:
    void polarDiagramCirclesAndArrows();
    void polarDiagramAtActivationIgnoresTheRunsXorAndFill();
    void mapScaleLabels_data();
    void mapScaleLabels();
    void mapScaleTicksAndBoxes();

    void prepareDisplaySetsTheSurfaces();
    void levelBarsRiseFromTheBottomEdge();
    void stripGridAndMarkerRemovedBySecondDrawing();

    void planeWaveFromTheFront();
    void crossIsRedOverADarkBackground();
    void circleCrossingTheLeftEdgeIsCopiedToTheRight_data();
    void circleCrossingTheLeftEdgeIsCopiedToTheRight();
    void polarFillFollowsTheSignOfDz_data();
    void polarFillFollowsTheSignOfDz();
    void clearDirectionLeavesOnlyTheScale();
    void quietWindowHidesTheMetersAndStillShowsTheText();
    void azimuthTextUsesTheRegionalSeparator();
    void meterValues_data();
    void meterValues();
};

void LiveDisplayTest::polarDiagramCirclesAndArrows()
{
    Rig rig;
    rig.display.DrawPolarDiagramOnActivation();
    // Each circle crosses the horizontal axis right of the centre at its radius.
    for (const double radius : {1.0, 0.75, 0.5, 0.25}) {
        const int column = *rig.polar->Scale().ColumnOf(radius) - (radius == 1.0 ? 1 : 0);
        bool found = false;
        for (int c = column - 1; c <= column + 1; ++c) {
            found = found || (rig.polar->Image().pixel(c, 113) | 0xff000000u) == Black;
        }
        QVERIFY2(found, qPrintable(QString::number(radius)));
    }
    // Arrow shafts: y along the horizontal axis, x along the vertical one.
    QCOMPARE(PixelAt(*rig.polar, -0.08, 0), Black);
    QCOMPARE(PixelAt(*rig.polar, 0, 0.08), Black);
    // Inside the smallest circle, away from the arrows, stays white; circles are hollow.
    QCOMPARE(PixelAt(*rig.polar, 0.12, -0.12), White);
    QCOMPARE(PixelAt(*rig.polar, 0.6, 0.1), White);
}

void LiveDisplayTest::polarDiagramAtActivationIgnoresTheRunsXorAndFill()
{
    Rig rig;
    rig.display.DrawPolarDiagramOnActivation();
    const QImage diagram = rig.polar->Image();
    rig.StartDirectionPass();  // leaves the XOR pen and a solid teal fill on the polar view
    rig.display.DrawPolarDiagramOnActivation();
    rig.display.DrawPolarDiagramOnActivation();
    QCOMPARE(rig.polar->Image(), diagram);
    QCOMPARE(rig.polar->CurrentPenMode(), PenMode::Xor);
    QVERIFY(rig.polar->SolidFill());

    // While a window's polar circle is on show, activation leaves it alone,
    // so the XOR that removes the circle restores the diagram exactly.
    const DirectionView view = ViewOf(60, 0, 0, 120);
    rig.display.ShowDirection(view);
    rig.display.DrawPolarDiagramOnActivation();
    rig.display.ClearDirection(view, 0, 1000);
    QCOMPARE(rig.polar->Image(), diagram);
}

void LiveDisplayTest::mapScaleLabels_data()
{
    QTest::addColumn<double>("start");
    QTest::addColumn<double>("length");
    QTest::addColumn<char>("separator");
    QTest::addColumn<QStringList>("labels");
    QTest::newRow("start 0, length 1000") << 0.0 << 1000.0 << '.' << QStringList{" 0", " 250", " 500", " 750", " 1000"};
    QTest::newRow("start 20, length 1000")
        << 20.0 << 1000.0 << '.' << QStringList{" 20", " 270", " 520", " 770", " 1020"};
    QTest::newRow("start 0, length 10, point") << 0.0 << 10.0 << '.' << QStringList{" 0", " 2.5", " 5", " 7.5", " 10"};
    QTest::newRow("start 0, length 10, comma") << 0.0 << 10.0 << ',' << QStringList{" 0", " 2,5", " 5", " 7,5", " 10"};
    QTest::newRow("negative start") << -10.0 << 20.0 << '.' << QStringList{"-10", "-5", " 0", " 5", " 10"};
}

void LiveDisplayTest::mapScaleLabels()
{
    QFETCH(double, start);
    QFETCH(double, length);
    QFETCH(char, separator);
    QFETCH(QStringList, labels);
    const auto texts = MapScaleLabels(start, length, separator);
    QStringList got;
    for (const std::string& text : texts) {
        got << QString::fromStdString(text);
    }
    QCOMPARE(got, labels);
}

void LiveDisplayTest::mapScaleTicksAndBoxes()
{
    Rig rig;
    QImage black(957, 477, QImage::Format_RGB32);
    black.fill(Qt::black);
    rig.map->SetBackgroundPicture(black);
    rig.map->Clear();
    rig.map->SetPenMode(PenMode::Merge);
    DrawMapScale(*rig.map, 0, 1000, '.');
    // Ticks on the bottom edge at 180, 90, 0, -90 and -180 (the edges included).
    for (const double x : {180.0, 90.0, 0.0, -90.0, -180.0}) {
        QCOMPARE(PixelAt(*rig.map, x, -89), White);
    }
    QCOMPARE(PixelAt(*rig.map, 45, -89), Black);
    // A white box above each tick, written into from its left on the screen.
    QCOMPARE(PixelAt(*rig.map, 169, -84.5), White);
    QCOMPARE(PixelAt(*rig.map, -179.9, -84.5), White);
    // The numbers are printed in black over the boxes.
    int blackInThirdBox = 0;
    for (int column = *rig.map->Scale().ColumnOf(6); column <= *rig.map->Scale().ColumnOf(-6); ++column) {
        for (int row = *rig.map->Scale().RowOf(-80); row <= *rig.map->Scale().RowOf(-85); ++row) {
            blackInThirdBox += (rig.map->Image().pixel(column, row) & 0xffffff) == 0 ? 1 : 0;
        }
    }
    QVERIFY(blackInThirdBox > 5);
}

void LiveDisplayTest::prepareDisplaySetsTheSurfaces()
{
    Rig rig;
    rig.strip->Box(0, 0, 500, 90, Qt::blue);
    rig.display.PrepareDisplay(20, 300);
    QCOMPARE(rig.strip->CurrentPenMode(), PenMode::Copy);
    QCOMPARE(rig.map->CurrentPenMode(), PenMode::Merge);
    QCOMPARE(rig.strip->FillColour(), QColor(0, 0, 0));
    QCOMPARE(rig.strip->Scale().Left, 20.0);
    QCOMPARE(rig.strip->Scale().Width, 300.0);
    QCOMPARE(rig.map->LineWidth(), 1);
    QCOMPARE(rig.map->FillColour(), QColor(37, 176, 189));
    QVERIFY(rig.map->SolidFill());
    QCOMPARE(rig.polar->FillColour(), QColor(37, 176, 189));
    QVERIFY(rig.polar->SolidFill());
    // The strip is cleared; the map gets its scale.
    QCOMPARE(PixelAt(*rig.strip, 100, 50), White);
    QCOMPARE(PixelAt(*rig.map, 0, -89), White);
}

void LiveDisplayTest::levelBarsRiseFromTheBottomEdge()
{
    Rig rig;
    rig.display.PrepareDisplay(0, 1000);
    // Window 10 of 5 ms: 50 to 55 ms. Energy up to 90, intensity up to 70.
    rig.display.DrawLevelBars(10, 5, 90, 70);
    QCOMPARE(PixelAt(*rig.strip, 52, 41), qRgb(0, 0, 255));
    QCOMPARE(PixelAt(*rig.strip, 52, 69), qRgb(0, 0, 255));
    QCOMPARE(PixelAt(*rig.strip, 52, 75), qRgb(48, 32, 32));
    QCOMPARE(PixelAt(*rig.strip, 52, 92), White);
    QCOMPARE(PixelAt(*rig.strip, 60, 41), White);
    // A level of 40 or less does not show; 100 and more reaches the top.
    rig.display.DrawLevelBars(20, 5, 120, 30);
    QCOMPARE(PixelAt(*rig.strip, 102, 100), qRgb(48, 32, 32));
    QCOMPARE(PixelAt(*rig.strip, 102, 40), qRgb(48, 32, 32));
}

void LiveDisplayTest::stripGridAndMarkerRemovedBySecondDrawing()
{
    Rig rig;
    rig.display.PrepareDisplay(100, 400);
    rig.display.DrawLevelBars(30, 5, 85, 75);
    rig.display.DrawStripGrid(100, 400);
    const QRgb grey = qRgb(128, 128, 128);
    QCOMPARE(PixelAt(*rig.strip, 140, 60), grey);
    QCOMPARE(PixelAt(*rig.strip, 140, 80), grey);
    QCOMPARE(PixelAt(*rig.strip, 200, 95), grey);  // quarter
    QCOMPARE(PixelAt(*rig.strip, 300, 95), grey);  // half
    QCOMPARE(PixelAt(*rig.strip, 400, 95), grey);  // three quarters
    QCOMPARE(rig.strip->CurrentPenMode(), PenMode::Xor);
    QCOMPARE(rig.polar->CurrentPenMode(), PenMode::Xor);

    const QImage withoutMarker = rig.strip->Image();
    rig.display.WindowMarker(150, 5);
    QCOMPARE(PixelAt(*rig.strip, 152, 95), qRgb(0, 255, 255));  // white XOR red
    QCOMPARE(PixelAt(*rig.strip, 152, 70), qRgb(255, 0, 255));  // blue bar XOR red
    rig.display.WindowMarker(150, 5);
    QCOMPARE(rig.strip->Image(), withoutMarker);
}

void LiveDisplayTest::planeWaveFromTheFront()
{
    Rig rig;
    rig.StartDirectionPass();
    const QImage polarBefore = rig.polar->Image();
    const DirectionView view = ViewOf(60, 0, 0, 120);  // W = X: Az 0, El 0, ShadeLevel 127.5
    QCOMPARE(view.ShadeLevel, 127.5);
    rig.display.ShowDirection(view);

    // A white circle with a yellow outline at map (0, 0); merged over the
    // placeholder, white stays white and the outline keeps red and green full.
    QCOMPARE(rig.map->FillColour(), QColor(255, 255, 255));
    QCOMPARE(PixelAt(*rig.map, 2, 3), White);
    const int centreRow = *rig.map->Scale().RowOf(0);
    const int leftEdge = *rig.map->Scale().ColumnOf(view.MapRadius);
    bool yellowish = false;
    for (int column = leftEdge - 1; column <= leftEdge + 1; ++column) {
        const QRgb pixel = rig.map->Image().pixel(column, centreRow);
        yellowish = yellowish || (qRed(pixel) == 255 && qGreen(pixel) == 255 && qBlue(pixel) < 255);
    }
    QVERIFY(yellowish);
    // The cross is merged in red: full red on its pixels.
    QCOMPARE(qRed(PixelAt(*rig.map, 4, 0)), 255);

    // The polar circle at (0, 0.999), XORed with a cyan fill: white turns red.
    QCOMPARE(rig.polar->FillColour(), QColor(0, 255, 255));
    QCOMPARE(PixelAt(*rig.polar, 0.3, 0.6), qRgb(255, 0, 0));
    QCOMPARE(PixelAt(*rig.polar, 0.3, -0.6), White);

    QCOMPARE(rig.pgX.value(), -99);
    QCOMPARE(rig.pgY.value(), 0);
    QCOMPARE(rig.pgZ.value(), 0);
    QCOMPARE(rig.idc.value(), 30);
    QVERIFY(!rig.pgX.isHidden() && !rig.idc.isHidden());
    QCOMPARE(rig.textBox.text(), QStringLiteral("Azimuth:0.00 - Elevation:0.00"));

    rig.display.ClearDirection(view, 0, 1000);
    QCOMPARE(rig.polar->Image(), polarBefore);
}

void LiveDisplayTest::crossIsRedOverADarkBackground()
{
    Rig rig;
    QImage black(957, 477, QImage::Format_RGB32);
    black.fill(Qt::black);
    rig.map->SetBackgroundPicture(black);
    rig.map->Clear();
    rig.StartDirectionPass();
    // A diffuse window (ShadeLevel 50, g = 100) from the left.
    DirectionView view = ViewOf(0, 60, 0, 306);
    view.ShadeLevel = 50;
    rig.display.ShowDirection(view);
    QCOMPARE(PixelAt(*rig.map, view.Az, 0), qRgb(255, 100, 100));        // cross over the grey
    QCOMPARE(PixelAt(*rig.map, view.Az - 3, 3.5), qRgb(100, 100, 100));  // grey interior
    QCOMPARE(PixelAt(*rig.map, view.Az - 4, 0), qRgb(255, 100, 100));    // horizontal bar, 5 degrees long
    QCOMPARE(PixelAt(*rig.map, view.Az, 4.5), qRgb(255, 100, 100));      // vertical bar
}

void LiveDisplayTest::circleCrossingTheLeftEdgeIsCopiedToTheRight_data()
{
    QTest::addColumn<double>("az");
    QTest::addColumn<bool>("copied");
    QTest::newRow("Az 175, radius 10: a copy at -185") << 175.0 << true;
    QTest::newRow("Az -175, radius 10: no copy for the right edge") << -175.0 << false;
    QTest::newRow("Az 165, radius 10: inside, no copy") << 165.0 << false;
}

void LiveDisplayTest::circleCrossingTheLeftEdgeIsCopiedToTheRight()
{
    QFETCH(double, az);
    QFETCH(bool, copied);
    Rig rig;
    QImage black(957, 477, QImage::Format_RGB32);
    black.fill(Qt::black);
    rig.map->SetBackgroundPicture(black);
    rig.map->Clear();
    rig.StartDirectionPass();
    DirectionView view;
    view.IntensityMagnitude = 1;
    view.De = 2;
    view.ShadeLevel = 127.5;
    view.Az = az;
    view.El = 0;
    view.MapRadius = 10;
    view.Dx = 0.999;
    view.PolarRadius = 0.1;
    rig.display.ShowDirection(view);
    // Near the right edge at elevation 0 lies the copy's visible part.
    QCOMPARE(PixelAt(*rig.map, -178, 0) == White, copied || az == -175.0);
    // Near the left edge: only the circle itself ever reaches there.
    QCOMPARE(PixelAt(*rig.map, 178, 0) == White, az == 175.0);
    if (az == -175.0) {
        QCOMPARE(PixelAt(*rig.map, 178, 0), Black);
    }
}

void LiveDisplayTest::polarFillFollowsTheSignOfDz_data()
{
    QTest::addColumn<double>("iz");
    QTest::addColumn<QColor>("fill");
    QTest::newRow("from above: cyan") << 30.0 << QColor(0, 255, 255);
    QTest::newRow("in the plane: cyan") << 0.0 << QColor(0, 255, 255);
    QTest::newRow("from below: magenta") << -30.0 << QColor(255, 0, 255);
}

void LiveDisplayTest::polarFillFollowsTheSignOfDz()
{
    QFETCH(double, iz);
    QFETCH(QColor, fill);
    Rig rig;
    rig.StartDirectionPass();
    rig.display.ShowDirection(ViewOf(40, 20, iz, 120));
    QCOMPARE(rig.polar->FillColour(), fill);
}

void LiveDisplayTest::clearDirectionLeavesOnlyTheScale()
{
    Rig rig;
    rig.StartDirectionPass(20, 300);
    const QImage scaleOnly = rig.map->Image();
    const DirectionView view = ViewOf(10, 40, 5, 120);
    rig.display.ShowDirection(view);
    QVERIFY(rig.map->Image() != scaleOnly);
    rig.display.ClearDirection(view, 20, 300);
    QCOMPARE(rig.map->Image(), scaleOnly);
}

void LiveDisplayTest::quietWindowHidesTheMetersAndStillShowsTheText()
{
    Rig rig;
    rig.StartDirectionPass();
    rig.display.ShowDirection(ViewOf(60, 0, 0, 120));
    const QImage map = rig.map->Image();
    const QImage polar = rig.polar->Image();
    DirectionView quiet = ViewOf(0, 0.0001, 0, 0.001);  // 5 x IntensityMagnitude below 0.001
    quiet.MapRadius = 0;
    rig.display.ShowDirection(quiet);
    QVERIFY(rig.pgX.isHidden() && rig.pgY.isHidden() && rig.pgZ.isHidden() && rig.idc.isHidden());
    QCOMPARE(rig.pgX.value(), -99);  // values left as they were
    QCOMPARE(rig.textBox.text(), QStringLiteral("Azimuth:90.00 - Elevation:0.00"));
    QCOMPARE(rig.map->Image(), map);
    QCOMPARE(rig.polar->Image(), polar);
}

void LiveDisplayTest::azimuthTextUsesTheRegionalSeparator()
{
    Rig rig(',');
    rig.StartDirectionPass();
    DirectionView view = ViewOf(60, 0, 0, 120);
    view.Az = 45;
    view.El = -12.5;
    rig.display.ShowDirection(view);
    QCOMPARE(rig.textBox.text(), QStringLiteral("Azimuth:45,00 - Elevation:-12,50"));
}

void LiveDisplayTest::meterValues_data()
{
    QTest::addColumn<double>("component");
    QTest::addColumn<int>("meter");
    QTest::newRow("+0.999 reads -99 at the top") << 0.999 << -99;
    QTest::newRow("-0.999 reads 99") << -0.999 << 99;
    QTest::newRow("half to even: -99 x 0.5 = -49.5 gives -50") << 0.5 << -50;
    QTest::newRow("half to even: 49.5 gives 50") << -0.5 << 50;
    QTest::newRow("not a number leaves the meter") << std::nan("") << 7;
}

void LiveDisplayTest::meterValues()
{
    QFETCH(double, component);
    QFETCH(int, meter);
    QCOMPARE(LiveDisplay::ComponentMeterValue(component, 7), meter);
    // IDc: -10 x IDdB, 30 for a plane wave, shown at its maximum above 100.
    QCOMPARE(LiveDisplay::IntensityRatioMeterValue(60, 120, 0), 30);
    QCOMPARE(LiveDisplay::IntensityRatioMeterValue(1, 1e12, 0), 100);
    QCOMPARE(LiveDisplay::IntensityRatioMeterValue(0, 1, 0), 100);  // ln 0: far above the maximum
}

QTEST_MAIN(LiveDisplayTest)
#include "tst_LiveDisplay.moc"
