// The values pane's value labels of the current variable and the fitting of
// the grid's columns. The label rows come from values/ValueLabels.
#include <QLabel>
#include <QPlainTextEdit>

#include <algorithm>

#include "values/ui/ValuesGrid.h"
#include "values/ValueLabels.h"
#include "values/ui/ValuesPane.h"
#include "variables/VariableList.h"
#include "variables/VarRecord.h"

namespace brindle {

namespace {

const char* const kValueTitles[ValuesGrid::kColumns] = {"Value Label", "Value", "Freq",
                                                            "% Total", "% Valid"};

}  // namespace

QString ValuesPane::ValueTitle(int col) {
  if (col < 0 || col >= ValuesGrid::kColumns) return {};
  return QString::fromLatin1(kValueTitles[col]);
}

void ValuesPane::startValueRows() {
  // New rows come in their fill order: no column's sort holds for them.
  valuesGrid->HideSortIndicator();
  valuesGrid->ClearRows();
  valuesGrid->AddRow(ValueTitle(0), ValueTitle(1), ValueTitle(2), ValueTitle(3), ValueTitle(4));
}

void ValuesPane::ShowValueLabels(const SystemFile* file, const NumberSeparators& seps) {
  attachWidthHandler(false);
  startValueRows();
  ValueRowCount = 0;
  valuesGrid->SetRowCount(MinValueRows);
  captionLabel->clear();
  FrequencyTableShown = false;
  statisticsText->setVisible(false);
  RefreshChart();

  if (const VarRecord* rec = m_variables.Current()) {
    const ValueLabelList list = file ? ReadValueLabels(*file, *rec, seps) : ValueLabelList{};
    if (list.listed) {
      ValueRowCount = static_cast<int>(list.rows.size());
      valuesGrid->SetRowCount(std::max(MinValueRows, ValueRowCount + 1));
      for (const ValueLabelRow& row : list.rows)
        valuesGrid->AddRow(QString::fromStdString(row.label), QString::fromStdString(row.value),
                            QString(), QString(), QString());
      captionLabel->setText(QString::fromStdString(rec->VarName));
    }
  }
  captionChanged();

  valuesGrid->SelectNone();
  countChanged(QString::number(ValueRowCount));
  valuesGrid->LoadColumnsFromLists();
  valuesGrid->RestoreLabelColumn();
  attachWidthHandler(true);
}

void ValuesPane::ValuesGridColumnWidthChanged() {
  // Nothing to fit until the window is on screen.
  if (!valuesPanel->window()->isVisible()) return;
  int sum = 0;
  for (int c = 0; c < ValuesGrid::kColumns; ++c) sum += valuesGrid->ColWidth(c);
  // The columns fill the room inside the frame and beside a shown scroll bar.
  const int slack = valuesGrid->viewport()->width() - sum;
  // The column that gives way keeps a few characters' room, so it never
  // vanishes in a narrow pane.
  const int least = 4 * valuesGrid->fontMetrics().averageCharWidth();
  const VarRecord* rec = m_variables.Current();
  // While a pass for another variable runs, the grid still shows the last
  // table: the hidden label column, not the new variable, decides.
  if (valuesGrid->LabelColumnHidden() || (rec && rec->VarType > 8 && FrequencyTableShown)) {
    valuesGrid->SetColWidth(1, std::max(least, valuesGrid->ColWidth(1) + slack));
  } else {
    valuesGrid->SetColWidth(0, std::max(least, valuesGrid->ColWidth(0) + slack));
    valuesGrid->SavedLabelWidth = valuesGrid->ColWidth(0);
    valuesGrid->SavedValueWidth = valuesGrid->ColWidth(1);
  }
}

}  // namespace brindle
