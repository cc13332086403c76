// TForm1's handlers whose state a pane owns: each hands the event to the
// pane, or, where an event concerns several panes, says which does what.
#include <QAction>
#include <QCheckBox>
#include <QKeyEvent>

#include "app/MainWindow.h"
#include "app/ToolImages.h"
#include "controls/BxDBGrid.h"
#include "controls/ValStringGrid.h"
#include "platform/WaitCursor.h"
#include "variables/VarRecord.h"

namespace brindle {

// --- Weighting controls -----------------------------------------------------

void TForm1::WComboBoxDropDown() {
  Weighting.WComboBoxDropDown(Variables.VarMemData, WeightVarName);
}
void TForm1::WComboBoxChange(int index) { Weighting.WComboBoxChange(index); }
void TForm1::WeightBtnClick(bool down) { Weighting.WeightBtnClick(down); }
void TForm1::ResetWeighting() { Weighting.Reset(); }

// --- Variables pane ---------------------------------------------------------

void TForm1::FocusLastFindBox() { Variables.FocusLastFindBox(); }
bool TForm1::FindVariable(bool forward, bool fromEnd) {
  return Variables.FindVariable(forward, fromEnd);
}
void TForm1::RepFindBtn1Click(QAction* sender) { Variables.RepFindBtn1Click(sender); }
bool TForm1::Edit1KeyDown(QLineEdit* box, QKeyEvent* event) {
  return Variables.Edit1KeyDown(box, event);
}
void TForm1::Edit2Enter(QLineEdit* box) { Variables.Edit2Enter(box); }
void TForm1::Filter1Click() { Variables.Filter1Click(); }
void TForm1::VarMemDataFilterRecord(bool& accept) { Variables.VarMemDataFilterRecord(accept); }
void TForm1::PopupCopyClick(QObject* sender) { Variables.PopupCopyClick(sender); }
void TForm1::SelectAllVariablesClick() { Variables.SelectAllVariablesClick(); }
void TForm1::VarGridColumnWidthChanged() { Variables.VarGridColumnWidthChanged(); }
void TForm1::HideFormatcolumnClick(QAction* item) { Variables.HideFormatcolumnClick(item); }
void TForm1::VarGridDrawColumnCell(const VarRecord& rec, int, bool selected, bool marked,
                                   QColor& background, QColor& text) {
  Variables.VarGridDrawColumnCell(rec, selected, marked, background, text);
}
void TForm1::VarGridTitleClick(int column) {
  const std::string field = VariablesPane::ColumnField(column);
  if (!field.empty()) SortVariables(field);
}

void TForm1::VarMemDataAfterScroll() {
  TdxMemData& table = Variables.VarMemData;
  Values.StartVariable();
  RefreshVariableDetails();
  SetStatusText(0, QStringLiteral("%1/%2").arg(table.RecNo()).arg(NumVars));
  const VarRecord* rec = table.Current();
  SetStatusText(1, rec ? QString::fromStdString(rec->VarLabel) : QString());
  if (Values.FrequenciesMode)
    ShowFrequencies();
  else
    ShowValueLabels();
}

void TForm1::SortVariables(const std::string& fieldName) {
  WaitCursor wait;
  // The values pane follows the first row once, after the sort.
  const bool frequencies = Values.FrequenciesMode;
  Values.FrequenciesMode = false;
  Variables.SortVariables(fieldName);
  Values.FrequenciesMode = frequencies;
  Variables.VarMemData.First();
}

void TForm1::VarGridKeyDown(QKeyEvent* event) {
  const int key = event->key();
  if (Counting()) {
    if (key == Qt::Key_Escape) Values.Runner.RequestCancel();
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
      Variables.MarkAndMoveOn();
      break;
    case Qt::Key_A:
      if (ctrl) SelectAllVariablesClick();
      break;
    case Qt::Key_C:
      if (ctrl) PopupCopyClick(Variables.VarGrid);
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
      Variables.Filter1->click();
      break;
    default:
      break;
  }
}

void TForm1::VarGridMouseDown(TBxDBGrid* grid, Qt::MouseButton button, Qt::KeyboardModifiers mods,
                              int x, int y, bool doubleClick) {
  if (button == Qt::RightButton) {
    Variables.ShowPopupMenu(x, y);
    return;
  }
  if (button != Qt::LeftButton) return;
  const int gridRow = grid->GridRowAt(y);
  if (doubleClick && gridRow > 0) ToggleDisplayLabels();
  if (mods.testFlag(Qt::ShiftModifier))
    Variables.MarkRangeTo(gridRow);
  else
    Variables.SetMarking(mods.testFlag(Qt::ControlModifier));
}

// --- Values pane ------------------------------------------------------------

void TForm1::ShowValueLabels() {
  if (Counting() || !HoldFile()) return;
  Values.ShowValueLabels(File.get(), m_separators);
}

void TForm1::ShowFrequencies() {
  if (Counting()) return;
  // A file without cases to count has no table to show: the pane is emptied
  // rather than left showing another variable's or another file's table.
  if (NumCases < 1 || !Variables.VarMemData.Current()) {
    Values.ShowNoFrequencies();
    return;
  }
  if (!HoldFile()) return;
  const FrequencyPass pass =
      MakeFrequencyPass(File, NumCases, UsePrintFormat->isChecked(), m_separators);
  // The user moved during the pass: the pane follows now, unless the window
  // is about to close.
  const bool moved = Values.ShowFrequencies(pass);
  updateWarningCount();
  if (moved && !m_closeAfterPass) VarMemDataAfterScroll();
  if (m_closeAfterPass) {
    m_closeAfterPass = false;
    close();
  }
}

void TForm1::ToggleDisplayLabels() {
  if (Values.FrequencyTableShown)
    ShowValueLabels();
  else
    ShowFrequencies();
}

void TForm1::FrequenciesShownClick() {
  FrequenciesShown->setChecked(!FrequenciesShown->isChecked());
  Values.FrequenciesMode = FrequenciesShown->isChecked();
  FrequenciesBtn->setChecked(Values.FrequenciesMode);
  if (Values.FrequenciesMode) {
    FrequenciesBtn->setToolTip(QStringLiteral("Display value labels"));
    FrequenciesBtn->setIcon(ToolImage(11));
  } else {
    FrequenciesBtn->setToolTip(QStringLiteral("Display frequencies"));
    FrequenciesBtn->setIcon(ToolImage(10));
  }
}

void TForm1::StringGrid1ColumnWidthChanged() { Values.StringGrid1ColumnWidthChanged(); }
void TForm1::SortValuesGrid(int key) { Values.SortValuesGrid(key); }
void TForm1::SortRowsByLabel(bool descending) { Values.SortRowsByLabel(descending); }
void TForm1::SortRowsByCount(bool descending) { Values.SortRowsByCount(descending); }
void TForm1::CopySelectionToClip(QObject* sender) { Values.CopySelectionToClip(sender); }
void TForm1::Copy1Click() { Values.Copy1Click(); }
void TForm1::SelectAllValuesClick() { Values.SelectAllValuesClick(); }
void TForm1::Memo1KeyDown(QKeyEvent* event) { Values.Memo1KeyDown(event); }
void TForm1::StringGrid1DrawCell(int col, int row, bool selected, QColor& background, QColor& text,
                                 Qt::Alignment& align) {
  Values.StringGrid1DrawCell(col, row, selected, background, text, align);
}

void TForm1::StringGrid1MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers, int x, int y,
                                  bool doubleClick) {
  if (Values.StringGrid1MouseDown(button, x, y, doubleClick)) ToggleDisplayLabels();
}

void TForm1::StringGrid1KeyDown(QKeyEvent* event) {
  const bool ctrl = event->modifiers().testFlag(Qt::ControlModifier);
  bool acted = true;
  switch (event->key()) {
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
    case Qt::Key_F2:
      FocusLastFindBox();
      break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      ToggleDisplayLabels();
      break;
    case Qt::Key_F5:
      SortValuesGrid(1);
      break;
    case Qt::Key_F8:
      Variables.Filter1->click();
      break;
    case Qt::Key_F:
      if (ctrl) FocusLastFindBox();
      acted = ctrl;
      break;
    case Qt::Key_A:
      if (ctrl) SelectAllValuesClick();
      acted = ctrl;
      break;
    case Qt::Key_C:
      if (ctrl) CopySelectionToClip(Values.StringGrid1);
      acted = ctrl;
      break;
    case Qt::Key_D:
      if (ctrl && HasDocument) ShowDocBtnClick();
      acted = ctrl;
      break;
    default:
      acted = false;
      break;
  }
  if (acted) event->ignore();
}

}  // namespace brindle
