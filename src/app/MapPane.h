#pragma once

#include <QImage>
#include <QWidget>

#include <memory>
#include <optional>

#include "analysis/results/ResponseAnalysis.h"

class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QSpinBox;
class QThread;

namespace halvane {

class EnergyMapView;
class EnergyTimeView;

// The results window's map: the energy map of a time range over the main
// window's background picture, with the arrivals as rings, and its controls:
// the range (direct, early, late, or a custom one typed in its two fields or
// dragged across the energy-time curve under the map), the estimator, the
// dynamic range (20 to 60 dB) and the band. The pointer's azimuth, elevation
// and the map's level under it are read out as it moves; a press on a ring
// reports its arrival.
//
// The maps are computed by the response's ResponseMaps on a thread of their
// own, one at a time, the latest asked for next: a change of the range, the
// estimator or the band computes only that map, a map seen before is shown
// at once, and the dynamic range only redraws. Controls carry object names
// for tests.
class MapPane : public QWidget {
    Q_OBJECT

public:
    explicit MapPane(QWidget* parent = nullptr);
    // Waits for a map under way.
    ~MapPane() override;

    // The maps of response (nullptr: none; the map shows the picture alone)
    // over background (null: none).
    void SetResults(const ResponseResults* response, const QImage& background);
    // Highlights the arrival at its place in the list (-1: none) on the map
    // and its time on the curve.
    void SelectArrival(int arrival);
    // The custom range fromMs to toMs, as if typed into the fields.
    void ChooseRange(double fromMs, double toMs);

    EnergyMapView& Map() const { return *m_map; }
    EnergyTimeView& Curve() const { return *m_curve; }
    QString Readout() const;
    // What the map shows: null before the first map, or while none can be.
    const ShownMap* Shown() const { return m_shown.get(); }
    bool ComputingMap() const { return m_thread != nullptr; }

signals:
    void ArrivalPressed(int arrival);
    // The map asked for last is shown, or why it cannot be.
    void MapShown();

private:
    void BuildControls();
    MapRequest Wanted() const;
    void RequestMap();
    void StartComputing(const MapRequest& request);
    void ShowMap(std::shared_ptr<const ShownMap> shown);
    void ShowFailure(const QString& why);
    void ShowRangeFields(double fromMs, double toMs);
    void RangeChosen();
    void FieldsEdited();
    void PointerMoved(double azDeg, double elDeg);
    std::optional<double> SelectedTimeMs() const;

    QComboBox* m_range = nullptr;
    QDoubleSpinBox* m_fromMs = nullptr;
    QDoubleSpinBox* m_toMs = nullptr;
    QComboBox* m_estimator = nullptr;
    QSpinBox* m_dynamicRange = nullptr;
    QComboBox* m_band = nullptr;
    EnergyMapView* m_map = nullptr;
    QLabel* m_colourBar = nullptr;
    QLabel* m_readout = nullptr;
    QLabel* m_status = nullptr;
    EnergyTimeView* m_curve = nullptr;

    const ResponseResults* m_response = nullptr;
    std::shared_ptr<ResponseMaps> m_maps;
    std::shared_ptr<const ShownMap> m_shown;
    QThread* m_thread = nullptr;  // the map under way; null when none is
    bool m_settingFields = false;
};

}  // namespace halvane
