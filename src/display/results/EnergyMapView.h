#pragma once

#include <QColor>
#include <QImage>

#include <optional>
#include <vector>

#include "display/DrawingSurface.h"
#include "values/Arrival.h"
#include "values/EnergyMapQuantities.h"

namespace halvane {

// The results window's energy map: a box of the main window's map size and
// scale (azimuth 180 at the left to -180 at the right, elevation 90 at the
// top to -90 at the bottom) holding the map drawn by the maps' painter
// (display/maps/EnergyMapPainter.h: the background picture scaled to the
// map, the levels over it in the fixed dB scale of the dynamic range, the
// 30-degree grid and the arrivals' rings), and the selected arrival's ring
// in kSelectedArrivalColour outside its own.
//
// The pointer reports where it is in degrees (the centre of the pixel under
// it) as it moves; a left press inside a ring reports that arrival.
class EnergyMapView : public DrawingSurface {
    Q_OBJECT

public:
    explicit EnergyMapView(QWidget* parent = nullptr);

    // The picture behind the map; null: none.
    void SetBackground(const QImage& picture);
    // The map shown (none: the background alone) and the dynamic range of
    // its colours below 0 dB, 20 to 60.
    void ShowMap(std::optional<EnergyMap> map, double rangeDb);
    // The arrivals and the floor their rings are sized by; the selection is cleared.
    void SetArrivals(std::vector<Arrival> arrivals, double floorDb);
    // The arrival at its place in the list; -1: none.
    void SelectArrival(int arrival);
    int SelectedArrival() const { return m_selected; }

    const std::optional<EnergyMap>& Map() const { return m_map; }
    double RangeDb() const { return m_rangeDb; }
    // The pixel of the drawing area a direction lies in (its top-left
    // corner in the widget is (BorderPx, BorderPx)).
    QPoint PixelOf(double azDeg, double elDeg) const;

signals:
    void PointerMoved(double azDeg, double elDeg);
    void PointerLeft();
    // A left press inside the ring of the arrival at its place in the list.
    void ArrivalPressed(int arrival);

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void Redraw();
    // The direction at the centre of the pixel under a widget position.
    QPointF DirectionAt(QPointF widgetPos) const;

    QImage m_background;
    std::optional<EnergyMap> m_map;
    double m_rangeDb = 40;
    std::vector<Arrival> m_arrivals;
    double m_floorDb = kArrivalFloorDb;
    int m_selected = -1;
};

inline const QColor kSelectedArrivalColour(255, 32, 32);

// The maps' dB colour bar (display/maps/EnergyMapPainter.h) for rangeDb,
// for beside the map.
QImage MapColourBar(double rangeDb, QSize sizePx, const QFont& font);

}  // namespace halvane
