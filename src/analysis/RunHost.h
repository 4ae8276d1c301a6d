#pragma once

#include <optional>
#include <string>

#include "analysis/FrameAccumulator.h"

namespace halvane {

// What one window of the direction pass hands to the display. All angles in
// degrees (azimuth positive to the left, elevation positive upwards), radii in
// the map's horizontal degrees (MapRadius) and in polar-view units (PolarRadius).
// ShowDirection is only called for windows with IntensityMagnitude > 0; the map,
// polar and meter steps apply only when MapRadius > 0.
struct DirectionView {
    double IntensityMagnitude = 0;  // sqrt((Ix^2 + Iy^2) + Iz^2), > 0
    double De = 0;                  // energy-density sum, floored at LevelFloor
    double ShadeLevel = 0;          // (IntensityMagnitude * 255) / De, 0 to 127.5
    double Az = 0;                  // degrees, (-180, 180]
    double El = 0;                  // degrees, [-90, 90]
    double MapRadius = 0;           // 10 log10(5 IntensityMagnitude) + 30, floored at 0
    double Dx = 0, Dy = 0, Dz = 0;  // unit direction times 0.999 (valid when MapRadius > 0)
    double PolarRadius = 0;         // MapRadius / 100 (valid when MapRadius > 0)
};

// Everything a run needs from its surroundings: the dialogue with the user,
// the message loop, the clock, the progress bar and the drawing. The window
// implements it with Qt, the batch command with fixed answers and no drawing,
// tests with a recording fake. The core never includes a toolkit header.
class RunHost {
public:
    virtual ~RunHost() = default;

    // A modal input box. Returns the typed answer, or nothing when cancelled
    // (the run reads a cancelled answer like an empty one).
    virtual std::optional<std::string> AskText(const std::string& prompt, const std::string& title,
                                               const std::string& defaultAnswer) = 0;
    // A modal message box titled "Warning!" with the critical icon and one OK button.
    virtual void ShowWarning(const std::string& message) = 0;
    // Sets the window's mouse pointer back to the default pointer.
    virtual void ResetPointer() = 0;

    // Processes every pending window message, then returns.
    virtual void Yield() = 0;
    // Sleeps until the next window message arrives or maxMs have passed,
    // processing what arrived. A negative maxMs waits for the next message
    // however long it takes. Never spins a processor core.
    virtual void WaitForEvents(double maxMs) = 0;
    // Milliseconds on a monotonic clock; only differences are used.
    virtual double ClockMs() = 0;
    // True once the window is being closed: the run stops without another step.
    virtual bool ShouldQuit() const = 0;

    // ProgressBar1, 0 to 100. The value arrives as computed (it may lie
    // slightly outside the range, or be not-a-number for a one-window pass).
    virtual void SetProgress(float percent) = 0;

    // The live display of a run, in the order the run calls them.
    // Set-up of the three pictures and the map scale at the start of every run.
    virtual void PrepareDisplay(double skipMs, double displayWindowMs) = 0;
    // Two bars over window WindowIndex of the time strip, levels in dB + 80.
    virtual void DrawLevelBars(double windowIndex, double averagingWindowMs, double energyLevel,
                               double intensityLevel) = 0;
    // The strip's grid between the passes, then the XOR pen on the strip and the polar view.
    virtual void DrawStripGrid(double skipMs, double displayWindowMs) = 0;
    // The red XOR marker over timeMs to timeMs + averagingWindowMs; drawn twice it vanishes.
    virtual void WindowMarker(double timeMs, double averagingWindowMs) = 0;
    // Shows one direction-pass window (text box, map circle and cross, polar circle, meters).
    virtual void ShowDirection(const DirectionView& view) = 0;
    // Removes what ShowDirection drew for a window with MapRadius > 0 and redraws the map scale.
    virtual void ClearDirection(const DirectionView& view, double skipMs, double displayWindowMs) = 0;

    // Every window of the intensity pass with its sums, right after its row is
    // written; for hosts that keep a summary of the run (the window does not).
    virtual void IntensityWindowSummed(double windowIndex, const WindowSums& sums)
    {
        (void)windowIndex;
        (void)sums;
    }
};

}  // namespace halvane
