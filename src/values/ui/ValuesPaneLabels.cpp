// The values pane's value labels of the current variable and the fitting of
// the grid's columns. The label rows come from values/ValueLabels.
#include <QLabel>
#include <QPlainTextEdit>

#include <algorithm>

#include "values/ValueLabels.h"
#include "values/ui/ValuesGrid.h"
#include "values/ui/ValuesPane.h"
#include "variables/VarRecord.h"
#include "variables/VariableList.h"

namespace brindle {

namespace {

const char* const kValueTitles[ValuesGrid::kColumns] = {"Value Label", "Value", "Freq", "% Total",
                                                        "% Valid"};

}  // namespace

QString ValuesPane::ValueTitle(int col) {
  if (col < 0 || col >= ValuesGrid::kColumns) return {};
  return QString::fromLatin1(kValueTitles[col]);
}

void ValuesPane::startValueRows() {
  // New rows come in their fill order: no column's sort holds for them.
  m_valuesGrid->HideSortIndicator();
  m_valuesGrid->ClearRows();
  m_valuesGrid->AddRow(ValueTitle(0), ValueTitle(1), ValueTitle(2), ValueTitle(3), ValueTitle(4));
}

void ValuesPane::ShowValueLabels(const SystemFile* file, const NumberSeparators& seps) {
  attachWidthHandler(false);
  startValueRows();
  m_valueRowCount = 0;
  m_valuesGrid->SetRowCount(m_minValueRows);
  m_captionLabel->clear();
  m_frequencyTableShown = false;
  m_statisticsText->setVisible(false);
  RefreshChart();

  if (const VarRecord* rec = m_variables.Current()) {
    const ValueLabelList list = file ? ReadValueLabels(*file, *rec, seps) : ValueLabelList{};
    if (list.listed) {
      m_valueRowCount = static_cast<int>(list.rows.size());
      m_valuesGrid->SetRowCount(std::max(m_minValueRows, m_valueRowCount + 1));
      for (const ValueLabelRow& row : list.rows)
        m_valuesGrid->AddRow(QString::fromStdString(row.label), QString::fromStdString(row.value),
                             QString(), QString(), QString());
      m_captionLabel->setText(QString::fromStdString(rec->VarName));
    }
  }
  emit captionChanged();

  m_valuesGrid->SelectNone();
  emit countChanged(QString::number(m_valueRowCount));
  m_valuesGrid->LoadColumnsFromLists();
  m_valuesGrid->RestoreLabelColumn();
  attachWidthHandler(true);
}

void ValuesPane::ValuesGridColumnWidthChanged() {
  // Nothing to fit until the window is on screen.
  if (!m_valuesPanel->window()->isVisible()) return;
  int sum = 0;
  for (int c = 0; c < ValuesGrid::kColumns; ++c) sum += m_valuesGrid->ColWidth(c);
  // The columns fill the room inside the frame and beside a shown scroll bar.
  const int slack = m_valuesGrid->viewport()->width() - sum;
  // The column that gives way keeps a few characters' room, so it never
  // vanishes in a narrow pane.
  const int least = 4 * m_valuesGrid->fontMetrics().averageCharWidth();
  const VarRecord* rec = m_variables.Current();
  // While a pass for another variable runs, the grid still shows the last
  // table: the hidden label column, not the new variable, decides.
  if (m_valuesGrid->LabelColumnHidden() || (rec && rec->VarType > 8 && m_frequencyTableShown)) {
    m_valuesGrid->SetColWidth(1, std::max(least, m_valuesGrid->ColWidth(1) + slack));
  } else {
    m_valuesGrid->SetColWidth(0, std::max(least, m_valuesGrid->ColWidth(0) + slack));
    m_valuesGrid->SavedLabelWidth = m_valuesGrid->ColWidth(0);
    m_valuesGrid->SavedValueWidth = m_valuesGrid->ColWidth(1);
  }
}

}  // namespace brindle
