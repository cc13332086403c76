// Pictures of a frequency table as SVG text: horizontal bars, one per row
// (value-labelled or few-valued variables), or a histogram of the valid
// values (the rest). Qt-free: the codebook writes the text into its HTML,
// the values pane shows the same text with Qt SVG. Every text from the data
// is escaped; sizes are in pixels (CSS pixels in a browser).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "values/FrequencyTable.h"

namespace brindle {

struct ChartColors {
  std::string text = "currentColor";
  std::string bar = "#4a7ab5";
  std::string missing = "#9a9a9a";  // bars of missing values
  std::string axis = "#8a8a8a";
};

struct ChartBar {
  std::string label;       // shown left of the bar
  std::string amountText;  // shown right of the bar
  double amount = 0;       // the bar's length relative to the longest
  bool missing = false;
};

// One bar per entry, in the order given, each 18 pixels high, the chart
// `width` wide; labels are cut to about a third of it (with "...").
std::string BarChartSvg(const std::vector<ChartBar>& bars, double width,
                        const ChartColors& colors = {});

// Equal bins over the valid values of a numeric table: about maxBins bins
// (one more where the round start needs it) of a round width (1, 2 or 5 times a power of ten), the first starting at
// a multiple of it at or below the smallest value. A table without valid
// values gives no bins; values all equal give one bin.
struct Histogram {
  double start = 0;
  double binWidth = 0;
  std::vector<double> counts;  // counts or weight sums per bin
};
Histogram HistogramOf(const FrequencyTable& table, int maxBins = 20);

// The histogram as columns over an axis that names a few bin edges with
// edgeText(x).
std::string HistogramSvg(const Histogram& histogram, double width, double height,
                         const std::function<std::string(double)>& edgeText,
                         const ChartColors& colors = {});

// The table shows as bars when it holds strings, when its variable has value
// labels, or when it has at most kFewValues rows; else as a histogram.
inline constexpr int kFewValues = 50;
bool ChartsAsBars(const FrequencyTable& table);

// The chart of table as the values pane shows it: bars for rows in `order`
// (row numbers of table as the grid shows them; empty: the table's order),
// at most maxBars of them, each labelled with its value label or else its
// value and its count; or the histogram.
std::string FrequencyChartSvg(const FrequencyTable& table, const std::vector<int>& order,
                              double width, const ChartColors& colors = {}, int maxBars = 200);

}  // namespace brindle
