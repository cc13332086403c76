// MainWindow's handlers whose state a pane owns: each hands the event to the
// pane, or, where an event concerns several panes, says which does what.
#include <QAction>
#include <QCheckBox>
#include <QKeyEvent>

#include "app/MainWindow.h"
#include "app/ToolImages.h"
#include "variables/ui/VariablesGrid.h"
#include "values/ui/ValuesGrid.h"
#include "platform/WaitCursor.h"
#include "variables/VarRecord.h"

namespace brindle {

// --- Weighting controls -----------------------------------------------------

void MainWindow::FillWeightList() {
  Weighting.FillWeightList(Variables.variableList, WeightVarName);
}
void MainWindow::WeightChosen(int index) { Weighting.WeightChosen(index); }
void MainWindow::WeightButtonClick(bool down) { Weighting.WeightButtonClick(down); }
void MainWindow::ResetWeighting() { Weighting.Reset(); }

// --- Variables pane ---------------------------------------------------------

void MainWindow::FocusLastFindBox() { Variables.FocusLastFindBox(); }
bool MainWindow::FindVariable(bool forward, bool fromEnd) {
  return Variables.FindVariable(forward, fromEnd);
}
void MainWindow::FindButtonClick(QAction* sender) { Variables.FindButtonClick(sender); }
bool MainWindow::FindBoxKeyDown(QLineEdit* box, QKeyEvent* event) {
  return Variables.FindBoxKeyDown(box, event);
}
void MainWindow::FindBoxEnter(QLineEdit* box) { Variables.FindBoxEnter(box); }
void MainWindow::FilterCheckClick() { Variables.FilterCheckClick(); }
void MainWindow::VariableListFilterRecord(bool& accept) { Variables.VariableListFilterRecord(accept); }
void MainWindow::PopupCopyClick(QObject* sender) { Variables.PopupCopyClick(sender); }
void MainWindow::SelectAllVariablesClick() { Variables.SelectAllVariablesClick(); }
void MainWindow::VariablesGridColumnWidthChanged() { Variables.VariablesGridColumnWidthChanged(); }
void MainWindow::HideFormatcolumnClick(QAction* item) { Variables.HideFormatcolumnClick(item); }
void MainWindow::VariablesGridDrawColumnCell(const VarRecord& rec, int, bool selected, bool marked,
                                   QColor& background, QColor& text) {
  Variables.VariablesGridDrawColumnCell(rec, selected, marked, background, text);
}
void MainWindow::VariablesGridTitleClick(int column) {
  const std::string field = VariablesPane::ColumnField(column);
  if (!field.empty()) SortVariables(field);
}

void MainWindow::VariableListAfterScroll() {
  VariableList& table = Variables.variableList;
  // On the data page the values pane is out of sight: it catches up when
  // the variables page comes back, so a move between columns starts no pass.
  const bool dataShown = DataPageShown();
  if (!dataShown) Values.StartVariable();
  RefreshVariableDetails();
  SetStatusText(0, QStringLiteral("%1/%2").arg(table.RecNo()).arg(NumVars));
  const VarRecord* rec = table.Current();
  SetStatusText(1, rec ? QString::fromStdString(rec->VarLabel) : QString());
  DataPageFollowVariable();
  if (dataShown) {
    m_valuesBehind = true;
    return;
  }
  if (Values.FrequenciesMode)
    ShowFrequencies();
  else
    ShowValueLabels();
}

void MainWindow::SortVariables(const std::string& fieldName) {
  WaitCursor wait;
  // The values pane follows the first row once, after the sort.
  const bool frequencies = Values.FrequenciesMode;
  Values.FrequenciesMode = false;
  Variables.SortVariables(fieldName);
  Values.FrequenciesMode = frequencies;
  Variables.variableList.First();
  DataPageColumns();
}

void MainWindow::VariablesGridKeyDown(QKeyEvent* event) {
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
      if (ctrl) PopupCopyClick(Variables.variablesGrid);
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
      Variables.filterCheck->click();
      break;
    default:
      break;
  }
}

void MainWindow::VariablesGridMouseDown(VariablesGrid* grid, Qt::MouseButton button, Qt::KeyboardModifiers mods,
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

void MainWindow::ShowValueLabels() {
  if (Counting() || !HoldFile()) return;
  Values.ShowValueLabels(File.get(), m_separators);
}

void MainWindow::ShowFrequencies() {
  if (Counting()) return;
  // A file without cases to count has no table to show: the pane is emptied
  // rather than left showing another variable's or another file's table.
  if (NumCases < 1 || !Variables.variableList.Current()) {
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
  if (moved && !m_closeAfterPass) VariableListAfterScroll();
  if (m_closeAfterPass) {
    m_closeAfterPass = false;
    close();
  }
}

void MainWindow::ToggleDisplayLabels() {
  if (Values.FrequencyTableShown)
    ShowValueLabels();
  else
    ShowFrequencies();
}

void MainWindow::FrequenciesShownClick() {
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

void MainWindow::ValuesGridColumnWidthChanged() { Values.ValuesGridColumnWidthChanged(); }
void MainWindow::SortValuesGrid(int key) { Values.SortValuesGrid(key); }
void MainWindow::SortRowsByLabel(bool descending) { Values.SortRowsByLabel(descending); }
void MainWindow::SortRowsByCount(bool descending) { Values.SortRowsByCount(descending); }
void MainWindow::CopySelectionToClip(QObject* sender) { Values.CopySelectionToClip(sender); }
void MainWindow::CopyClick() { Values.CopyClick(); }
void MainWindow::SelectAllValuesClick() { Values.SelectAllValuesClick(); }
void MainWindow::StatisticsTextKeyDown(QKeyEvent* event) { Values.StatisticsTextKeyDown(event); }
void MainWindow::ValuesGridDrawCell(int col, int row, bool selected, QColor& background, QColor& text,
                                 Qt::Alignment& align) {
  Values.ValuesGridDrawCell(col, row, selected, background, text, align);
}

void MainWindow::ValuesGridMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers, int x, int y,
                                  bool doubleClick) {
  if (Values.ValuesGridMouseDown(button, x, y, doubleClick)) ToggleDisplayLabels();
}

void MainWindow::ValuesGridKeyDown(QKeyEvent* event) {
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
      Variables.filterCheck->click();
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
      if (ctrl) CopySelectionToClip(Values.valuesGrid);
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
