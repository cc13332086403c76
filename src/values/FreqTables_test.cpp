#include "values/FreqTables.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <limits>
#include <map>
#include <random>

namespace brindle {
namespace {

TEST(FreqTables, NumbersInAscendingOrder) {
  NumberCounts t;
  for (double x : {3.0, -DBL_MAX, 0.0, -0.0, 3.0, std::nan(""), -1.5, -std::nan("2"), 1e300})
    t.Insert(x);
  const auto e = t.Ordered();
  ASSERT_EQ(e.size(), 6u);
  EXPECT_EQ(e[0].value, -DBL_MAX);  // the system-missing value first
  EXPECT_EQ(e[1].value, -1.5);
  EXPECT_EQ(e[2].value, 0.0);  // +0 and -0: one key
  EXPECT_EQ(e[2].amount, 2);
  EXPECT_EQ(e[3].amount, 2);
  EXPECT_EQ(e[4].value, 1e300);
  EXPECT_TRUE(std::isnan(e[5].value));  // every NaN: one key, last
  EXPECT_EQ(e[5].amount, 2);
  for (const auto& x : e) EXPECT_FALSE(x.valid);
}

TEST(FreqTables, ManyDistinctNumbersAgreeWithAnOrderedMap) {
  std::mt19937_64 rng(7);
  NumberWeights t;
  std::map<double, double> expected;
  for (int i = 0; i < 200000; ++i) {
    const double x = std::round(std::normal_distribution<double>(50, 10)(rng) * 1000) / 1000;
    const double w = 0.25 * double(1 + i % 3);
    t.Insert(x, w);
    expected[x] += w;
  }
  const auto e = t.Ordered();
  ASSERT_EQ(e.size(), expected.size());
  std::size_t i = 0;
  for (const auto& [x, w] : expected) {
    ASSERT_EQ(e[i].value, x);
    ASSERT_EQ(e[i].amount, w);
    ++i;
  }
  t.Clear();
  EXPECT_TRUE(t.Ordered().empty());
}

// Enough distinct values for the radix ordering, across signs, magnitudes
// and the special values, inserted out of order.
TEST(FreqTables, ManyDistinctNumbersOfEverySignInOrder) {
  std::vector<double> xs = {-DBL_MAX, -HUGE_VAL, HUGE_VAL,  DBL_MAX, DBL_MIN,
                            -DBL_MIN, 4.9e-324,  -4.9e-324, 0.0};
  for (int k = 1; k <= 6000; ++k) xs.insert(xs.end(), {k * 1e-3, -k * 1e-3, k * 1e9, -k * 1e9});
  std::mt19937_64 rng(11);
  std::shuffle(xs.begin(), xs.end(), rng);
  NumberCounts t;
  for (double x : xs) t.Insert(x);
  t.Insert(-0.0);
  t.Insert(std::nan(""));
  const auto e = t.Ordered();
  ASSERT_EQ(e.size(), xs.size() + 1);
  std::sort(xs.begin(), xs.end());
  for (std::size_t i = 0; i < xs.size(); ++i) ASSERT_EQ(e[i].value, xs[i]) << i;
  EXPECT_EQ(e[std::size_t(std::find(xs.begin(), xs.end(), 0.0) - xs.begin())].amount, 2);
  EXPECT_TRUE(std::isnan(e.back().value));
}

// Values that arrive in ascending order are kept as they come until one
// comes out of order; the table is the same either way, merged or not.
TEST(FreqTables, AscendingValuesThenOneOutOfOrder) {
  const std::vector<double> ascending = {-DBL_MAX, -2, -1, -1, -0.0,     0.0,
                                         1e-300,   5,  5,  5,  HUGE_VAL, std::nan("")};
  NumberCounts t;
  for (double x : ascending) t.Insert(x);
  EXPECT_EQ(t.Size(), 8u);
  auto e = t.Ordered();
  ASSERT_EQ(e.size(), 8u);
  EXPECT_EQ(e[2].amount, 2);  // -1 twice
  EXPECT_EQ(e[3].value, 0.0);
  EXPECT_EQ(e[3].amount, 2);  // -0 and +0: one key
  EXPECT_EQ(e[5].amount, 3);
  EXPECT_TRUE(std::isnan(e[7].value));

  NumberCounts other;
  for (double x : {-1.0, 3.0, 5.0}) other.Insert(x);
  t.Merge(other);
  t.Insert(2);  // out of order: the values so far move into the hash table
  t.Insert(5);
  e = t.Ordered();
  ASSERT_EQ(e.size(), 10u);
  const std::vector<std::pair<double, std::int64_t>> want = {
      {-DBL_MAX, 1}, {-2, 1}, {-1, 3}, {0, 2}, {1e-300, 1}, {2, 1}, {3, 1}, {5, 5}, {HUGE_VAL, 1}};
  for (std::size_t i = 0; i < want.size(); ++i) {
    EXPECT_EQ(e[i].value, want[i].first) << i;
    EXPECT_EQ(e[i].amount, want[i].second) << i;
  }
  t.Clear();
  EXPECT_TRUE(t.Empty());
  t.Insert(9);
  t.Insert(8);
  EXPECT_EQ(t.Ordered().front().value, 8);
}

TEST(FreqTables, TextsByUnsignedBytes) {
  TextCounts t;
  for (const char* s : {"a", "B", "", "ab", "\xC3\xA4", "a", "~"}) t.Insert(s);
  const auto e = t.Ordered();
  std::vector<std::string> keys;
  for (const auto& x : e) keys.push_back(x.value);
  // Upper case before lower case, a prefix before its extensions, bytes above
  // 0x7F after ASCII.
  EXPECT_EQ(keys, (std::vector<std::string>{"", "B", "a", "ab", "~", "\xC3\xA4"}));
  EXPECT_EQ(e[2].amount, 2);
}

TEST(FreqTables, TextKeysAreWholeValues) {
  TextWeights t;
  t.Insert(std::string(1000, 'x') + "b", 1.5);
  t.Insert(std::string(1000, 'x') + "a", 1.0);
  t.Insert(std::string(1000, 'x') + "b", 1.0);
  const auto e = t.Ordered();
  ASSERT_EQ(e.size(), 2u);
  EXPECT_EQ(e[0].value, std::string(1000, 'x') + "a");
  EXPECT_EQ(e[1].amount, 2.5);
}

TEST(FreqTables, RawKeysCountedByAllTheirBytes) {
  RawKeyCounter<std::int64_t> c(3);
  std::map<std::string, std::int64_t> expected;
  for (int i = 0; i < 5000; ++i) {
    const std::uint8_t key[3] = {std::uint8_t(i % 7), std::uint8_t(i % 11),
                                 std::uint8_t(i % 2 ? ' ' : 0)};
    c.Insert(key);
    ++expected[std::string(reinterpret_cast<const char*>(key), 3)];
  }
  std::map<std::string, std::int64_t> got;
  c.ForEach([&](std::string_view k, std::int64_t n) { got[std::string(k)] += n; });
  EXPECT_EQ(got, expected);
  EXPECT_EQ(c.Size(), expected.size());
}

}  // namespace
}  // namespace brindle
