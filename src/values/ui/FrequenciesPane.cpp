// TForm1's frequency display: runs the frequency pass of values/ over the
// current variable and puts its rows, caption and statistics in the values
// pane. The pass runs on this thread and lets the window handle its events
// between batches of cases.
#include <QAction>
#include <QCoreApplication>
#include <QLabel>
#include <QPlainTextEdit>

#include <algorithm>
#include <string_view>
#include <unordered_map>

#include "app/Main.h"
#include "controls/ValStringGrid.h"
#include "platform/UiService.h"
#include "platform/WaitCursor.h"

namespace brindle {

namespace {

QString Text(const std::string& s) { return QString::fromStdString(s); }

// Appends the texts of one column of the core's table to a grid column list.
// Counts and percentages repeat a lot (a variable of distinct values has a
// count of 1 and the same percentage in every row), so a text seen before is
// shared rather than converted and allocated again; a column that keeps
// bringing new texts stops being remembered.
void AppendColumn(QStringList& list, const std::vector<std::string>& texts) {
  constexpr std::size_t kRemembered = 4096;
  list.reserve(list.size() + static_cast<qsizetype>(texts.size()));
  std::unordered_map<std::string_view, QString> seen;
  bool remember = true;
  const std::string* previous = nullptr;
  for (const std::string& text : texts) {
    if (previous != nullptr && *previous == text) {
      list.append(list.constLast());
      continue;
    }
    previous = &text;
    if (remember) {
      auto [it, added] = seen.try_emplace(text);
      if (added) {
        it->second = Text(text);
        remember = seen.size() < kRemembered;
      }
      list.append(it->second);
    } else {
      list.append(Text(text));
    }
  }
}

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
    // Whole columns at once instead of AddRow row by row: the same lists,
    // built with one allocation each.
    for (std::size_t c = 0; c < result.columns.size(); ++c)
      AppendColumn(StringGrid1->ColumnLists[c], result.columns[c]);
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
