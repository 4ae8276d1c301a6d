#include "display/results/CsvTableModel.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numeric>
#include <optional>

namespace halvane {
namespace {

// The field's number when the whole field is one (not-a-number is none).
std::optional<double> NumberOf(const QString& field)
{
    const std::string text = field.toStdString();
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty() || std::isnan(value)) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

std::vector<QStringList> ReadCsvRows(const std::string& text)
{
    std::vector<QStringList> rows;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(at, end - at);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        at = end + 1;
        QStringList fields;
        std::size_t from = 0;
        while (true) {
            const std::size_t comma = line.find(',', from);
            std::string field = line.substr(from, comma == std::string::npos ? std::string::npos : comma - from);
            if (field.size() >= 2 && field.front() == '"' && field.back() == '"') {
                field = field.substr(1, field.size() - 2);
            }
            fields.push_back(QString::fromStdString(field));
            if (comma == std::string::npos) break;
            from = comma + 1;
        }
        rows.push_back(fields);
    }
    return rows;
}

CsvTableModel::CsvTableModel(QObject* parent) : QAbstractTableModel(parent) { }

void CsvTableModel::SetTable(const std::vector<QStringList>& rows)
{
    beginResetModel();
    m_header = rows.empty() ? QStringList() : rows.front();
    m_rows.assign(rows.begin() + (rows.empty() ? 0 : 1), rows.end());
    m_order.resize(m_rows.size());
    std::iota(m_order.begin(), m_order.end(), 0);
    endResetModel();
}

int CsvTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int CsvTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_header.size());
}

QVariant CsvTableModel::data(const QModelIndex& index, int role) const
{
    const QString field = Field(FileRow(index.row()), index.column());
    if (role == Qt::DisplayRole) return field;
    if (role == Qt::TextAlignmentRole) {
        return QVariant::fromValue(Qt::AlignVCenter | (NumberOf(field) ? Qt::AlignRight : Qt::AlignLeft));
    }
    return {};
}

QVariant CsvTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Vertical) return section + 1;
    return section >= 0 && section < m_header.size() ? QVariant(m_header[section]) : QVariant();
}

void CsvTableModel::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= m_header.size()) return;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<int> fileRows;
    for (const QModelIndex& index : before) fileRows.push_back(FileRow(index.row()));

    std::iota(m_order.begin(), m_order.end(), 0);
    std::vector<std::optional<double>> keys;
    for (const QStringList& row : m_rows) keys.push_back(NumberOf(column < row.size() ? row[column] : QString()));
    std::stable_sort(m_order.begin(), m_order.end(), [&keys, order](int a, int b) {
        if (!keys[a] || !keys[b]) return keys[a].has_value() && !keys[b].has_value();
        return order == Qt::AscendingOrder ? *keys[a] < *keys[b] : *keys[a] > *keys[b];
    });

    QModelIndexList after;
    for (int i = 0; i < before.size(); ++i) after << index(ViewRow(fileRows[i]), before[i].column());
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

int CsvTableModel::FileRow(int viewRow) const
{
    return viewRow >= 0 && viewRow < static_cast<int>(m_order.size()) ? m_order[viewRow] : -1;
}

int CsvTableModel::ViewRow(int fileRow) const
{
    const auto at = std::find(m_order.begin(), m_order.end(), fileRow);
    return at == m_order.end() ? -1 : static_cast<int>(at - m_order.begin());
}

QString CsvTableModel::Field(int fileRow, int column) const
{
    if (fileRow < 0 || fileRow >= static_cast<int>(m_rows.size())) return {};
    const QStringList& row = m_rows[fileRow];
    return column >= 0 && column < row.size() ? row[column] : QString();
}

}  // namespace halvane
