// TForm1's values pane: the value labels of the current variable, the switch
// between labels and frequencies, and the fitting of the grid's columns. The
// label rows come from values/ValueLabels.
#include <QAction>
#include <QLabel>
#include <QPlainTextEdit>

#include <algorithm>

#include "app/MainWindow.h"
#include "app/ToolImages.h"
#include "controls/ValStringGrid.h"
#include "values/ValueLabels.h"
#include "variables/VarRecord.h"

namespace brindle {

namespace {

const char* const kValueTitles[TValStringGrid::kColumns] = {"Value Label", "Value", "Freq",
                                                           "% Total", "% Valid"};


}  // namespace

QString TForm1::valueTitle(int col) {
  if (col < 0 || col >= TValStringGrid::kColumns) return {};
  return QString::fromLatin1(kValueTitles[col]);
}

void TForm1::startValueRows() {
  Values.StringGrid1->ClearRows();
  Values.StringGrid1->AddRow(valueTitle(0), valueTitle(1), valueTitle(2), valueTitle(3),
                             valueTitle(4));
}

void TForm1::ShowValueLabels() {
  if (Counting() || !HoldFile()) return;
  attachValuesWidthHandler(false);
  startValueRows();
  Values.ValueRowCount = 0;
  Values.StringGrid1->SetRowCount(Values.MinValueRows);
  Values.Label1->clear();
  Values.FrequencyTableShown = false;
  Values.Memo1->setVisible(false);

  if (const VarRecord* rec = Variables.VarMemData.Current()) {
    const ValueLabelList list = ReadValueLabels(FileHandle, *rec, m_separators);
    if (list.listed) {
      Values.ValueRowCount = static_cast<int>(list.rows.size());
      Values.StringGrid1->SetRowCount(std::max(Values.MinValueRows, Values.ValueRowCount + 1));
      for (const ValueLabelRow& row : list.rows)
        Values.StringGrid1->AddRow(QString::fromStdString(row.label),
                                   QString::fromStdString(row.value), QString(), QString(),
                                   QString());
      Values.Label1->setText(QString::fromStdString(rec->VarName));
    }
  }
  placeLabel1();

  Values.StringGrid1->SelectNone();
  SetStatusText(2, QString::number(Values.ValueRowCount));
  Values.StringGrid1->LoadColumnsFromLists();
  Values.StringGrid1->RestoreLabelColumn();
  attachValuesWidthHandler(true);
}

void TForm1::ToggleDisplayLabels() {
  if (Values.FrequencyTableShown)
    ShowValueLabels();
  else
    ShowFrequencies();
}

void TForm1::FrequenciesShownClick() {
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

void TForm1::StringGrid1ColumnWidthChanged() {
  if (!isVisible()) return;
  int sum = 0;
  for (int c = 0; c < TValStringGrid::kColumns; ++c) sum += Values.StringGrid1->ColWidth(c);
  // The columns fill the room inside the frame and beside a shown scroll bar.
  const int slack = Values.StringGrid1->viewport()->width() - sum;
  // The column that gives way keeps a few characters' room, so it never
  // vanishes in a narrow pane.
  const int least = 4 * Values.StringGrid1->fontMetrics().averageCharWidth();
  const VarRecord* rec = Variables.VarMemData.Current();
  // While a pass for another variable runs, the grid still shows the last
  // table: the hidden label column, not the new variable, decides.
  if (Values.StringGrid1->LabelColumnHidden() ||
      (rec && rec->VarType > 8 && Values.FrequencyTableShown)) {
    Values.StringGrid1->SetColWidth(1, std::max(least, Values.StringGrid1->ColWidth(1) + slack));
  } else {
    Values.StringGrid1->SetColWidth(0, std::max(least, Values.StringGrid1->ColWidth(0) + slack));
    Values.StringGrid1->SavedLabelWidth = Values.StringGrid1->ColWidth(0);
    Values.StringGrid1->SavedValueWidth = Values.StringGrid1->ColWidth(1);
  }
}

}  // namespace brindle
