// TForm1's frequency display: runs the frequency pass of values/ over the
// current variable and puts its rows, caption and statistics in the values
// pane. The pass runs on this thread and lets the window handle its events
// between batches of cases.
#include <QAction>
#include <QCoreApplication>
#include <QLabel>
#include <QPlainTextEdit>

#include <algorithm>

#include "app/Main.h"
#include "controls/ValStringGrid.h"
#include "platform/UiService.h"
#include "platform/WaitCursor.h"

namespace brindle {

namespace {

QString Text(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

void TForm1::ShowFrequencies() {
  // A file without a known number of cases has no table to show; the pane
  // keeps what it shows.
  if (Counting || NumCases < 1) return;
  startValueRows();
  ValueRowCount = 0;
  StringGrid1->SetRowCount(MinValueRows);
  Memo1->clear();

  FrequencyPass pass;
  pass.handle = FileHandle;
  pass.numCases = NumCases;
  pass.usePrintFormat = UsePrintFormat->isChecked();
  pass.seps = m_separators;
  pass.sysmis = SysmisValue;
  pass.lowest = LowestValue;
  pass.highest = HighestValue;

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

void TForm1::pumpDuringPass() {
  QCoreApplication::processEvents();
  if (CountCancelRequested) m_runner.RequestCancel();
}

void TForm1::showFrequencyResult(const FrequencyResult& result) {
  if (!result.ran) return;
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
    const auto& cols = result.columns;
    for (std::size_t r = 0; r < cols[0].size(); ++r)
      StringGrid1->AddRow(Text(cols[0][r]), Text(cols[1][r]), Text(cols[2][r]), Text(cols[3][r]),
                          Text(cols[4][r]));
    SetStatusText(2, QString::number(ValueRowCount));
  }
  switch (result.memo) {
    case MemoDisplay::Unchanged:
      break;
    case MemoDisplay::Hidden:
      Memo1->setVisible(false);
      break;
    case MemoDisplay::Shown: {
      QStringList lines;
      for (const std::string& line : result.memoLines) lines << Text(line);
      Memo1->setPlainText(lines.join(QLatin1Char('\n')));
      Memo1->setVisible(true);
      break;
    }
  }
  StringGrid1->SelectNone();
  StringGrid1->LoadColumnsFromLists();
  if (result.hideLabelColumn)
    StringGrid1->HideLabelColumn();
  else
    StringGrid1->RestoreLabelColumn();
  attachValuesWidthHandler(true);
}

}  // namespace brindle
