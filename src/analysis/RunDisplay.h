#pragma once

#include "values/WindowQuantities.h"

namespace halvane {

// What a run shows, step by step, in the order the run calls them. The run
// decides when each step happens and with which values; the window's live
// display decides what each draws. Every step does nothing by default, so a
// run without pictures (the batch command, most tests) needs no display of
// its own, and a new step only touches this interface, the run that calls it
// and the live display that draws it.
class RunDisplay {
public:
    virtual ~RunDisplay() = default;

    // The progress bar, 0 to 100. The value arrives as computed (it may lie
    // slightly outside the range, or be not-a-number for a one-window pass).
    virtual void SetProgress(float percent) { (void)percent; }
    // Set-up of the three pictures and the map scale at the start of every run.
    virtual void PrepareDisplay(double skipMs, double displayWindowMs)
    {
        (void)skipMs;
        (void)displayWindowMs;
    }
    // Two bars over window windowIndex of the time strip, levels in dB + 80.
    virtual void DrawLevelBars(double windowIndex, double averagingWindowMs, double energyLevel, double intensityLevel)
    {
        (void)windowIndex;
        (void)averagingWindowMs;
        (void)energyLevel;
        (void)intensityLevel;
    }
    // The strip's grid between the passes, then the XOR pen on the strip and the polar view.
    virtual void DrawStripGrid(double skipMs, double displayWindowMs)
    {
        (void)skipMs;
        (void)displayWindowMs;
    }
    // The red XOR marker over timeMs to timeMs + averagingWindowMs; drawn twice it vanishes.
    virtual void WindowMarker(double timeMs, double averagingWindowMs)
    {
        (void)timeMs;
        (void)averagingWindowMs;
    }
    // Shows one direction-pass window (text box, map circle and cross, polar
    // circle, meters). Only called for windows with IntensityMagnitude > 0;
    // the map, polar and meter steps apply only when MapRadius > 0.
    virtual void ShowDirection(const DirectionView& view) { (void)view; }
    // Removes what ShowDirection drew for a window with MapRadius > 0 and redraws the map scale.
    virtual void ClearDirection(const DirectionView& view, double skipMs, double displayWindowMs)
    {
        (void)view;
        (void)skipMs;
        (void)displayWindowMs;
    }

    // A display that shows nothing.
    static RunDisplay& None();
};

}  // namespace halvane
