#pragma once

#include "analysis/RunDisplay.h"

class QLineEdit;
class QProgressBar;
class QSlider;

namespace halvane {

class DrawingSurface;

// The controls besides the pictures that a run animates.
struct DisplayControls {
    QLineEdit* textBox = nullptr;  // TextBox1: the azimuth and elevation of the window shown
    QSlider* pgX = nullptr;        // -100 (top) to 100 (bottom)
    QSlider* pgY = nullptr;
    QSlider* pgZ = nullptr;
    QSlider* idc = nullptr;            // 0 (top) to 100 (bottom)
    QProgressBar* progress = nullptr;  // ProgressBar1, 0 to 100
};

// What a run draws, step by step. The run decides when each step happens and
// with which values; this decides what each step draws on the time strip,
// the map and the polar view, and what the text box, meters and progress bar
// show. Every setting made here stays in force until it is set again, also
// from one run to the next. A control left null is not shown.
class LiveDisplay final : public RunDisplay {
public:
    // All surfaces and controls must outlive this object. decimalSeparator
    // is the regional one, for the map's numbers and the azimuth text.
    LiveDisplay(DrawingSurface& strip, DrawingSurface& map, DrawingSurface& polar, DisplayControls controls,
                char decimalSeparator);

    // Start of every run: clears the strip, copy pen on the strip, merge pen
    // on the map, the strip's time scale from skipMs over displayWindowMs,
    // the teal solid fills of map and polar view, then the map scale.
    void PrepareDisplay(double skipMs, double displayWindowMs) override;
    // The energy bar, then the intensity bar, over the window's stretch of
    // the strip, each rising from level 0 (below the strip) to its level.
    void DrawLevelBars(double windowIndex, double averagingWindowMs, double energyLevel,
                       double intensityLevel) override;
    // The strip's grey grid (levels 60 and 80, the three quarters of the
    // stretch); then the XOR pen on the strip and on the polar view.
    void DrawStripGrid(double skipMs, double displayWindowMs) override;
    // The red marker over timeMs to timeMs + averagingWindowMs, full height,
    // in the strip's pen mode (XOR during the direction pass).
    void WindowMarker(double timeMs, double averagingWindowMs) override;
    // One window of the direction pass (IntensityMagnitude > 0): grey shade,
    // azimuth text, and when MapRadius > 0 the map circle and cross (and its
    // copy 360 degrees to the right when it crosses the left edge), the
    // polar circle and the four meters; when MapRadius is 0 the meters are hidden.
    void ShowDirection(const DirectionView& view) override;
    // Undoes ShowDirection of a window with MapRadius > 0: the polar circle
    // drawn again (XOR removes it), the map cleared and its scale redrawn.
    void ClearDirection(const DirectionView& view, double skipMs, double displayWindowMs) override;
    // The progress bar rounded half to even onto its whole steps, clamped to
    // 0..100; a value that is not a number (a one-window pass) leaves it as it is.
    void SetProgress(float percent) override;

    // The polar diagram at the window's activation. Drawn with the copy pen
    // and hollow circles whatever the polar view's settings are (so the XOR
    // pen and fill a run leaves behind cannot garble it), and skipped while a
    // run's polar circle is on show: the diagram lies intact beneath it, and
    // redrawing it there would leave traces once the circle is XORed away.
    void DrawPolarDiagramOnActivation();

    // The meter values for a direction (rounded half to even, clamped to the
    // meter's range; a value that is not a number leaves the meter as it is).
    static int ComponentMeterValue(double component, int current);
    static int IntensityRatioMeterValue(double intensityMagnitude, double de, int current);

private:
    void DrawPolarCircle(const DirectionView& view);

    DrawingSurface& m_strip;
    DrawingSurface& m_map;
    DrawingSurface& m_polar;
    DisplayControls m_controls;
    char m_decimalSeparator;
    bool m_polarCircleShown = false;
};

}  // namespace halvane
