// Drawing cost of one direction-pass window on the offscreen platform: the
// marker, ShowDirection, ClearDirection, the marker again, and a repaint of
// what changed, as the run's wait does it. A pass with PauseMs 1 should spend well under 1 ms of
// this per window.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QLineEdit>
#include <QSlider>
#include <QWidget>

#include <cmath>
#include <memory>

#include "display/DrawingSurface.h"
#include "display/LiveDisplay.h"
#include "display/PictureBoxes.h"

namespace {

using namespace halvane;

// The window's pictures and animated controls in a plain container.
struct Screen {
    Screen()
    {
        container.resize(1209, 716);
        strip = CreateTimeStrip(&container);
        strip->move(8, 528);
        map = CreateDirectionMap(&container);
        map->move(8, 40);
        polar = CreatePolarView(&container);
        polar->move(976, 40);
        textBox = new QLineEdit(&container);
        textBox->setGeometry(8, 8, 457, 25);
        for (QSlider*& meter : meters) {
            meter = new QSlider(Qt::Vertical, &container);
            meter->setRange(-100, 100);
        }
        display = std::make_unique<LiveDisplay>(
            *strip, *map, *polar, DisplayControls{textBox, meters[0], meters[1], meters[2], meters[3]}, '.');
        container.show();
        display->DrawPolarDiagramOnActivation();
        display->PrepareDisplay(0, 1000);
        for (int window = 0; window < 200; ++window) {
            display->DrawLevelBars(window, 5, 90 - window * 0.2, 85 - window * 0.25);
        }
        display->DrawStripGrid(0, 1000);
    }

    QWidget container;
    DrawingSurface* strip = nullptr;
    DrawingSurface* map = nullptr;
    DrawingSurface* polar = nullptr;
    QLineEdit* textBox = nullptr;
    QSlider* meters[4] = {};
    std::unique_ptr<LiveDisplay> display;
};

DirectionView ViewFor(int window, double mapRadius)
{
    const double azDeg = -170.0 + (window * 7) % 350;
    const double elDeg = -60.0 + (window * 3) % 120;
    const double az = azDeg * 3.14159265358979 / 180;
    const double el = elDeg * 3.14159265358979 / 180;
    DirectionView view;
    view.IntensityMagnitude = 1;
    view.De = 2.5;
    view.ShadeLevel = 102;
    view.Az = azDeg;
    view.El = elDeg;
    view.MapRadius = mapRadius;
    view.Dx = std::cos(az) * std::cos(el) * 0.999;
    view.Dy = std::sin(az) * std::cos(el) * 0.999;
    view.Dz = std::sin(el) * 0.999;
    view.PolarRadius = mapRadius / 100;
    return view;
}

void BM_DirectionWindow(benchmark::State& state)
{
    Screen screen;
    const double mapRadius = static_cast<double>(state.range(0));
    int window = 0;
    for (auto _ : state) {
        const DirectionView view = ViewFor(window, mapRadius);
        const double timeMs = 5.0 * (window % 200);
        screen.display->WindowMarker(timeMs, 5);
        screen.display->ShowDirection(view);
        // The run's wait yields here: the pending repaints of everything
        // changed since the last window are carried out.
        QCoreApplication::processEvents();
        screen.display->ClearDirection(view, 0, 1000);
        screen.display->WindowMarker(timeMs, 5);
        ++window;
    }
    state.SetLabel("per window, MapRadius " + std::to_string(state.range(0)) + " deg");
}
// 30 degrees is a typical reflection; 60 a strong early one; 120 the loudest.
BENCHMARK(BM_DirectionWindow)->Arg(30)->Arg(60)->Arg(120)->Unit(benchmark::kMicrosecond);

// The drawing alone, without the repaint: where the time goes.
void BM_DirectionWindowDrawingOnly(benchmark::State& state)
{
    Screen screen;
    const double mapRadius = static_cast<double>(state.range(0));
    int window = 0;
    for (auto _ : state) {
        const DirectionView view = ViewFor(window, mapRadius);
        const double timeMs = 5.0 * (window % 200);
        screen.display->WindowMarker(timeMs, 5);
        screen.display->ShowDirection(view);
        screen.display->ClearDirection(view, 0, 1000);
        screen.display->WindowMarker(timeMs, 5);
        ++window;
    }
}
BENCHMARK(BM_DirectionWindowDrawingOnly)->Arg(30)->Arg(120)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
