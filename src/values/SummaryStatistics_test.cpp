#include "values/SummaryStatistics.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

namespace brindle {
namespace {

using Entries = std::vector<std::pair<double, double>>;  // value, count or weight sum

// Mean and sample variance of the frequency-expanded data by two passes in
// long double.
std::pair<long double, long double> Reference(const Entries& entries) {
  long double n = 0, sum = 0;
  for (const auto& [x, c] : entries) {
    n += c;
    sum += static_cast<long double>(c) * x;
  }
  const long double mean = sum / n;
  long double squares = 0;
  for (const auto& [x, c] : entries) squares += c * (x - mean) * (x - mean);
  return {mean, squares / (n - 1)};
}

Entries Counted(std::vector<double> values) {
  Entries e;
  for (double x : values) e.emplace_back(x, 1.0);
  return e;
}

// Large values close together, where a sum of squares minus the squared sum
// cancels to nothing, counted and weighted.
TEST(SummaryStatistics, StableMeanAndVariance) {
  Entries spread500;  // mean about 1,000,000, standard deviation about 0.5
  std::uint32_t seed = 12345;
  for (int i = 0; i < 500; ++i) {
    seed = seed * 1664525u + 1013904223u;
    spread500.emplace_back(1e6 + (double(seed >> 8) / double(1 << 24) - 0.5) * 1.73, 1.0);
  }
  std::sort(spread500.begin(), spread500.end());
  Entries dates;  // seconds since 1582: days in 2024 and times on one day
  for (int d = 0; d < 30; ++d) dates.emplace_back(13'900'000'000.0 + 86400.0 * d, 1.0 + d % 4);
  Entries times;
  for (int s = 0; s < 10; ++s) times.emplace_back(13'900'000'000.0 + 0.25 * s, 0.5 + s);
  const struct {
    const char* name;
    Entries entries;
    double sd;  // the known standard deviation, where there is one
  } cases[] = {
      {"three consecutive billions", Counted({1'000'000'001, 1'000'000'002, 1'000'000'003}), 1.0},
      {"around 1,700,000,001",
       {{1'700'000'000, 2}, {1'700'000'001, 1}, {1'700'000'002, 2}, {1'700'000'004, 1}},
       0},
      {"500 values near a million", spread500, 0},
      {"dates, weighted", dates, 0},
      {"times, fractional weights", times, 0},
      {"small values", Counted({1, 2, 3}), 1.0},
      {"equal values", {{0.1, 3}}, 0},
      {"mixed signs, weighted", {{-1e6, 0.5}, {-1, 2.5}, {3, 1}, {2e6, 0.25}}, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SummaryStatistics stats(-DBL_MAX, DBL_MAX);
    for (const auto& [x, count] : c.entries) stats.AddValid(x, count);
    const auto [mean, variance] = Reference(c.entries);
    EXPECT_NEAR(stats.Mean(), double(mean),
                (std::fabs(double(mean)) + std::sqrt(double(variance))) * 1e-15);
    EXPECT_NEAR(stats.Variance(), double(variance), double(variance) * 1e-9);
    if (c.sd > 0) EXPECT_NEAR(std::sqrt(stats.Variance()), c.sd, 1e-9);
  }
}

}  // namespace
}  // namespace brindle
