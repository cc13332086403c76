#include "values/ui/ValuesGridModel.h"

#include <algorithm>

namespace brindle {

namespace {

bool ValidCol(int col) { return col >= 0 && col < ValuesGridModel::kColumns; }

}  // namespace

ValuesGridModel::ValuesGridModel(QObject* parent) : QAbstractTableModel(parent) {}

int ValuesGridModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : m_gridRows - 1;
}

int ValuesGridModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumns;
}

QVariant ValuesGridModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid()) return {};
  return Cell(index.column(), index.row() + 1);
}

QVariant ValuesGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole || orientation != Qt::Horizontal) return {};
  return Cell(section, 0);
}

Qt::ItemFlags ValuesGridModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;
}

void ValuesGridModel::SetGridRows(int rows) {
  rows = std::max(rows, 1);
  if (rows == m_gridRows) return;
  if (rows < m_gridRows) {
    beginRemoveRows(QModelIndex(), rows - 1, m_gridRows - 2);
    m_gridRows = rows;
    // Entries past the new end stay stored but are no longer cells, so rows
    // added again later come back empty.
    for (int& used : m_used) used = std::min(used, rows);
    endRemoveRows();
  } else {
    beginInsertRows(QModelIndex(), m_gridRows - 1, rows - 2);
    m_gridRows = rows;
    endInsertRows();
  }
}

QString ValuesGridModel::Cell(int col, int row) const {
  if (!ValidCol(col) || row < 0 || row >= m_used[static_cast<std::size_t>(col)]) return {};
  const TableColumn& table = m_tables[static_cast<std::size_t>(col)];
  if (row == 0 || !table.rows) return m_columns[static_cast<std::size_t>(col)].at(row);
  int at = row - 1;
  if (table.order) {
    if (static_cast<std::size_t>(at) >= table.order->size()) return {};
    at = (*table.order)[static_cast<std::size_t>(at)];
  }
  return at >= 0 && at < table.rows->Count() ? table.rows->Text(col, at) : QString();
}

void ValuesGridModel::Materialize(std::size_t c) {
  if (!m_tables[c].rows) return;
  QStringList cells;
  cells.reserve(m_used[c]);
  for (int row = 0; row < m_used[c]; ++row) cells.append(Cell(static_cast<int>(c), row));
  m_tables[c] = {};
  m_columns[c] = std::move(cells);
}

void ValuesGridModel::LoadTableColumn(int col, const QString& title,
                                     std::shared_ptr<const ValueRows> rows,
                                     std::shared_ptr<const std::vector<std::int32_t>> order) {
  if (!ValidCol(col)) return;
  const auto c = static_cast<std::size_t>(col);
  const int count = rows ? (order ? static_cast<int>(order->size()) : rows->Count()) : 0;
  m_columns[c] = QStringList{title};
  m_tables[c] = {std::move(rows), std::move(order)};
  m_used[c] = std::min(count + 1, m_gridRows);
  ColumnChanged(col, m_used[c]);
}

void ValuesGridModel::SetCell(int col, int row, const QString& text) {
  if (!ValidCol(col) || row < 0 || row >= m_gridRows) return;
  const auto c = static_cast<std::size_t>(col);
  if (row > 0) Materialize(c);
  QStringList& cells = m_columns[c];
  int& used = m_used[c];
  if (row >= used) {
    if (text.isEmpty()) return;
    // Hidden entries of a formerly shared list must not reappear as cells.
    cells.resize(used);
    cells.resize(row + 1);
    used = row + 1;
  }
  cells[row] = text;
  if (row == 0) {
    emit headerDataChanged(Qt::Horizontal, col, col);
  } else {
    const QModelIndex at = index(row - 1, col);
    emit dataChanged(at, at, {Qt::DisplayRole});
  }
}

void ValuesGridModel::LoadColumn(int col, const QStringList& list) {
  if (!ValidCol(col)) return;
  const auto c = static_cast<std::size_t>(col);
  const int n = std::min(static_cast<int>(list.size()), m_gridRows);
  if (n == 0) return;
  if (n >= m_used[c]) {
    m_tables[c] = {};
    m_columns[c] = list;
    m_used[c] = n;
  } else {
    // A shorter list overwrites only its rows; the rest keep their text.
    Materialize(c);
    QStringList& cells = m_columns[c];
    for (int k = 0; k < n; ++k) cells[k] = list.at(k);
  }
  ColumnChanged(col, n);
}

void ValuesGridModel::ClearDataRows() {
  for (std::size_t c = 0; c < kColumns; ++c) {
    if (m_tables[c].rows) {
      m_tables[c] = {};
      m_used[c] = std::min(m_used[c], 1);
    }
    if (m_columns[c].size() <= 1) continue;
    // Dropping the list frees a whole table at once (or only a reference
    // when the grid's owner still holds it).
    m_columns[c] = m_used[c] > 0 ? QStringList{m_columns[c].at(0)} : QStringList();
    m_used[c] = std::min(m_used[c], 1);
  }
  if (m_gridRows > 1)
    emit dataChanged(index(0, 0), index(m_gridRows - 2, kColumns - 1), {Qt::DisplayRole});
}

void ValuesGridModel::ColumnChanged(int col, int rows) {
  emit headerDataChanged(Qt::Horizontal, col, col);
  if (rows > 1) emit dataChanged(index(0, col), index(rows - 2, col), {Qt::DisplayRole});
}

}  // namespace brindle
