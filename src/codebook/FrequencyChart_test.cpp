#include "codebook/FrequencyChart.h"

#include <gtest/gtest.h>

namespace brindle {
namespace {

FrequencyTable Numbers(const std::vector<std::pair<double, std::int64_t>>& rows) {
  FrequencyTable t({}, false);
  for (const auto& [x, n] : rows) t.AddNumber(x, n, 0, true, -1);
  return t;
}

struct BinCase {
  const char* name;
  std::vector<std::pair<double, std::int64_t>> rows;
  int maxBins;
  double start, width;
  std::vector<double> counts;
};

void PrintTo(const BinCase& c, std::ostream* os) { *os << c.name; }

const BinCase kBins[] = {
    {"whole_numbers", {{1, 2}, {2, 1}, {3, 1}, {10, 4}}, 5, 0, 2, {2, 2, 0, 0, 0, 4}},
    {"one_value", {{7.5, 3}}, 20, 7.5, 1, {3}},
    {"decimals", {{0.11, 1}, {0.19, 1}, {0.31, 2}}, 4, 0.1, 0.05, {1, 1, 0, 0, 2}},
    {"negative", {{-12, 1}, {3, 1}}, 3, -15, 5, {1, 0, 0, 1}},
};

class Bins : public ::testing::TestWithParam<BinCase> {};

TEST_P(Bins, RoundWidthsCoverEveryValue) {
  const BinCase& c = GetParam();
  const Histogram h = HistogramOf(Numbers(c.rows), c.maxBins);
  EXPECT_NEAR(h.start, c.start, 1e-12);
  EXPECT_NEAR(h.binWidth, c.width, 1e-12);
  EXPECT_EQ(h.counts, c.counts);
}

INSTANTIATE_TEST_SUITE_P(Tables, Bins, ::testing::ValuesIn(kBins),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Histogram, MissingValuesAndStringsHaveNoBins) {
  FrequencyTable t({}, false);
  t.AddNumber(-DBL_MAX, 4, 0, false, -1);
  t.AddNumber(99, 4, 0, false, -1);
  EXPECT_TRUE(HistogramOf(t).counts.empty());
  EXPECT_TRUE(HistogramOf(FrequencyTable({}, true)).counts.empty());
}

TEST(BarChart, OneBarPerRowInTheOrderGivenEscaped) {
  FrequencyTable t({}, true);
  const std::int32_t label = t.AddLabel("<b>&\"x\"");
  t.AddString("a", 5, 0, true, label);
  t.AddString("b<", 10, 0, true, -1);
  t.AddString("c", 1, 0, false, -1);
  const std::string svg = FrequencyChartSvg(t, {2, 0, 1}, 400);
  EXPECT_EQ(svg.rfind("<svg xmlns=\"http://www.w3.org/2000/svg\"", 0), 0u);
  EXPECT_NE(svg.find("&lt;b&gt;&amp;&quot;x&quot;"), std::string::npos);
  EXPECT_NE(svg.find("b&lt;"), std::string::npos);
  EXPECT_EQ(svg.find("<b>"), std::string::npos);
  // Bars in the grid's order: c (missing colour), then a, then b.
  const std::size_t c = svg.find(">c<"), a = svg.find("&lt;b&gt;"), b = svg.find(">b&lt;<");
  EXPECT_LT(c, a);
  EXPECT_LT(a, b);
  std::size_t rects = 0;
  for (std::size_t at = 0; (at = svg.find("<rect", at)) != std::string::npos; ++at) ++rects;
  EXPECT_EQ(rects, 3u);
  EXPECT_NE(svg.find(ChartColors().missing), std::string::npos);
  EXPECT_EQ(svg.substr(svg.size() - 6), "</svg>");
}

TEST(BarChart, ManyUnlabelledNumbersDrawAHistogram) {
  std::vector<std::pair<double, std::int64_t>> rows;
  for (int i = 0; i < 200; ++i) rows.push_back({double(i), 1});
  const FrequencyTable many = Numbers(rows);
  EXPECT_FALSE(ChartsAsBars(many));
  const std::string svg = FrequencyChartSvg(many, {}, 300);
  std::size_t rects = 0;
  for (std::size_t at = 0; (at = svg.find("<rect", at)) != std::string::npos; ++at) ++rects;
  EXPECT_EQ(rects, 20u);
  rows.resize(kFewValues);
  EXPECT_TRUE(ChartsAsBars(Numbers(rows)));
}

}  // namespace
}  // namespace brindle
