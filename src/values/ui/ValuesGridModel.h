// The cells of the values grid as a table model: five columns of texts held
// column by column, with the title row as the horizontal header. A whole
// column can be replaced by a list of texts without touching its rows one by
// one, so a table of millions of rows loads in constant time.
//
// A column can also draw its data rows from a table of rows (ValueRows),
// rendered only when a cell is asked for, in the table's order or another.
//
// Rows here are counted as the grid counts them: row 0 is the title, rows 1..
// are data rows (model row r is grid row r + 1).
#pragma once

#include <QAbstractTableModel>
#include <QStringList>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace brindle {

// Data rows whose texts are made when they are shown.
class ValueRows {
 public:
  virtual ~ValueRows() = default;
  virtual int Count() const = 0;
  // The text of column col of data row row (0 the first, in the table's order).
  virtual QString Text(int col, int row) const = 0;
};

class ValuesGridModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  static constexpr int kColumns = 5;

  explicit ValuesGridModel(QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  // The text of a data cell for the display role; nothing for other roles.
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  // The title of a column for the horizontal header's display role.
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;
  // Selectable and enabled, never editable.
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  // Title row plus data rows; at least 1.
  int GridRows() const { return m_gridRows; }
  // Values below 1 count as 1. Rows that are added are empty; rows that are
  // removed lose their text.
  void SetGridRows(int rows);

  // Empty outside the grid or where nothing was written.
  QString Cell(int col, int row) const;
  // Ignored outside the grid.
  void SetCell(int col, int row, const QString& text);

  // Entry k of list becomes the cell of row k for every k below GridRows();
  // rows beyond the list keep their text. When the list covers at least the
  // rows the column holds, the column shares the list's data (no copy).
  void LoadColumn(int col, const QStringList& list);

  // The column's data rows come from rows: grid row k + 1 shows table row
  // order[k] (row k without an order); title stays the column's title. Rows
  // beyond the grid or the table read as empty.
  void LoadTableColumn(int col, const QString& title, std::shared_ptr<const ValueRows> rows,
                       std::shared_ptr<const std::vector<std::int32_t>> order);

  // Every data cell becomes empty; the titles stay.
  void ClearDataRows();

 private:
  void ColumnChanged(int col, int rows);
  // A column drawn from a table becomes a list of its shown texts.
  void Materialize(std::size_t c);

  // Column c's cells are the first m_used[c] entries of m_columns[c] (entry 0
  // the title); the rest of the grid reads as empty. Entries past m_used[c]
  // belong to a shared list and are never shown.
  std::array<QStringList, kColumns> m_columns;
  std::array<int, kColumns> m_used{};
  // Columns drawn from a table: m_columns[c] holds only the title.
  struct TableColumn {
    std::shared_ptr<const ValueRows> rows;
    std::shared_ptr<const std::vector<std::int32_t>> order;
  };
  std::array<TableColumn, kColumns> m_tables;
  int m_gridRows = 1;
};

}  // namespace brindle
