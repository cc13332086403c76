// TForm1's handlers of the variables grid and of its table's cursor moves.
// The records, their order and the cursor belong to VarMemData; the marks to
// the grid.
#include <QAction>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>

#include <algorithm>

#include "app/MainWindow.h"
#include "controls/BxDBGrid.h"
#include "controls/ValStringGrid.h"
#include "platform/WaitCursor.h"
#include "variables/BulkScan.h"
#include "variables/VarRecord.h"

namespace brindle {

namespace {

// Field shown in each grid column; the fifth column shows none.
const char* const kColumnFields[] = {"VarName", "VarLabel", "MissingValues", "PrintFmt"};
constexpr int kFieldColumns = 4;

// Room kept free beside the columns so that up to three hidden columns,
// each counted as -1 below, never push the last column past the edge.
constexpr int kHiddenColumnSpare = 3;

// What the grid's frame, indicator and a shown scroll bar take from its width.
int VarGridChrome(const TBxDBGrid* grid) {
  return grid->width() - grid->viewport()->width() + kHiddenColumnSpare;
}

}  // namespace

void TForm1::VarMemDataAfterScroll() {
  StringGrid1->scrollToTop();
  SetStatusText(0, QStringLiteral("%1/%2").arg(VarMemData.RecNo()).arg(NumVars));
  const VarRecord* rec = VarMemData.Current();
  SetStatusText(1, rec ? QString::fromStdString(rec->VarLabel) : QString());
  SortKey = 1;
  SortDescending = false;
  if (m_frequenciesMode)
    ShowFrequencies();
  else
    ShowValueLabels();
}

void TForm1::SortVariables(const std::string& fieldName) {
  WaitCursor wait;
  const bool frequencies = m_frequenciesMode;
  m_frequenciesMode = false;
  VarGrid->ClearMarks();
  {
    BulkScan scan(VarMemData, BulkScan::Cursor::Keep);
    SortOptionSet options = VarMemData.SortOptions();
    if (fieldName != VarMemData.SortedField() || options.Contains(soDesc))
      options.Exclude(soDesc);
    else
      options.Include(soDesc);
    VarMemData.SetSortOptions(options);
    VarMemData.SetSortedField(fieldName);
  }
  m_frequenciesMode = frequencies;
  VarMemData.First();
}

void TForm1::VarGridTitleClick(int column) {
  if (column < 0 || column >= kFieldColumns) return;
  SortVariables(kColumnFields[column]);
}

void TForm1::VarGridDrawColumnCell(const VarRecord& rec, int, bool selected, bool marked,
                                   QColor& background, QColor& text) {
  if (selected) {
    background = QColor(0, 0, 128);
    text = QColor(255, 255, 0);
  } else if (rec.VarType > 0 && !marked) {
    text = QColor(0, 128, 0);
  }
}

void TForm1::VarGridKeyDown(QKeyEvent* event) {
  const int key = event->key();
  if (Counting()) {
    if (key == Qt::Key_Escape) m_runner.RequestCancel();
    return;
  }
  const bool ctrl = event->modifiers().testFlag(Qt::ControlModifier);
  switch (key) {
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
    case Qt::Key_F2:
      FocusLastFindBox();
      break;
    case Qt::Key_F:
      if (ctrl) FocusLastFindBox();
      break;
    case Qt::Key_D:
      if (ctrl && HasDocument) ShowDocBtnClick();
      break;
    case Qt::Key_N:
      if (ctrl) OpenWithRegisteredCommand();
      break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      ToggleDisplayLabels();
      break;
    case Qt::Key_Space:
      // Marks both rows whether or not multi-select is on.
      VarGrid->Mark(VarMemData.GetBookmark());
      VarMemData.Next();
      VarGrid->Mark(VarMemData.GetBookmark());
      break;
    case Qt::Key_A:
      if (ctrl) SelectAllVariablesClick();
      break;
    case Qt::Key_C:
      if (ctrl) PopupCopyClick(VarGrid);
      break;
    case Qt::Key_F3:
      if (event->modifiers() & (Qt::ShiftModifier | Qt::AltModifier))
        FindVariable(false, false);
      else
        FindVariable(true, false);
      break;
    case Qt::Key_F4:
      FindVariable(true, true);
      break;
    case Qt::Key_F5:
      SortVariables("recid");
      break;
    case Qt::Key_F8:
      Filter1->click();
      break;
    default:
      break;
  }
}

void TForm1::VarGridMouseDown(TBxDBGrid* grid, Qt::MouseButton button, Qt::KeyboardModifiers mods,
                              int x, int y, bool doubleClick) {
  if (button == Qt::RightButton) {
    // The cursor and the marks stay; the grid does nothing of its own.
    CopySelected1->menuAction()->setEnabled(true);
    PopupMenu1->popup(grid->mapToGlobal(QPoint(x, y)));
    return;
  }
  if (button != Qt::LeftButton) return;
  const int gridRow = grid->GridRowAt(y);
  if (doubleClick && gridRow > 0) ToggleDisplayLabels();

  if (mods.testFlag(Qt::ShiftModifier)) {
    const int target = grid->ViewPositionOfGridRow(gridRow);
    // Outside the data rows there is nothing to mark.
    if (gridRow <= 0 || target <= 0) return;
    grid->SetMultiSelect(true);
    grid->SetColMoving(false);
    const int anchor = VarMemData.RecNo();
    {
      BulkScan scan(VarMemData, BulkScan::Cursor::Keep);
      const int step = target >= anchor ? 1 : -1;
      for (int pos = anchor;; pos += step) {
        grid->Mark(VarMemData.BookmarkAt(pos - 1));
        if (pos == target) break;
      }
      VarMemData.First();
      VarMemData.MoveBy(target - 1);
    }
    VarMemDataAfterScroll();
  } else {
    // Ctrl marks row by row; a plain click drops every mark.
    grid->SetMultiSelect(mods.testFlag(Qt::ControlModifier));
    grid->SetColMoving(false);
  }
}

void TForm1::VarGridColumnWidthChanged() {
  if (!isVisible()) return;
  int sum = 0;
  for (int c = 0; c < TBxDBGrid::kColumns; ++c)
    sum += VarGrid->ColVisible(c) ? VarGrid->ColWidth(c) : -1;
  const int width = VarGrid->width() - VarGridChrome(VarGrid) - sum + VarGrid->ColWidth(1);
  VarGrid->SetColWidth(1, std::max(0, width));
}

void TForm1::HideFormatcolumnClick(QAction* item) {
  const int column = item->data().toInt();
  VarGrid->SetColVisible(column, item->isChecked());
  item->setChecked(!item->isChecked());
  VarGridColumnWidthChanged();
}

}  // namespace brindle
