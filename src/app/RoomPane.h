#pragma once

#include <QWidget>

#include "analysis/results/ResponseAnalysis.h"

class QTableView;

namespace halvane {

class CsvTableModel;
class DrawingSurface;

// The results window's room parameters: the table per octave band as its
// CSV file holds it (halvane-batch --room-parameters), sortable, and under
// it the Schroeder decay curves of every band with their T30 lines, drawn by
// the summary picture's decay plot (display/summary/DecayPlot.h).
class RoomPane : public QWidget {
    Q_OBJECT

public:
    explicit RoomPane(QWidget* parent = nullptr);

    // The parameters of response; nullptr empties the table and the plot.
    void SetResults(const ResponseResults* response);

    QTableView* Table() const { return m_table; }
    const CsvTableModel& Model() const { return *m_model; }
    DrawingSurface& DecayCurves() const { return *m_decay; }

private:
    QTableView* m_table = nullptr;
    CsvTableModel* m_model = nullptr;
    DrawingSurface* m_decay = nullptr;
};

}  // namespace halvane
