// The variables grid: a read-only, whole-row view of the variables table's
// view. The table is the single source of truth: the grid's current row is
// the table's cursor, its keys and presses move that cursor, and the row
// marks are record identities. Shows a hint with the whole text of a clipped
// cell.
//
// Coordinates (x, y) given to and by this grid are in the grid widget's own
// coordinates, with the title row at the top and the indicator column at the left.
#pragma once

#include <QColor>
#include <QTableView>

#include <array>
#include <functional>
#include <vector>

#include "controls/GridBase.h"
#include "variables/RowMarks.h"
#include "variables/VariableList.h"

class QKeyEvent;

namespace brindle {

class VariableTableModel;

class VariablesGrid : public GridBase {
  Q_OBJECT

 public:
  static constexpr int kColumns = 7;  // as the model has

  explicit VariablesGrid(QWidget* parent = nullptr);
  ~VariablesGrid() override;

  // Binds the grid to a table (null unbinds); drops marks. The fifth column is
  // hidden. The table must outlive the binding: whoever destroys the table
  // first unbinds it (a window holding both as members does so in its
  // destructor, since its child widgets die after its members).
  void SetDataSet(VariableList* table);
  VariableList* DataSet() const { return m_table; }
  VariableTableModel* Model() const { return m_model; }

  // The data source switch: disabled shows no rows and drops the marks.
  void SetDataSourceEnabled(bool enabled);
  bool DataSourceEnabled() const;

  // Width of a column; a hidden column keeps (and reports) the width it gets back when shown.
  int ColWidth(int col) const;
  void SetColWidth(int col, int width);
  bool ColVisible(int col) const;
  void SetColVisible(int col, bool visible);
  QString ColTitle(int col) const;
  void SetColTitle(int col, const QString& title);
  // Whether titles may be dragged to move columns.
  bool ColMoving() const { return m_colMoving; }
  void SetColMoving(bool on);

  // Row marks. Switching multi-select off drops them; while it is off they
  // are not drawn (nor changed by keys and presses) but still exist.
  bool MultiSelect() const { return m_multiSelect; }
  void SetMultiSelect(bool on);
  // Marked records, ordered by their positions in the table.
  const std::vector<Bookmark>& SelectedRows() const { return m_marks.Items(); }
  bool IsMarked(Bookmark bm) const { return m_marks.Contains(bm); }
  void Mark(Bookmark bm);
  void Unmark(Bookmark bm);
  void ToggleMark(Bookmark bm);
  // Drops every mark and forgets the Shift anchor.
  void ClearMarks();

  // Number of data rows that fit the visible area (at least 1).
  int VisibleRowCount() const;
  // Grid row at y: 0 the title row, 1.. data rows counted from the top
  // visible row, -1 below the last row or outside.
  int GridRowAt(int y) const;
  // 1-based position in the table's view of a grid row; 0 when none.
  int ViewPositionOfGridRow(int gridRow) const;

  // Handlers; nullptr = detached.
  // Fired first on every press; the grid's own handling follows except for
  // the right button and for the left button with Shift held.
  std::function<void(VariablesGrid*, Qt::MouseButton, Qt::KeyboardModifiers, int x, int y,
                     bool doubleClick)>
      OnMouseDown;
  // Fired first on every key press; the grid's own movement and marks follow
  // unless the handler ignores the event (event->ignore()), which consumes the key.
  std::function<void(QKeyEvent*)> OnKeyDown;
  // Left button released over a title, unless the press began a column resize.
  std::function<void(int column)> OnTitleClick;
  std::function<void(VariablesGrid*)> OnColumnWidthChanged;
  // Asked for every data cell drawn, with the default colours filled in.
  std::function<void(const VarRecord& rec, int col, bool selected, bool marked, QColor& background,
                     QColor& text)>
      OnDrawColumnCell;

  int DefaultRowHeight() const;
  void SetDefaultRowHeight(int height);
  // Typing letters does not jump to a matching row.
  void keyboardSearch(const QString&) override {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  class CellPainter;
  class Indicator;

  HintTarget HintCellAt(QPoint pos, QString& text, int& columnWidth) const override;
  bool RouteMouse(QWidget* from, QEvent* event);
  void OwnPress(Qt::MouseButton button, Qt::KeyboardModifiers mods, int gridRow);
  void OwnKey(QKeyEvent* event);
  void FollowCursor(int row);
  int TopRow() const;

  VariableList* m_table = nullptr;
  VariableTableModel* m_model = nullptr;
  Indicator* m_indicator = nullptr;
  RowMarks m_marks;
  bool m_multiSelect = true;
  bool m_colMoving = true;
  bool m_swallowRelease = false;  // the press was kept from the title row's own handling
  bool m_titlePressed = false;    // a left press on a title, not on a border
  int m_currentRow = -1;          // 0-based row of the table's cursor as last reported
  std::array<int, kColumns> m_hiddenWidth{};
};

}  // namespace brindle
