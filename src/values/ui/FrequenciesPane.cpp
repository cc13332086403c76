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

#include "app/MainWindow.h"
#include "controls/ValStringGrid.h"
#include "platform/UiService.h"
#include "platform/WaitCursor.h"
#include "values/ui/FrequencyRows.h"

namespace brindle {

namespace {

QString Text(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

void TForm1::ShowFrequencies() {
  if (Counting()) return;
  // A file without cases to count has no table to show: the pane is emptied
  // rather than left showing another variable's or another file's table.
  if (NumCases < 1 || !Variables.VarMemData.Current()) {
    showNoFrequencies();
    return;
  }
  if (!HoldFile()) return;
  startValueRows();
  Values.ValueRowCount = 0;
  Values.StringGrid1->SetRowCount(Values.MinValueRows);
  Values.Memo1->clear();

  const FrequencyPass pass = MakeFrequencyPass(FileHandle, NumCases, UsePrintFormat->isChecked(), m_separators);

  std::optional<FrequencyDisplay> display;
  {
    WaitCursor wait;
    display = Values.Runner.ShowFrequencies(Variables.VarMemData, pass, Weighting.Weighting(),
                                            [] { QCoreApplication::processEvents(); });
  }

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
  Values.ValueRowCount = 0;
  Values.StringGrid1->SetRowCount(Values.MinValueRows);
  // Still the frequency display: toggling brings the labels.
  Values.FrequencyTableShown = true;
  Values.Memo1->clear();
  Values.Memo1->setVisible(false);
  Values.Label1->clear();
  placeLabel1();
  SetStatusText(2, QString());
  Values.StringGrid1->SelectNone();
  Values.StringGrid1->LoadColumnsFromLists();
  Values.StringGrid1->RestoreLabelColumn();
  attachValuesWidthHandler(true);
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
  Values.FrequencyTableShown = true;
  Values.Label1->setText(Text(result.caption));
  placeLabel1();
  if (!result.cancelled) {
    Values.ValueRowCount = result.ValueRowCount();
    Values.StringGrid1->SetRowCount(std::max(Values.MinValueRows, Values.ValueRowCount + 1));
    // The grid keeps the table itself and renders the rows it shows.
    Values.StringGrid1->SetTable(std::make_shared<FrequencyRows>(result.table));
    SetStatusText(2, QString::number(Values.ValueRowCount));
  }
  switch (result.memo) {
    case MemoDisplay::Unchanged:
      break;
    case MemoDisplay::Hidden:
      Values.Memo1->setVisible(false);
      break;
    case MemoDisplay::Shown:
      Values.StatisticsLines = result.memoLines;
      layoutStatistics();
      Values.Memo1->setVisible(true);
      break;
  }
  Values.StringGrid1->SelectNone();
  Values.StringGrid1->LoadColumnsFromLists();
  if (result.hideLabelColumn)
    Values.StringGrid1->HideLabelColumn();
  else
    Values.StringGrid1->RestoreLabelColumn();
  fitNumberColumns();
  attachValuesWidthHandler(true);
  StringGrid1ColumnWidthChanged();
}

}  // namespace brindle
