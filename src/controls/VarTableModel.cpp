#include "controls/VarTableModel.h"

namespace brindle {

VarTableModel::VarTableModel(TdxMemData* table, QObject* parent)
    : QAbstractTableModel(parent),
      m_table(table),
      m_titles{QStringLiteral("Variable"), QStringLiteral("Variable Label"),
               QStringLiteral("Missing"), QStringLiteral("Format"), QString()} {
  if (m_table != nullptr) m_table->AddListener(this);
  m_rows = LiveRowCount();
}

VarTableModel::~VarTableModel() {
  if (m_table != nullptr) m_table->RemoveListener(this);
}

int VarTableModel::LiveRowCount() const {
  if (m_table == nullptr || !m_enabled || !m_table->Active()) return 0;
  return m_table->RecordCount();
}

void VarTableModel::SetEnabled(bool enabled) {
  if (enabled == m_enabled) return;
  m_enabled = enabled;
  ViewReset();
}

int VarTableModel::FieldOfColumn(int column) {
  switch (column) {
    case 0:
      return kVarName;
    case 1:
      return kVarLabel;
    case 2:
      return kMissingValues;
    case 3:
      return kPrintFmt;
    default:
      return -1;
  }
}

QString VarTableModel::Title(int column) const {
  return column >= 0 && column < kColumns ? m_titles[static_cast<std::size_t>(column)] : QString();
}

void VarTableModel::SetTitle(int column, const QString& title) {
  if (column < 0 || column >= kColumns) return;
  m_titles[static_cast<std::size_t>(column)] = title;
  emit headerDataChanged(Qt::Horizontal, column, column);
}

QString VarTableModel::CellText(int row, int column) const {
  // Rows are checked against the count the views know: while the table's
  // views are suspended its content may already differ.
  if (row < 0 || row >= m_rows || m_table == nullptr) return QString();
  const VarRecord* rec = m_table->ViewRecord(row);
  if (rec == nullptr) return QString();
  switch (column) {
    case 0:
      return QString::fromStdString(rec->VarName);
    case 1:
      return QString::fromStdString(rec->VarLabel);
    case 2:
      return QString::fromStdString(rec->MissingValues);
    case 3:
      return QString::fromStdString(rec->PrintFmt);
    default:
      return QString();
  }
}

int VarTableModel::CurrentRow() const {
  if (m_rows == 0 || m_table == nullptr) return -1;
  const int row = m_table->RecNo() - 1;
  return row >= 0 && row < m_rows ? row : -1;
}

int VarTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : m_rows;
}

int VarTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumns;
}

QVariant VarTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || role != Qt::DisplayRole) return QVariant();
  return CellText(index.row(), index.column());
}

QVariant VarTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole || orientation != Qt::Horizontal) return QVariant();
  return Title(section);
}

Qt::ItemFlags VarTableModel::flags(const QModelIndex& index) const {
  return index.isValid() ? Qt::ItemIsEnabled : Qt::NoItemFlags;
}

void VarTableModel::ViewReset() {
  beginResetModel();
  m_rows = LiveRowCount();
  endResetModel();
  emit currentRowChanged(CurrentRow());
}

void VarTableModel::CurrentChanged() { emit currentRowChanged(CurrentRow()); }

}  // namespace brindle
