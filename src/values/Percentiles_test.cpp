#include "values/Percentiles.h"

#include <gtest/gtest.h>

#include <cmath>

namespace brindle {
namespace {

struct PercentileCase {
  const char* name;
  std::vector<double> values;
  std::vector<double> amounts;  // counts, or weight sums when weighted
  bool weighted;
  double q1, median, q3;        // as PSPP's FREQUENCIES /PERCENTILES=25 50 75 gives them
};

void PrintTo(const PercentileCase& c, std::ostream* os) { *os << c.name; }

// The expectations are PSPP's figures for the same data (DATA LIST, WEIGHT BY).
const PercentileCase kCases[] = {
    {"one_to_ten", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, {1, 1, 1, 1, 1, 1, 1, 1, 1, 1}, false, 3.25,
     5.5, 7.75},
    {"ties", {1, 2, 3, 9}, {1, 3, 2, 1}, false, 2, 2, 3},
    {"two_values", {5, 7}, {1, 1}, false, 5.5, 6, 6.5},
    {"one_value", {5}, {1}, false, 5, 5, 5},
    {"fractional_weights", {1, 2, 3, 4, 10}, {0.5, 1.7, 2.2, 0.3, 1.1}, true, 2.2, 3, 3.6},
    {"weights_of_one_and_a_half", {1, 2}, {1.5, 1.5}, true, 1.5, 1, 2},
    {"weight_sum_below_one", {1, 2}, {0.3, 0.4}, true, 0.925, 0.85, 0.775},
    {"small_weights", {1, 2, 3, 8}, {0.3, 0.4, 0.9, 0.1}, true, 1.175, 2.35, 2.525},
    {"heavy_ends", {1, 2, 3, 8}, {2.5, 0.25, 0.25, 2}, true, 1, 1, 8},
};

class Percentiles : public ::testing::TestWithParam<PercentileCase> {};

TEST_P(Percentiles, AsPspp) {
  const PercentileCase& c = GetParam();
  FrequencyTable::Layout layout;
  layout.weighted = c.weighted;
  FrequencyTable table(layout, false);
  // A missing value in between is no part of the ranks.
  table.AddNumber(-DBL_MAX, 5, 5, false, -1);
  for (std::size_t i = 0; i < c.values.size(); ++i) {
    table.AddNumber(c.values[i], std::int64_t(c.amounts[i]), c.amounts[i], true, -1);
    if (i == 0) table.AddNumber(c.values[0] + 0.5, 3, 3, false, -1);
  }
  const std::vector<double> q = TablePercentiles(table, {0.25, 0.5, 0.75});
  ASSERT_EQ(q.size(), 3u);
  EXPECT_NEAR(q[0], c.q1, 1e-9);
  EXPECT_NEAR(q[1], c.median, 1e-9);
  EXPECT_NEAR(q[2], c.q3, 1e-9);
}

INSTANTIATE_TEST_SUITE_P(Tables, Percentiles, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PercentilesNone, NoValidValueOrStrings) {
  FrequencyTable numbers({}, false);
  numbers.AddNumber(3, 4, 0, false, -1);
  EXPECT_TRUE(std::isnan(TablePercentiles(numbers, {0.5})[0]));
  FrequencyTable strings({}, true);
  strings.AddString("a", 4, 0, true, -1);
  EXPECT_TRUE(std::isnan(TablePercentiles(strings, {0.5})[0]));
}

}  // namespace
}  // namespace brindle
