// The Qt model over the variables table: the grid reads the records of the
// table's view on demand and never holds a copy of them.
#pragma once

#include <QAbstractTableModel>
#include <QPixmap>
#include <QString>

#include <array>

#include "variables/VariableList.h"

namespace brindle {

class VariableTableModel : public QAbstractTableModel, public TableViewListener {
  Q_OBJECT

 public:
  // Name, label, missing values, format, an empty column (hidden), measure, role.
  static constexpr int kColumns = 7;
  static constexpr int kMeasureColumn = 5;
  static constexpr int kRoleColumn = 6;

  // Registers itself as a listener of the table; table may be null (no rows).
  explicit VariableTableModel(VariableList* table, QObject* parent = nullptr);
  ~VariableTableModel() override;

  VariableList* Table() const { return m_table; }

  // The data source switch: while disabled the model has no rows.
  void SetEnabled(bool enabled);
  bool Enabled() const { return m_enabled; }

  // Field of the table shown in a column: VarName, VarLabel, MissingValues,
  // PrintFmt, Measure, Role; -1 for the fifth column and any other.
  static int FieldOfColumn(int column);

  QString Title(int column) const;
  void SetTitle(int column, const QString& title);

  // The text a cell shows; empty for a row or column outside the model.
  QString CellText(int row, int column) const;
  // The small picture beside a measurement level (nominal, ordinal, scale);
  // a null pixmap for none.
  static QPixmap MeasureIcon(int measure);
  // 0-based row of the table's current record as last reported; -1 when none.
  int CurrentRow() const;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  // TableViewListener
  void ViewReset() override;
  void CurrentChanged() override;

 signals:
  // The table's cursor moved to another row (0-based; -1 when the view is empty).
  void currentRowChanged(int row);

 private:
  int LiveRowCount() const;

  VariableList* m_table = nullptr;
  bool m_enabled = true;
  int m_rows = 0;  // the row count the views were last told about
  std::array<QString, kColumns> m_titles;
};

}  // namespace brindle
