// The values pane's chart: the frequency table on screen drawn by the same
// renderer as the codebook's pictures, following the grid's sorting.
#include <QPalette>

#include <algorithm>

#include "codebook/FrequencyChart.h"
#include "values/ui/FrequencyChartView.h"
#include "values/ui/FrequencyRows.h"
#include "values/ui/ValuesGrid.h"
#include "values/ui/ValuesPane.h"

namespace brindle {

namespace {
constexpr int kMostBars = 200;
}  // namespace

void ValuesPane::SetChartShown(bool shown) {
  m_chartShown = shown;
  m_chartView->setVisible(shown);
  RefreshChart();
}

void ValuesPane::RefreshChart() {
  if (!m_chartShown) return;
  const auto* rows = m_frequencyTableShown
                         ? dynamic_cast<const FrequencyRows*>(m_valuesGrid->Table().get())
                         : nullptr;
  if (rows == nullptr || rows->Count() == 0) {
    m_chartView->SetSvg({});
    return;
  }
  const FrequencyTable& table = rows->Table();
  // The bars in the order the grid shows the rows.
  std::vector<int> order;
  if (ChartsAsBars(table)) {
    const int n = std::min(rows->Count(), kMostBars);
    order.reserve(std::size_t(n));
    for (int row = 1; row <= n; ++row) order.push_back(m_valuesGrid->FillRowOf(row));
  }
  ChartColors colors;
  const QPalette palette = m_chartView->palette();
  colors.text = palette.color(QPalette::WindowText).name().toStdString();
  colors.bar = palette.color(QPalette::Highlight).name().toStdString();
  colors.axis = palette.color(QPalette::Mid).name().toStdString();
  const int width = std::clamp(m_chartView->viewport()->width(), 240, 900);
  m_chartView->SetSvg(FrequencyChartSvg(table, order, width, colors, kMostBars));
}

}  // namespace brindle
