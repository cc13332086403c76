// The values pane's value labels of the current variable and the fitting of
// the grid's columns. The label rows come from values/ValueLabels.
#include <QLabel>
#include <QPlainTextEdit>

#include <algorithm>

#include "controls/ValStringGrid.h"
#include "values/ValueLabels.h"
#include "values/ui/ValuesPane.h"
#include "variables/TdxMemData.h"
#include "variables/VarRecord.h"

namespace brindle {

namespace {

const char* const kValueTitles[TValStringGrid::kColumns] = {"Value Label", "Value", "Freq",
                                                            "% Total", "% Valid"};

}  // namespace

QString ValuesPane::ValueTitle(int col) {
  if (col < 0 || col >= TValStringGrid::kColumns) return {};
  return QString::fromLatin1(kValueTitles[col]);
}

void ValuesPane::startValueRows() {
  // New rows come in their fill order: no column's sort holds for them.
  StringGrid1->HideSortIndicator();
  StringGrid1->ClearRows();
  StringGrid1->AddRow(ValueTitle(0), ValueTitle(1), ValueTitle(2), ValueTitle(3), ValueTitle(4));
}

void ValuesPane::ShowValueLabels(const SystemFile* file, const NumberSeparators& seps) {
  attachWidthHandler(false);
  startValueRows();
  ValueRowCount = 0;
  StringGrid1->SetRowCount(MinValueRows);
  Label1->clear();
  FrequencyTableShown = false;
  Memo1->setVisible(false);

  if (const VarRecord* rec = m_variables.Current()) {
    const ValueLabelList list = file ? ReadValueLabels(*file, *rec, seps) : ValueLabelList{};
    if (list.listed) {
      ValueRowCount = static_cast<int>(list.rows.size());
      StringGrid1->SetRowCount(std::max(MinValueRows, ValueRowCount + 1));
      for (const ValueLabelRow& row : list.rows)
        StringGrid1->AddRow(QString::fromStdString(row.label), QString::fromStdString(row.value),
                            QString(), QString(), QString());
      Label1->setText(QString::fromStdString(rec->VarName));
    }
  }
  captionChanged();

  StringGrid1->SelectNone();
  countChanged(QString::number(ValueRowCount));
  StringGrid1->LoadColumnsFromLists();
  StringGrid1->RestoreLabelColumn();
  attachWidthHandler(true);
}

void ValuesPane::StringGrid1ColumnWidthChanged() {
  // Nothing to fit until the window is on screen.
  if (!Panel2->window()->isVisible()) return;
  int sum = 0;
  for (int c = 0; c < TValStringGrid::kColumns; ++c) sum += StringGrid1->ColWidth(c);
  // The columns fill the room inside the frame and beside a shown scroll bar.
  const int slack = StringGrid1->viewport()->width() - sum;
  // The column that gives way keeps a few characters' room, so it never
  // vanishes in a narrow pane.
  const int least = 4 * StringGrid1->fontMetrics().averageCharWidth();
  const VarRecord* rec = m_variables.Current();
  // While a pass for another variable runs, the grid still shows the last
  // table: the hidden label column, not the new variable, decides.
  if (StringGrid1->LabelColumnHidden() || (rec && rec->VarType > 8 && FrequencyTableShown)) {
    StringGrid1->SetColWidth(1, std::max(least, StringGrid1->ColWidth(1) + slack));
  } else {
    StringGrid1->SetColWidth(0, std::max(least, StringGrid1->ColWidth(0) + slack));
    StringGrid1->SavedLabelWidth = StringGrid1->ColWidth(0);
    StringGrid1->SavedValueWidth = StringGrid1->ColWidth(1);
  }
}

}  // namespace brindle
