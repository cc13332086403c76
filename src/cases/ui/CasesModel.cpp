#include "cases/ui/CasesModel.h"

#include <QMetaObject>
#include <QPointer>

#include <algorithm>
#include <climits>

#include "cases/CaseView.h"

namespace brindle {

CasesModel::CasesModel(QObject* parent) : QAbstractTableModel(parent) {}

CasesModel::~CasesModel() { setView(nullptr); }

void CasesModel::setView(CaseView* view) {
  beginResetModel();
  if (m_view) m_view->blocks().setNotify(nullptr);
  m_view = view;
  // A notification that comes after the view went finds the flag of its own
  // view, not the next one's.
  m_pending = std::make_shared<std::atomic<bool>>(false);
  m_rows = view ? int(std::min<std::int64_t>(view->rowCount(), INT_MAX)) : 0;
  if (m_view) {
    QPointer<CasesModel> self(this);
    std::shared_ptr<std::atomic<bool>> pending = m_pending;
    m_view->blocks().setNotify([self, pending] {
      // Many blocks arriving at once make one update.
      if (pending->exchange(true)) return;
      QMetaObject::invokeMethod(
          self.data(),
          [self, pending] {
            if (!self || self->m_pending != pending) return;
            pending->store(false);
            self->takeArrivals();
          },
          Qt::QueuedConnection);
    });
  }
  endResetModel();
}

void CasesModel::takeArrivals() {
  if (!m_view) return;
  const int rows = int(std::min<std::int64_t>(m_view->rowCount(), INT_MAX));
  // A sort's order covers the cases it sorted; rows found since then wait
  // for the next sort.
  const int shown = m_view->order().empty() ? rows : std::min<int>(rows, int(m_view->order().size()));
  if (shown > m_rows) {
    beginInsertRows(QModelIndex(), m_rows, shown - 1);
    m_rows = shown;
    endInsertRows();
  } else if (shown < m_rows) {
    beginRemoveRows(QModelIndex(), shown, m_rows - 1);
    m_rows = shown;
    endRemoveRows();
  }
  if (m_rows > 0 && columnCount() > 0)
    emit dataChanged(index(0, 0), index(m_rows - 1, columnCount() - 1), {Qt::DisplayRole});
  emit casesArrived();
}

void CasesModel::refresh() {
  beginResetModel();
  m_rows = m_view ? int(std::min<std::int64_t>(m_view->rowCount(), INT_MAX)) : 0;
  endResetModel();
}

void CasesModel::reorder() {
  if (m_rows > 0 && columnCount() > 0)
    emit dataChanged(index(0, 0), index(m_rows - 1, columnCount() - 1));
  emit headerDataChanged(Qt::Vertical, 0, std::max(0, m_rows - 1));
}

int CasesModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : m_rows;
}

int CasesModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() || !m_view ? 0 : int(m_view->columnCount());
}

QVariant CasesModel::data(const QModelIndex& index, int role) const {
  if (!m_view || !index.isValid()) return {};
  const std::size_t column = std::size_t(index.column());
  switch (role) {
    case Qt::DisplayRole:
    case Qt::ForegroundRole: {
      m_text.clear();
      bool missing = false;
      const CellState state = m_view->cell(index.row(), column, m_text, &missing);
      if (role == Qt::ForegroundRole) return missing ? QVariant(missingColor()) : QVariant();
      if (state != CellState::Shown) return QString();
      return QString::fromUtf8(m_text.data(), qsizetype(m_text.size()));
    }
    case Qt::TextAlignmentRole:
      return m_view->format(column).isString()
                 ? QVariant(int(Qt::AlignLeft | Qt::AlignVCenter))
                 : QVariant(int(Qt::AlignRight | Qt::AlignVCenter));
    default:
      return {};
  }
}

QVariant CasesModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (!m_view) return {};
  if (orientation == Qt::Vertical) {
    if (role == Qt::DisplayRole) return QString::number(m_view->caseAt(section) + 1);
    if (role == Qt::TextAlignmentRole) return int(Qt::AlignRight | Qt::AlignVCenter);
    return {};
  }
  if (section < 0 || section >= columnCount()) return {};
  if (role == Qt::DisplayRole) return QString::fromStdString(m_view->name(std::size_t(section)));
  if (role == Qt::ToolTipRole) {
    const std::string& label = m_view->label(std::size_t(section));
    return label.empty() ? QVariant() : QVariant(QString::fromStdString(label));
  }
  return {};
}

}  // namespace brindle
