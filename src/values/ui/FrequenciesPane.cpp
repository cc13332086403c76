// TForm1's frequency display: runs the frequency pass of values/ over the
// current variable and puts its rows, caption and statistics in the values
// pane. The pass runs on this thread and lets the window handle its events
// between batches of cases.
#include <QAction>
#include <QCoreApplication>
#include <QLabel>
#include <QPlainTextEdit>

#include <algorithm>
#include <memory>

#include "app/Main.h"
#include "controls/ValStringGrid.h"
#include "platform/UiService.h"
#include "platform/WaitCursor.h"
#include "values/ui/FrequencyRows.h"

namespace brindle {

namespace {

QString Text(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

void TForm1::ShowFrequencies() {
  if (Counting) return;
  // A file without cases to count has no table to show: the pane is emptied
  // rather than left showing another variable's or another file's table.
  if (NumCases < 1 || !VarMemData.Current()) {
    showNoFrequencies();
    return;
  }
  if (!HoldFile()) return;
  startValueRows();
  ValueRowCount = 0;
  StringGrid1->SetRowCount(MinValueRows);
  Memo1->clear();

  const FrequencyPass pass = MakeFrequencyPass(FileHandle, NumCases, UsePrintFormat->isChecked(), m_separators);

  std::optional<FrequencyDisplay> display;
  Counting = true;
  CountCancelRequested = false;
  {
    WaitCursor wait;
    display = m_runner.ShowFrequencies(VarMemData, pass, m_weighting, [this] { pumpDuringPass(); });
  }
  Counting = false;
  CountCancelRequested = false;

  if (display) {
    showFrequencyResult(display->result);
    // The user moved during the pass: the pane follows now, unless the
    // window is about to close.
    if (display->moved && !m_closeAfterPass) VarMemDataAfterScroll();
  }
  if (m_closeAfterPass) {
    m_closeAfterPass = false;
    close();
  }
}

void TForm1::showNoFrequencies() {
  attachValuesWidthHandler(false);
  startValueRows();
  ValueRowCount = 0;
  StringGrid1->SetRowCount(MinValueRows);
  // Still the frequency display: toggling brings the labels.
  FrequencyTableShown = true;
  Memo1->clear();
  Memo1->setVisible(false);
  Label1->clear();
  placeLabel1();
  SetStatusText(2, QString());
  StringGrid1->SelectNone();
  StringGrid1->LoadColumnsFromLists();
  StringGrid1->RestoreLabelColumn();
  attachValuesWidthHandler(true);
}

void TForm1::pumpDuringPass() {
  QCoreApplication::processEvents();
  if (CountCancelRequested) m_runner.RequestCancel();
}

void TForm1::showFrequencyResult(const FrequencyResult& result) {
  if (!result.ran) {
    showNoFrequencies();
    return;
  }
  if (!result.message.empty()) m_ui.ShowMessage(Text(result.message));
  if (!result.warning.empty()) m_ui.WarningDialog(Text(result.warning));

  WaitCursor wait;
  attachValuesWidthHandler(false);
  FrequencyTableShown = true;
  Label1->setText(Text(result.caption));
  placeLabel1();
  if (!result.cancelled) {
    ValueRowCount = result.ValueRowCount();
    StringGrid1->SetRowCount(std::max(MinValueRows, ValueRowCount + 1));
    // The grid keeps the table itself and renders the rows it shows.
    StringGrid1->SetTable(std::make_shared<FrequencyRows>(result.table));
    SetStatusText(2, QString::number(ValueRowCount));
  }
  switch (result.memo) {
    case MemoDisplay::Unchanged:
      break;
    case MemoDisplay::Hidden:
      Memo1->setVisible(false);
      break;
    case MemoDisplay::Shown:
      m_statisticsLines = result.memoLines;
      layoutStatistics();
      Memo1->setVisible(true);
      break;
  }
  StringGrid1->SelectNone();
  StringGrid1->LoadColumnsFromLists();
  if (result.hideLabelColumn)
    StringGrid1->HideLabelColumn();
  else
    StringGrid1->RestoreLabelColumn();
  fitNumberColumns();
  attachValuesWidthHandler(true);
  StringGrid1ColumnWidthChanged();
}

}  // namespace brindle
