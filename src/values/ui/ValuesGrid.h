// The values grid: five read-only text columns whose title row is the
// horizontal header, the texts of each column kept in a list so that rows can
// be re-sorted and the fill order restored, and a hint with the whole text of
// a clipped cell. The cells live in a ValuesGridModel, column by column, so a
// table of millions of rows loads and clears without per-cell work.
//
// Coordinates (x, y) given to and by this grid are in the grid widget's own
// coordinates, with the title row at the top.
#pragma once

#include <QColor>
#include <QPoint>
#include <QStringList>
#include <QTableView>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "controls/GridBase.h"

class QKeyEvent;

namespace brindle {

class ValuesGridModel;
class ValueRows;

class ValuesGrid : public GridBase {
  Q_OBJECT

 public:
  static constexpr int kColumns = 5;

  explicit ValuesGrid(QWidget* parent = nullptr);
  ~ValuesGrid() override;

  // Rows as the program counts them: row 0 is the title row, 1.. data rows.
  int RowCount() const;
  // Values below 1 count as 1 (the title row alone).
  void SetRowCount(int rows);

  // Text of a cell; row 0 is the title. Empty outside the grid.
  QString Cell(int col, int row) const;
  // Ignored outside the grid.
  void SetCell(int col, int row, const QString& text);

  int ColWidth(int col) const;
  void SetColWidth(int col, int width);
  int DefaultRowHeight() const;
  void SetDefaultRowHeight(int height);

  // Texts of the five columns in fill order: entry 0 the title, 1.. data rows.
  std::array<QStringList, kColumns> ColumnLists;
  // Empties the lists, drops the table and the cells of every data row;
  // titles stay. Costs no more than releasing the texts.
  void ClearRows();
  // A table of rows rendered when shown: its rows are the data rows in fill
  // order, after the lists' titles (the lists then hold only the titles).
  // Takes effect with the next LoadColumnsFromLists.
  void SetTable(std::shared_ptr<const ValueRows> rows);
  const std::shared_ptr<const ValueRows>& Table() const { return m_table; }
  // Fill-order entries, the title included: the lists' or 1 + the table's.
  int FillRows() const;
  // Entry of the fill order (0 the title); empty outside.
  QString FillText(int col, int entry) const;
  // The fill-order data row (0 the first) that grid row row (1..) shows.
  int FillRowOf(int row) const;
  // Appends one text to each column's list.
  void AddRow(const QString& label, const QString& value, const QString& count,
              const QString& pctTotal, const QString& pctValid);
  // Entry k of the column's list becomes the cell of row k for every k below
  // RowCount(); rows beyond the list keep their text. A list that covers the
  // column is shared with the grid, not copied.
  void LoadColumnFromList(int col);
  void LoadColumnsFromLists();
  // Shows the data rows in another order without touching the lists: grid
  // row k + 1 gets entry order[k] + 1 of every list. Each column is loaded
  // whole, so millions of rows cost one pass per column.
  void ShowRowsInOrder(const std::vector<std::int32_t>& order);

  // Column 1 takes the room of both saved widths and column 0 gets width 0.
  void HideLabelColumn();
  // Columns 0 and 1 get their saved widths back.
  void RestoreLabelColumn();
  // Between HideLabelColumn and the next RestoreLabelColumn.
  bool LabelColumnHidden() const { return m_labelColumnHidden; }
  int SavedLabelWidth = 0;
  int SavedValueWidth = 0;

  // The selected block in grid rows (data rows 1..); left -1 when no cell is selected.
  struct GridRect {
    int left = -1, top = 1, right = -1, bottom = 1;
  };
  GridRect Selection() const;
  // Selects the block (clamped to the data cells); left -1 selects nothing.
  void SetSelection(GridRect rect);
  void SelectNone();

  // The cell at a point in the grid's own coordinates (as the mouse handlers
  // receive them); row 0 for the title row. False (col = row = -1) off the cells.
  bool CellAt(QPoint pos, int& col, int& row) const;
  // Whether a press at (x, y) would start resizing a column (on a title border).
  bool IsColumnBorder(int x, int y) const;

  // Handlers; nullptr = detached.
  std::function<void(ValuesGrid*)> OnColumnWidthChanged;
  // Fired first on every press; the grid's own handling follows.
  std::function<void(Qt::MouseButton, Qt::KeyboardModifiers, int x, int y, bool doubleClick)>
      OnMouseDown;
  // Fired first on every key press; the grid's own handling follows unless
  // the handler ignores the event (event->ignore()), which consumes the key.
  std::function<void(QKeyEvent*)> OnKeyDown;
  // Asked for every cell drawn, title row included, with the default colours
  // and alignment already filled in. The text is drawn 2 pixels inside the
  // cell's left, right and (for top alignment) top edges.
  std::function<void(int col, int row, bool selected, QColor& background, QColor& text,
                     Qt::Alignment& align)>
      OnDrawCell;

  // Typing letters does not jump to a matching cell.
  void keyboardSearch(const QString&) override {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  class CellPainter;
  class TitleRow;

  HintTarget HintCellAt(QPoint pos, QString& text, int& columnWidth) const override;
  // Handles a mouse event arriving at the viewport or the title row; true
  // when the event must not reach the base handling.
  bool RouteMouse(QWidget* from, QEvent* event);

  ValuesGridModel* m_cells = nullptr;
  std::shared_ptr<const ValueRows> m_table;
  // The order the table's rows are shown in; null for the fill order.
  std::shared_ptr<const std::vector<std::int32_t>> m_order;
  bool m_labelColumnHidden = false;
};

}  // namespace brindle
