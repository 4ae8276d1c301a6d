#pragma once

#include <QAbstractTableModel>
#include <QStringList>

#include <string>
#include <vector>

namespace halvane {

// A CSV table as the writers of report/ make it, read back into its fields:
// lines end in CR LF (a lone LF is taken too), fields are separated by
// commas, a field in double quotes loses them (the writers quote only header
// names, which hold no comma or quote). The first row is the header; a last
// line break ends the last row, it begins none.
std::vector<QStringList> ReadCsvRows(const std::string& text);

// One of the results window's tables as its CSV file holds it: the header's
// names as the column titles and every field's text as the file has it, so
// that the window and the file never differ by a digit. Numbers are aligned
// to the right.
//
// Sorting a column orders the rows by their fields' numbers, stably; fields
// that are not wholly a number (empty, "all", NaN) come after every number
// in either order, in the file's order. Row numbers of the file (0 the first
// row after the header) and of the view are kept apart: FileRow and ViewRow
// convert.
class CsvTableModel final : public QAbstractTableModel {
    Q_OBJECT

public:
    explicit CsvTableModel(QObject* parent = nullptr);

    // Replaces the table: rows[0] the header, then the rows in file order.
    // No rows: an empty table without columns.
    void SetTable(const std::vector<QStringList>& rows);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    // The file's row shown at viewRow, and the view's row of fileRow; -1
    // outside the table.
    int FileRow(int viewRow) const;
    int ViewRow(int fileRow) const;
    // The field's text at a file row and column; empty outside the table.
    QString Field(int fileRow, int column) const;

private:
    QStringList m_header;
    std::vector<QStringList> m_rows;  // file order
    std::vector<int> m_order;         // view row -> file row
};

}  // namespace halvane
