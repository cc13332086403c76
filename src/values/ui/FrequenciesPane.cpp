// The values pane's frequency display: runs the frequency pass of values/
// over the current variable and puts its rows, caption and statistics in the
// pane. The pass runs on this thread and lets the window handle its events
// between batches of cases.
#include <QCoreApplication>
#include <QLabel>
#include <QPlainTextEdit>

#include <algorithm>
#include <memory>

#include "values/ui/ValuesGrid.h"
#include "platform/UiService.h"
#include "platform/WaitCursor.h"
#include "values/ui/FrequencyRows.h"
#include "values/ui/ValuesPane.h"

namespace brindle {

namespace {

QString Text(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

bool ValuesPane::ShowFrequencies(const FrequencyPass& pass) {
  startValueRows();
  ValueRowCount = 0;
  valuesGrid->SetRowCount(MinValueRows);
  statisticsText->clear();

  std::optional<FrequencyDisplay> display;
  {
    WaitCursor wait;
    display = Runner.ShowFrequencies(m_variables, pass, m_weighting,
                                     [] { QCoreApplication::processEvents(); });
  }
  if (!display) return false;
  showFrequencyResult(display->result);
  return display->moved;
}

void ValuesPane::ShowNoFrequencies() {
  attachWidthHandler(false);
  startValueRows();
  ValueRowCount = 0;
  valuesGrid->SetRowCount(MinValueRows);
  // Still the frequency display: toggling brings the labels.
  FrequencyTableShown = true;
  HideStatistics();
  captionLabel->clear();
  captionChanged();
  countChanged(QString());
  valuesGrid->SelectNone();
  valuesGrid->LoadColumnsFromLists();
  valuesGrid->RestoreLabelColumn();
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
  FrequencyTableShown = true;
  captionLabel->setText(Text(result.caption));
  captionChanged();
  if (!result.cancelled) {
    ValueRowCount = result.ValueRowCount();
    valuesGrid->SetRowCount(std::max(MinValueRows, ValueRowCount + 1));
    // The grid keeps the table itself and renders the rows it shows.
    valuesGrid->SetTable(std::make_shared<FrequencyRows>(result.table));
    countChanged(QString::number(ValueRowCount));
  }
  switch (result.memo) {
    case MemoDisplay::Unchanged:
      break;
    case MemoDisplay::Hidden:
      statisticsText->setVisible(false);
      break;
    case MemoDisplay::Shown:
      StatisticsLines = result.memoLines;
      layoutStatistics();
      statisticsText->setVisible(true);
      break;
  }
  valuesGrid->SelectNone();
  valuesGrid->LoadColumnsFromLists();
  if (result.hideLabelColumn)
    valuesGrid->HideLabelColumn();
  else
    valuesGrid->RestoreLabelColumn();
  fitNumberColumns();
  attachWidthHandler(true);
  ValuesGridColumnWidthChanged();
  RefreshChart();
}

}  // namespace brindle
