#include "variables/ui/VariableTableModel.h"

#include <QPainter>

#include "datafile/DictionaryText.h"

namespace brindle {

VariableTableModel::VariableTableModel(VariableList* table, QObject* parent)
    : QAbstractTableModel(parent),
      m_table(table),
      m_titles{QStringLiteral("Variable"), QStringLiteral("Variable Label"),
               QStringLiteral("Missing"), QStringLiteral("Format"), QString(),
               QStringLiteral("Measure"), QStringLiteral("Role")} {
  if (m_table != nullptr) m_table->AddListener(this);
  m_rows = LiveRowCount();
}

VariableTableModel::~VariableTableModel() {
  if (m_table != nullptr) m_table->RemoveListener(this);
}

int VariableTableModel::LiveRowCount() const {
  if (m_table == nullptr || !m_enabled || !m_table->Active()) return 0;
  return m_table->RecordCount();
}

void VariableTableModel::SetEnabled(bool enabled) {
  if (enabled == m_enabled) return;
  m_enabled = enabled;
  ViewReset();
}

int VariableTableModel::FieldOfColumn(int column) {
  switch (column) {
    case 0:
      return kVarName;
    case 1:
      return kVarLabel;
    case 2:
      return kMissingValues;
    case 3:
      return kPrintFmt;
    case kMeasureColumn:
      return kMeasure;
    case kRoleColumn:
      return kRole;
    default:
      return -1;
  }
}

QString VariableTableModel::Title(int column) const {
  return column >= 0 && column < kColumns ? m_titles[static_cast<std::size_t>(column)] : QString();
}

void VariableTableModel::SetTitle(int column, const QString& title) {
  if (column < 0 || column >= kColumns) return;
  m_titles[static_cast<std::size_t>(column)] = title;
  emit headerDataChanged(Qt::Horizontal, column, column);
}

QString VariableTableModel::CellText(int row, int column) const {
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
    case kMeasureColumn:
      return QString::fromStdString(MeasureName(rec->Measure));
    case kRoleColumn:
      return QString::fromStdString(RoleName(rec->Role));
    default:
      return QString();
  }
}

int VariableTableModel::CurrentRow() const {
  if (m_rows == 0 || m_table == nullptr) return -1;
  const int row = m_table->RecNo() - 1;
  return row >= 0 && row < m_rows ? row : -1;
}

int VariableTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : m_rows;
}

int VariableTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumns;
}

QPixmap VariableTableModel::MeasureIcon(int measure) {
  if (measure < 1 || measure > 3) return QPixmap();
  static QPixmap icons[3];
  QPixmap& icon = icons[measure - 1];
  if (!icon.isNull()) return icon;
  icon = QPixmap(12, 12);
  icon.fill(Qt::transparent);
  QPainter p(&icon);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  if (measure == 1) {
    // Nominal: three unordered categories.
    p.setBrush(QColor(200, 60, 60));
    p.drawEllipse(QRectF(0.5, 0.5, 5.5, 5.5));
    p.setBrush(QColor(60, 150, 60));
    p.drawEllipse(QRectF(6, 0.5, 5.5, 5.5));
    p.setBrush(QColor(60, 90, 200));
    p.drawEllipse(QRectF(3.25, 6, 5.5, 5.5));
  } else if (measure == 2) {
    // Ordinal: three rising steps.
    p.setBrush(QColor(60, 90, 200));
    p.drawRect(QRectF(0.5, 8, 3, 3.5));
    p.drawRect(QRectF(4.5, 5, 3, 6.5));
    p.drawRect(QRectF(8.5, 1.5, 3, 10));
  } else {
    // Scale: a ruler.
    p.setBrush(QColor(220, 180, 60));
    p.drawRect(QRectF(0.5, 3.5, 11, 5));
    p.setPen(QPen(QColor(90, 70, 20), 1));
    for (int x = 2; x <= 10; x += 2)
      p.drawLine(QPointF(x + 0.5, 3.5), QPointF(x + 0.5, x % 4 ? 5.5 : 6.5));
  }
  return icon;
}

QVariant VariableTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return QVariant();
  if (role == Qt::DecorationRole && index.column() == kMeasureColumn && m_table != nullptr &&
      index.row() < m_rows) {
    const VarRecord* rec = m_table->ViewRecord(index.row());
    return rec != nullptr ? QVariant(MeasureIcon(rec->Measure)) : QVariant();
  }
  if (role != Qt::DisplayRole) return QVariant();
  return CellText(index.row(), index.column());
}

QVariant VariableTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole || orientation != Qt::Horizontal) return QVariant();
  return Title(section);
}

Qt::ItemFlags VariableTableModel::flags(const QModelIndex& index) const {
  return index.isValid() ? Qt::ItemIsEnabled : Qt::NoItemFlags;
}

void VariableTableModel::ViewReset() {
  beginResetModel();
  m_rows = LiveRowCount();
  endResetModel();
  emit currentRowChanged(CurrentRow());
}

void VariableTableModel::CurrentChanged() { emit currentRowChanged(CurrentRow()); }

}  // namespace brindle
