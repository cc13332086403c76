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
  ChartShown = shown;
  chartView->setVisible(shown);
  RefreshChart();
}

void ValuesPane::RefreshChart() {
  if (!ChartShown) return;
  const auto* rows = FrequencyTableShown
                         ? dynamic_cast<const FrequencyRows*>(valuesGrid->Table().get())
                         : nullptr;
  if (rows == nullptr || rows->Count() == 0) {
    chartView->SetSvg({});
    return;
  }
  const FrequencyTable& table = rows->Table();
  // The bars in the order the grid shows the rows.
  std::vector<int> order;
  if (ChartsAsBars(table)) {
    const int n = std::min(rows->Count(), kMostBars);
    order.reserve(std::size_t(n));
    for (int row = 1; row <= n; ++row) order.push_back(valuesGrid->FillRowOf(row));
  }
  ChartColors colors;
  const QPalette palette = chartView->palette();
  colors.text = palette.color(QPalette::WindowText).name().toStdString();
  colors.bar = palette.color(QPalette::Highlight).name().toStdString();
  colors.axis = palette.color(QPalette::Mid).name().toStdString();
  const int width = std::clamp(chartView->viewport()->width(), 240, 900);
  chartView->SetSvg(FrequencyChartSvg(table, order, width, colors, kMostBars));
}

}  // namespace brindle
