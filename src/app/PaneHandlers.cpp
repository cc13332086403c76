// What crosses the panes: the window connects the panes' signals, follows
// the current variable with the status bar and the values pane, and decides
// when the values pane may read the file.
#include <QAction>
#include <QCheckBox>

#include "app/MainWindow.h"
#include "app/ToolImages.h"
#include "platform/WaitCursor.h"
#include "variables/VarRecord.h"

namespace brindle {

void MainWindow::connectPanes() {
  VariablesPane* variables = &m_variables;
  connect(variables, &VariablesPane::currentChanged, this, [this] { VariableListAfterScroll(); });
  connect(variables, &VariablesPane::toggleDisplayRequested, this,
          [this] { ToggleDisplayLabels(); });
  connect(variables, &VariablesPane::sortRequested, this,
          [this](const std::string& field) { SortVariables(field); });
  connect(variables, &VariablesPane::documentRequested, this, [this] { ShowDocBtnClick(); });
  connect(variables, &VariablesPane::openWithCommandRequested, this,
          [this] { OpenWithRegisteredCommand(); });
  connect(variables, &VariablesPane::cancelRequested, this, [this] { m_values.CancelPass(); });
  // While a pass reads the file the grid's keys wait, but Escape.
  m_variables.SetBusyQuery([this] { return Counting(); });

  ValuesPane* values = &m_values;
  connect(values, &ValuesPane::captionChanged, this, [this] { placeCaptionLabel(); });
  connect(values, &ValuesPane::countChanged, this,
          [this](const QString& text) { SetStatusText(2, text); });
  connect(values, &ValuesPane::toggleDisplayRequested, this, [this] { ToggleDisplayLabels(); });
  connect(values, &ValuesPane::findBoxRequested, this, [this] { m_variables.FocusLastFindBox(); });
  connect(values, &ValuesPane::filterSwitchRequested, this,
          [this] { m_variables.filterCheck()->click(); });
  connect(values, &ValuesPane::documentRequested, this, [this] { ShowDocBtnClick(); });
}

void MainWindow::VariableListAfterScroll() {
  VariableList& table = m_variables.variableList();
  // On the data page the values pane is out of sight: it catches up when
  // the variables page comes back, so a move between columns starts no pass.
  const bool dataShown = DataPageShown();
  if (!dataShown) m_values.StartVariable();
  RefreshVariableDetails();
  SetStatusText(0, QStringLiteral("%1/%2").arg(table.RecNo()).arg(m_file.NumVars));
  const VarRecord* rec = table.Current();
  SetStatusText(1, rec ? QString::fromStdString(rec->VarLabel) : QString());
  DataPageFollowVariable();
  if (dataShown) {
    m_valuesBehind = true;
    return;
  }
  if (m_values.frequenciesMode())
    ShowFrequencies();
  else
    ShowValueLabels();
}

void MainWindow::SortVariables(const std::string& fieldName) {
  WaitCursor wait;
  // The values pane follows the first row once, after the sort.
  const bool frequencies = m_values.frequenciesMode();
  m_values.SetFrequenciesMode(false);
  m_variables.SortVariables(fieldName);
  m_values.SetFrequenciesMode(frequencies);
  m_variables.variableList().First();
  DataPageColumns();
}

void MainWindow::ShowValueLabels() {
  if (Counting() || !HoldFile()) return;
  m_values.ShowValueLabels(m_file.File.get(), m_separators);
}

void MainWindow::ShowFrequencies() {
  if (Counting()) return;
  // A file without cases to count has no table to show: the pane is emptied
  // rather than left showing another variable's or another file's table.
  if (m_file.NumCases < 1 || !m_variables.variableList().Current()) {
    m_values.ShowNoFrequencies();
    return;
  }
  if (!HoldFile()) return;
  const FrequencyPass pass =
      MakeFrequencyPass(m_file.File, m_file.NumCases, UsePrintFormat->isChecked(), m_separators);
  // The user moved during the pass: the pane follows now, unless the window
  // is about to close.
  const bool moved = m_values.ShowFrequencies(pass);
  updateWarningCount();
  if (moved && !m_closeAfterPass) VariableListAfterScroll();
  if (m_closeAfterPass) {
    m_closeAfterPass = false;
    close();
  }
}

void MainWindow::ToggleDisplayLabels() {
  if (m_values.frequencyTableShown())
    ShowValueLabels();
  else
    ShowFrequencies();
}

void MainWindow::FrequenciesShownClick() {
  FrequenciesShown->setChecked(!FrequenciesShown->isChecked());
  m_values.SetFrequenciesMode(FrequenciesShown->isChecked());
  FrequenciesBtn->setChecked(m_values.frequenciesMode());
  if (m_values.frequenciesMode()) {
    FrequenciesBtn->setToolTip(QStringLiteral("Display value labels"));
    FrequenciesBtn->setIcon(ToolImage(11));
  } else {
    FrequenciesBtn->setToolTip(QStringLiteral("Display frequencies"));
    FrequenciesBtn->setIcon(ToolImage(10));
  }
}

}  // namespace brindle
