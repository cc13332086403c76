// The values pane's frequency display: runs the frequency pass of values/
// over the current variable and puts its rows, caption and statistics in the
// pane. The pass runs on this thread and lets the window handle its events
// between batches of cases.
#include <QCoreApplication>
#include <QLabel>
#include <QPlainTextEdit>

#include <algorithm>
#include <memory>

#include "platform/UiService.h"
#include "platform/WaitCursor.h"
#include "values/ui/FrequencyRows.h"
#include "values/ui/ValuesGrid.h"
#include "values/ui/ValuesPane.h"

namespace brindle {

namespace {

QString Text(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

bool ValuesPane::ShowFrequencies(const FrequencyPass& pass) {
  startValueRows();
  m_valueRowCount = 0;
  m_valuesGrid->SetRowCount(m_minValueRows);
  m_statisticsText->clear();

  std::optional<FrequencyDisplay> display;
  {
    WaitCursor wait;
    display = m_runner.ShowFrequencies(m_variables, pass, m_weighting,
                                       [] { QCoreApplication::processEvents(); });
  }
  if (!display) return false;
  showFrequencyResult(display->result);
  return display->moved;
}

void ValuesPane::ShowNoFrequencies() {
  attachWidthHandler(false);
  startValueRows();
  m_valueRowCount = 0;
  m_valuesGrid->SetRowCount(m_minValueRows);
  // Still the frequency display: toggling brings the labels.
  m_frequencyTableShown = true;
  HideStatistics();
  m_captionLabel->clear();
  emit captionChanged();
  emit countChanged(QString());
  m_valuesGrid->SelectNone();
  m_valuesGrid->LoadColumnsFromLists();
  m_valuesGrid->RestoreLabelColumn();
  attachWidthHandler(true);
  RefreshChart();
}

void ValuesPane::showFrequencyResult(const FrequencyResult& result) {
  if (!result.ran) {
    ShowNoFrequencies();
    return;
  }
  if (!result.message.empty()) m_ui.ShowMessage(Text(result.message));
  if (!result.warning.empty()) m_ui.WarningDialog(Text(result.warning));

  WaitCursor wait;
  attachWidthHandler(false);
  m_frequencyTableShown = true;
  m_captionLabel->setText(Text(result.caption));
  emit captionChanged();
  if (!result.cancelled) {
    m_valueRowCount = result.ValueRowCount();
    m_valuesGrid->SetRowCount(std::max(m_minValueRows, m_valueRowCount + 1));
    // The grid keeps the table itself and renders the rows it shows.
    m_valuesGrid->SetTable(std::make_shared<FrequencyRows>(result.table));
    emit countChanged(QString::number(m_valueRowCount));
  }
  switch (result.memo) {
    case MemoDisplay::Unchanged:
      break;
    case MemoDisplay::Hidden:
      m_statisticsText->setVisible(false);
      break;
    case MemoDisplay::Shown:
      m_statisticsLines = result.memoLines;
      layoutStatistics();
      m_statisticsText->setVisible(true);
      break;
  }
  m_valuesGrid->SelectNone();
  m_valuesGrid->LoadColumnsFromLists();
  if (result.hideLabelColumn)
    m_valuesGrid->HideLabelColumn();
  else
    m_valuesGrid->RestoreLabelColumn();
  fitNumberColumns();
  attachWidthHandler(true);
  ValuesGridColumnWidthChanged();
  RefreshChart();
}

}  // namespace brindle
