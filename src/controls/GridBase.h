// What the variables grid and the values grid share: a hint with the whole
// text of a clipped cell under the pointer, the mouse moves handed to
// OnMouseMove, and the title borders that a press would resize.
#pragma once

#include <QPoint>
#include <QString>
#include <QTableView>

class QHeaderView;

#include <functional>

namespace brindle {

class HintWindow;

class GridBase : public QTableView {
  Q_OBJECT

 public:
  ~GridBase() override;

  bool CellHints() const { return m_cellHints; }
  // Turning hints off hides a shown hint.
  void SetCellHints(bool on);
  // Shows the hint for the cell at (x, y) in the grid's coordinates when its
  // text is clipped (the column is narrower than the text width + 2), hides
  // it otherwise.
  void ShowCellHint(int x, int y);
  bool HintShown() const;
  QString HintText() const;
  QPoint HintScreenPos() const;

  // A column's design width, widened where the grid's font needs more for
  // the column's title.
  int FitTitle(const QString& title, int designWidth) const;

  // The platform's sort mark in a column's title, after the rows were sorted
  // by it; hidden while they are in their natural order. The title row's own
  // click handling never turns it: the grid's sort decides.
  void ShowSortIndicator(int column, bool descending);
  void HideSortIndicator();
  // The marked column, -1 when none is marked.
  int SortIndicatorColumn() const { return m_sortColumn; }
  bool SortIndicatorDescending() const { return m_sortOrder == Qt::DescendingOrder; }

  // Handler of mouse moves over the grid, in its coordinates; nullptr = detached.
  std::function<void(Qt::KeyboardModifiers, int x, int y)> OnMouseMove;

 protected:
  explicit GridBase(QWidget* parent);

  enum class HintTarget { Cell, None, Unchanged };
  // The cell under pos (grid coordinates) that a hint would show: its text
  // and column width with Cell; None hides a shown hint, Unchanged leaves it.
  virtual HintTarget HintCellAt(QPoint pos, QString& text, int& columnWidth) const = 0;

  void HideHint();
  // A mouse move at (x, y) in the grid's coordinates: the handler, then the hint.
  void MouseMoved(Qt::KeyboardModifiers mods, int x, int y);
  // Whether x (in the title row's viewport) lies on a border between titles.
  bool OnTitleBorder(int x) const;

 private:
  // Puts the title row's sort mark where m_sortColumn says.
  void applySortIndicator();

  HintWindow* m_hint = nullptr;
  bool m_cellHints = false;
  int m_sortColumn = -1;
  Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
  QHeaderView* m_watchedTitles = nullptr;
};

}  // namespace brindle
