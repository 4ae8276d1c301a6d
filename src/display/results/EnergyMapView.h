#pragma once

#include <QColor>
#include <QImage>

#include <vector>

#include "display/DrawingSurface.h"
#include "values/Arrival.h"

namespace halvane {

// The results window's energy map: a box of the main window's map size and
// scale (azimuth 180 at the left to -180 at the right, elevation 90 at the
// top to -90 at the bottom), the background picture at its natural size
// from the top left (the plain field without one), the map's levels over it
// in the time ramp's colours (dark violet at the bottom of the dynamic
// range, yellow at 0 dB and above), cells below the range left clear, the
// arrivals' rings and labels over that (display/summary/ArrivalMap.h) and the
// selected arrival's ring in kSelectedArrivalColour.
//
// The pointer reports where it is in degrees (the centre of the pixel under
// it) as it moves; a left press inside a ring reports that arrival.
class EnergyMapView : public DrawingSurface {
    Q_OBJECT

public:
    explicit EnergyMapView(QWidget* parent = nullptr);

    // The picture behind the map; null: none.
    void SetBackground(const QImage& picture);
    // levelDb: kMapCells levels in dB (values/EnergyMapQuantities.h), or
    // empty to show the background alone; rangeDb: the dynamic range shown
    // below 0 dB, 20 to 60.
    void ShowLevels(std::vector<double> levelDb, double rangeDb);
    // The arrivals and the floor their rings are sized by; the selection is cleared.
    void SetArrivals(std::vector<Arrival> arrivals, double floorDb);
    // The arrival at its place in the list; -1: none.
    void SelectArrival(int arrival);
    int SelectedArrival() const { return m_selected; }

    const std::vector<double>& Levels() const { return m_levelDb; }
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
    std::vector<double> m_levelDb;
    double m_rangeDb = 40;
    std::vector<Arrival> m_arrivals;
    double m_floorDb = kArrivalFloorDb;
    int m_selected = -1;
};

inline const QColor kSelectedArrivalColour(255, 32, 32);

// The colour of a level on a map with rangeDb of dynamic range, and whether
// it is drawn at all (not below -rangeDb).
QColor MapOverlayColour(double levelDb, double rangeDb);

// A vertical colour bar of the map's levels, 0 dB at the top down to
// -rangeDb, with a number every 10 dB, for beside the map.
QImage MapColourBar(double rangeDb, QSize sizePx, const QFont& font);

}  // namespace halvane
