#include "app/RoomPane.h"

#include <QHeaderView>
#include <QTableView>
#include <QVBoxLayout>

#include "display/DrawingSurface.h"
#include "display/results/CsvTableModel.h"
#include "display/results/ResultsExport.h"
#include "display/summary/DecayPlot.h"
#include "display/summary/SummaryPicture.h"

namespace halvane {

RoomPane::RoomPane(QWidget* parent) : QWidget(parent)
{
    m_model = new CsvTableModel(this);
    m_table = new QTableView(this);
    m_table->setObjectName(QStringLiteral("RoomTable"));
    m_table->setModel(m_model);
    m_table->setSortingEnabled(true);
    m_table->sortByColumn(-1, Qt::AscendingOrder);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_table->verticalHeader()->setVisible(false);

    // The summary picture's decay plot, at its size there.
    constexpr int kBorders = 2 * DrawingSurface::BorderPx;
    m_decay = new DrawingSurface(QSize(kSummaryWidthPx + kBorders, kSummaryDecayHeightPx + kBorders), Qt::white, this);
    m_decay->setObjectName(QStringLiteral("DecayCurves"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_table, 1);
    layout->addWidget(m_decay, 0, Qt::AlignHCenter);
}

void RoomPane::SetResults(const ResponseResults* response)
{
    m_model->SetTable(response ? ReadCsvRows(RoomParameterBytes(*response)) : std::vector<QStringList>());
    m_table->sortByColumn(-1, Qt::AscendingOrder);
    m_decay->Clear();
    if (response) DrawDecayPlot(*m_decay, response->results.roomParameters, '.');
}

}  // namespace halvane
