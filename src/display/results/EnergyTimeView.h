#pragma once

#include <optional>

#include "analysis/results/ResponseMaps.h"
#include "display/DrawingSurface.h"

namespace halvane {

// The small energy-time curve under the results window's map: W's energy in
// the map's band against ms after the direct sound's onset (the maps' own
// time), 0 to -80 dB, the map's range shaded behind it and the selected
// arrival's time as a line in the selected ring's colour.
//
// Dragging across it with the left button chooses a range: the stretch
// between press and release (ms of the pixel centres, at 0 at the earliest
// and at the curve's end at the latest) is shaded while dragging and reported
// on release; a press without a drag of at least kLeastDragPx reports nothing.
class EnergyTimeView : public DrawingSurface {
    Q_OBJECT

public:
    static constexpr int kLeastDragPx = 3;

    explicit EnergyTimeView(QWidget* parent = nullptr);

    // The curve, the range shown (fromMs, toMs) and the arrival's time in ms
    // after the onset (none: no line). An empty curve shows the axes alone.
    void Show(EnergyTimeCurve curve, double fromMs, double toMs, std::optional<double> markMs);
    void SetMark(std::optional<double> markMs);

    const EnergyTimeCurve& Curve() const { return m_curve; }
    // The ms at the centre of a pixel column of the drawing area.
    double MsAtColumn(int column) const;
    // The pixel column of a time.
    int ColumnOfMs(double ms) const;

signals:
    void RangeDragged(double fromMs, double toMs);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void Redraw();
    double ClampedMsAt(double widgetX) const;

    EnergyTimeCurve m_curve;
    double m_fromMs = 0;
    double m_toMs = 0;
    std::optional<double> m_markMs;
    std::optional<double> m_dragStartX;  // widget x of the press while dragging
    double m_dragFromMs = 0;
    double m_dragToMs = 0;
};

}  // namespace halvane
