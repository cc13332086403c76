// The data page's table model over a CaseView: one row per case, one column
// per variable of the view. The grid asks only for the cells it draws; a
// cell whose block is not decoded yet is empty and fills in when the block
// arrives (the block cache tells the model on a pool thread; the model
// hands that over to its own thread).
#pragma once

#include <QAbstractTableModel>
#include <QColor>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

namespace brindle {

class CaseView;

class CasesModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  explicit CasesModel(QObject* parent = nullptr);
  ~CasesModel() override;

  // Shows view (null: nothing); the model does not own it, and the view
  // must stay until it is replaced here.
  void setView(CaseView* view);
  CaseView* view() const { return m_view; }
  // The columns or the cells' texts changed.
  void refresh();
  // The row order changed (a sort).
  void reorder();

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  // The colour of user-missing values.
  static QColor missingColor() { return QColor(190, 0, 0); }

 signals:
  // Blocks arrived or the row count changed (after the model took it in).
  void casesArrived();

 private:
  // On the model's thread: takes in what the block cache found.
  void takeArrivals();

  CaseView* m_view = nullptr;
  int m_rows = 0;
  std::shared_ptr<std::atomic<bool>> m_pending;
  mutable std::string m_text;
};

}  // namespace brindle
