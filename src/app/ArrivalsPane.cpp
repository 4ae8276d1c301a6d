#include "app/ArrivalsPane.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QTableView>
#include <QVBoxLayout>

#include "analysis/arrivals/ArrivalRemarks.h"
#include "display/results/CsvTableModel.h"
#include "display/results/ResultsExport.h"

namespace halvane {

ArrivalsPane::ArrivalsPane(QWidget* parent) : QWidget(parent)
{
    m_model = new CsvTableModel(this);
    m_table = new QTableView(this);
    m_table->setObjectName(QStringLiteral("ArrivalTable"));
    m_table->setModel(m_model);
    m_table->setSortingEnabled(true);
    m_table->sortByColumn(-1, Qt::AscendingOrder);  // the list's own order until a column is chosen
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_table->verticalHeader()->setVisible(false);

    m_remarks = new QLabel(this);
    m_remarks->setObjectName(QStringLiteral("ArrivalRemarks"));
    m_remarks->setWordWrap(true);
    m_remarks->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_table, 1);
    layout->addWidget(m_remarks);

    connect(m_table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { emit ArrivalSelected(SelectedArrival()); });
}

void ArrivalsPane::SetResults(const ResponseResults* response)
{
    m_model->SetTable(response ? ReadCsvRows(ArrivalListBytes(*response)) : std::vector<QStringList>());
    m_table->sortByColumn(-1, Qt::AscendingOrder);
    QStringList remarks;
    if (response) {
        for (const std::string& remark : ArrivalRemarks(response->findings)) {
            remarks << QStringLiteral("The list: ") + QString::fromStdString(remark) + QLatin1Char('.');
        }
    }
    m_remarks->setText(remarks.join(QLatin1Char('\n')));
    m_remarks->setVisible(!remarks.isEmpty());
}

int ArrivalsPane::SelectedArrival() const
{
    const QModelIndexList rows = m_table->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : m_model->FileRow(rows.front().row());
}

void ArrivalsPane::SelectArrival(int arrival)
{
    const int row = m_model->ViewRow(arrival);
    if (row < 0) {
        m_table->clearSelection();
        return;
    }
    m_table->selectRow(row);
    m_table->scrollTo(m_model->index(row, 0));
}

}  // namespace halvane
