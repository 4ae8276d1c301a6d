#pragma once

#include <QWidget>

#include "analysis/results/ResponseAnalysis.h"

class QLabel;
class QTableView;

namespace halvane {

class CsvTableModel;

// The results window's arrival list: the table as the arrival list's CSV
// file holds it (halvane-batch --reflections: the same columns, the same
// digits), sortable by any column, one row selected at a time, and under it
// what a reader of the list should know (ArrivalRemarks).
class ArrivalsPane : public QWidget {
    Q_OBJECT

public:
    explicit ArrivalsPane(QWidget* parent = nullptr);

    // The list of response; nullptr empties the table.
    void SetResults(const ResponseResults* response);

    QTableView* Table() const { return m_table; }
    const CsvTableModel& Model() const { return *m_model; }
    // The arrival selected: its place in the list (0 the direct sound,
    // whatever the sorting); -1 when none is.
    int SelectedArrival() const;
    // Selects the arrival at its place in the list and shows its row; -1
    // clears the selection.
    void SelectArrival(int arrival);

signals:
    // The selection changed to the arrival at its place in the list; -1: none.
    void ArrivalSelected(int arrival);

private:
    QTableView* m_table = nullptr;
    CsvTableModel* m_model = nullptr;
    QLabel* m_remarks = nullptr;
};

}  // namespace halvane
