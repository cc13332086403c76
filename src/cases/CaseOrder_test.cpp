// The sort permutation, the find's marks and walk, and the cells' texts,
// table-driven: stable order with equal keys, system-missing and non-numbers
// last either way, strings by bytes without trailing blanks, sorts split
// over several threads; finding forward and backward in file and sorted
// order; formatted values, labels, user-missing values and raw numbers.
#include "cases/CaseOrder.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cases/CaseFind.h"
#include "cases/CaseView.h"
#include "cases/CellText.h"
#include "format/FormatValue.h"
#include "variables/FindFilter.h"
#include "spssio/Spssio.h"
#include "spssio/SystemFile.h"
#include "spssio/TaskPool.h"
#include "spssio/testing/SavWriter.h"
#include "spssio/testing/TempFile.h"

namespace brindle {
namespace {

using Order = std::vector<std::int64_t>;
const double kSys = -DBL_MAX;

TEST(CaseOrder, NumbersStableMissingLast) {
  struct Row {
    std::vector<double> keys;
    Order up, down;
  };
  const double nan = std::nan("");
  const Row rows[] = {
      {{}, {}, {}},
      {{5}, {0}, {0}},
      {{3, 1, 2}, {1, 2, 0}, {0, 2, 1}},
      {{2, 1, 2, 1}, {1, 3, 0, 2}, {0, 2, 1, 3}},
      {{kSys, 1, kSys, 0}, {3, 1, 0, 2}, {1, 3, 0, 2}},
      {{nan, -1, 1e300}, {1, 2, 0}, {2, 1, 0}},
      {{-0.0, 0.0, -1}, {2, 0, 1}, {0, 1, 2}},
  };
  for (const Row& row : rows) {
    SortKeys keys;
    keys.setNumbers(row.keys);
    EXPECT_EQ(keys.order(SortDirection::Ascending), row.up);
    EXPECT_EQ(keys.order(SortDirection::Descending), row.down);
  }
}

TEST(CaseOrder, TextsByBytesWithoutTrailingBlanks) {
  SortKeys keys;
  keys.setTexts({"b  ", "B", "a", "b", "", "ab"});
  EXPECT_EQ(keys.order(SortDirection::Ascending), (Order{4, 1, 2, 5, 0, 3}));
  EXPECT_EQ(keys.order(SortDirection::Descending), (Order{0, 3, 5, 2, 1, 4}));
}

// Large enough to be split over the pool's threads and merged.
TEST(CaseOrder, SplitSortsAgreeWithOneThread) {
  std::vector<double> numbers;
  for (int i = 0; i < 200003; ++i) numbers.push_back(i % 7 == 0 ? kSys : double((i * 7919) % 1001));
  SortKeys keys;
  keys.setNumbers(numbers);
  for (unsigned threads : {1u, 3u, 5u}) {
    TaskPool pool(threads);
    for (SortDirection d : {SortDirection::Ascending, SortDirection::Descending}) {
      const Order order = keys.order(d, &pool);
      ASSERT_EQ(order.size(), numbers.size());
      for (std::size_t r = 1; r < order.size(); ++r) {
        const double x = numbers[std::size_t(order[r - 1])], y = numbers[std::size_t(order[r])];
        if (y == kSys) {
          ASSERT_TRUE(x != kSys || order[r - 1] < order[r]);
          continue;
        }
        ASSERT_NE(x, kSys);
        const bool before = d == SortDirection::Ascending ? x < y : x > y;
        ASSERT_TRUE(before || (x == y && order[r - 1] < order[r])) << threads << ' ' << r;
      }
      const Order inverse = InverseOrder(order);
      for (std::size_t r = 0; r < order.size(); r += 997)
        EXPECT_EQ(inverse[std::size_t(order[r])], std::int64_t(r));
    }
  }
}

// The order equals a stable comparison sort of the same keys, whatever the
// keys vary in: few distinct values, distinct integers, fractions, both
// signs and zeros, infinities, values that differ only in their lowest bits.
TEST(CaseOrder, AgreesWithStableSort) {
  const double inf = HUGE_VAL;
  std::uint64_t seed = 88172645463325252ull;
  const auto next = [&seed] {
    seed ^= seed << 13;
    seed ^= seed >> 7;
    seed ^= seed << 17;
    return seed;
  };
  const std::function<double(int)> makers[] = {
      [&](int) { return double(next() % 5 + 1); },
      [&](int i) { return double((i * 7919) % 100003) - 50000; },
      [&](int) { return double(std::int64_t(next() % 2000001) - 1000000) / 1000; },
      [&](int) {
        const double pick[] = {0.0, -0.0, inf, -inf, 1e-300, -1e300, 1.0, std::nextafter(1.0, 2.0)};
        return pick[next() % 8];
      },
      [&](int) {
        double x;
        const std::uint64_t bits = next();
        std::memcpy(&x, &bits, sizeof x);
        return x;  // any double, NaNs among them
      },
  };
  for (const auto& make : makers)
    for (int n : {1, 2, 100, 70001}) {
      std::vector<double> numbers;
      for (int i = 0; i < n; ++i) numbers.push_back(next() % 11 == 0 ? kSys : make(i));
      SortKeys keys;
      keys.setNumbers(numbers);
      for (SortDirection d : {SortDirection::Ascending, SortDirection::Descending}) {
        Order expected(numbers.size());
        for (std::size_t i = 0; i < expected.size(); ++i) expected[i] = std::int64_t(i);
        const auto missing = [](double x) { return x == kSys || std::isnan(x); };
        std::stable_sort(expected.begin(), expected.end(), [&](std::int64_t a, std::int64_t b) {
          const double x = numbers[std::size_t(a)], y = numbers[std::size_t(b)];
          if (missing(x) || missing(y)) return !missing(x) && missing(y);
          return d == SortDirection::Ascending ? x < y : x > y;
        });
        for (unsigned threads : {1u, 2u, 3u}) {
          TaskPool pool(threads);
          ASSERT_EQ(keys.order(d, &pool), expected) << n << ' ' << threads;
        }
      }
    }
}

TEST(CaseFind, NextRowBothWaysInFileAndSortedOrder) {
  CaseMatches m;
  m.setMarks({0, 1, 0, 0, 1, 0});
  struct Row {
    std::int64_t from;
    bool forward;
    Order order;
    std::int64_t want;
  };
  const Row rows[] = {
      {-1, true, {}, 1},  {1, true, {}, 4},   {4, true, {}, -1},  {6, false, {}, 4},
      {4, false, {}, 1},  {1, false, {}, -1}, {-1, true, {5, 4, 3, 2, 1, 0}, 1},
      {1, true, {5, 4, 3, 2, 1, 0}, 4},       {6, false, {5, 4, 3, 2, 1, 0}, 4},
      {3, true, {0, 2, 3, 5, 4, 1}, 4},       {0, false, {0, 2, 3, 5, 4, 1}, -1},
  };
  for (const Row& row : rows)
    EXPECT_EQ(m.nextRow(row.from, row.forward, 6, row.order), row.want)
        << row.from << ' ' << row.forward;
}

// A file of four variables for the texts: a number with labels and missing
// values, a date, a string with labels and a missing value, a wide string.
class CellTextTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::SavFile f;
    auto n = testing::Variable::numeric("n", "A number");
    n.print = testing::Format{5, 8, 2};
    n.numericLabels = {{1, "one"}, {2, "Two\tparts"}};
    n.missingCode = -3;
    n.missing[0] = 90;
    n.missing[1] = 99;
    n.missing[2] = -1;
    auto d = testing::Variable::numeric("d");
    d.print = testing::Format{5, 6, 0};
    auto s = testing::Variable::string("s", 6);
    s.stringLabels = {{"ab", "Alpha Beta"}};
    s.stringMissing = {"NA"};
    auto w = testing::Variable::string("w", 30);
    f.variables = {n, d, s, w};
    f.cases = {{1.0, 12345.0, std::string("ab"), std::string("wide text")},
               {95.0, kSys, std::string("NA"), std::string("")},
               {2.5, -0.4, std::string("cd"), std::string("x")}};
    m_file = std::make_unique<testing::TempFile>(testing::writeSav(f));
    ASSERT_EQ(SystemFile::open(m_file->path(), m_sf), SPSS_OK);
  }
  std::unique_ptr<testing::TempFile> m_file;
  std::shared_ptr<SystemFile> m_sf;
};

TEST_F(CellTextTest, CellsAsShown) {
  struct Row {
    CellMode mode;
    bool fixed;
    std::vector<std::string> cells;  // row by row, four a row
  };
  const Row rows[] = {
      {CellMode::Values, true, {"1.00", "12345", "ab", "wide text", "95.00", ".", "NA", "", "2.50", "0", "cd", "x"}},
      {CellMode::Labels, true, {"one", "12345", "Alpha Beta", "wide text", "95.00", ".", "NA", "", "2.50", "0", "cd", "x"}},
      {CellMode::Raw, true, {"1", "12345", "ab", "wide text", "95", "", "NA", "", "2.5", "-0.4", "cd", "x"}},
  };
  for (const Row& row : rows) {
    CaseView view(*m_sf, m_file->path(), 3);
    CellOptions options;
    options.mode = row.mode;
    options.fixedFormat = row.fixed;
    view.setCellOptions(options);
    view.setColumns({0, 1, 2, 3});
    ASSERT_EQ(view.rowCount(), 3);
    std::vector<std::string> got;
    for (int r = 0; r < 3; ++r)
      for (std::size_t c = 0; c < 4; ++c) {
        std::string text;
        ASSERT_EQ(view.cellNow(r, c, text), CellState::Shown);
        got.push_back(text);
      }
    EXPECT_EQ(got, row.cells) << int(row.mode);
  }
}

TEST_F(CellTextTest, UserMissingAndFind) {
  const CellFormat n(*m_sf, 0, CellOptions{});
  const CellFormat s(*m_sf, 2, CellOptions{});
  EXPECT_TRUE(n.isUserMissing(95.0));
  EXPECT_TRUE(n.isUserMissing(-1.0));
  EXPECT_FALSE(n.isUserMissing(kSys));
  EXPECT_FALSE(n.isUserMissing(1.0));
  EXPECT_TRUE(s.isUserMissing("NA    "));
  EXPECT_FALSE(s.isUserMissing("ab"));
  // A value shows its formatted text and its label, letters without case.
  EXPECT_TRUE(NumberShows(n, 1.0, "ONE"));
  EXPECT_TRUE(NumberShows(n, 1.0, "1.0"));
  EXPECT_FALSE(NumberShows(n, 2.5, "one"));
  EXPECT_TRUE(NumberShows(n, kSys, "."));
  EXPECT_TRUE(TextShows(s, "ab    ", "beta"));
  EXPECT_FALSE(TextShows(s, "cd", "beta"));
}

TEST_F(CellTextTest, CopyAsTabSeparatedLines) {
  CaseView view(*m_sf, m_file->path(), 3);
  CellOptions options;
  options.mode = CellMode::Labels;
  view.setCellOptions(options);
  view.setColumns({0, 2});
  // A tab inside a label would split the cell: it is a blank.
  EXPECT_EQ(view.copy(0, 2, 0, 1, false).text, "one\tAlpha Beta\r\n95.00\tNA\r\n2.50\tcd\r\n");
  EXPECT_EQ(view.copy(1, 1, 1, 1, true).text, "s\r\nNA\r\n");
  view.setOrder({2, 0, 1});
  EXPECT_EQ(view.copy(0, 0, 0, 1, false).text, "2.50\tcd\r\n");
  EXPECT_EQ(view.rowOf(0), 1);
  // Past the limit: refused with a message, nothing copied.
  const CopiedCells big = view.copy(0, 2, 0, 1, true, 8);
  EXPECT_TRUE(big.text.empty());
  EXPECT_NE(big.message.find("too large"), std::string::npos);
  // Out of range rows and columns are clipped, reversed ones give nothing.
  EXPECT_EQ(view.copy(2, 99, 1, 9, false).text, "NA\r\n");
  EXPECT_EQ(view.copy(2, 1, 0, 1, false).text, "");
}

}  // namespace
// Values written through the whole-number short cut are the formatter's
// texts to the byte: every format, with the option on and off, with any
// decimal separator, for whole numbers about the cut's limits and fractions.
TEST(CellText, NumbersAsTheFormatterWritesThem) {
  const testing::Format formats[] = {{5, 8, 0},  {5, 10, 2}, {5, 3, 0},  {5, 40, 18},
                                     {5, 8, 25}, {31, 6, 1}, {4, 12, 2}, {20, 11, 0}};
  testing::SavFile f;
  for (std::size_t k = 0; k < std::size(formats); ++k) {
    auto v = testing::Variable::numeric("v" + std::to_string(k));
    v.print = formats[k];
    f.variables.push_back(v);
  }
  f.cases = {testing::Case(std::size(formats), 0.0)};
  const testing::TempFile file(testing::writeSav(f));
  std::shared_ptr<SystemFile> sf;
  ASSERT_EQ(SystemFile::open(file.path(), sf), SPSS_OK);
  const double big = 9007199254740992.0;  // 2^53
  const double values[] = {0.0, -0.0, 1, -1, 7, 12345, -99999, 1e15, -1e15, big - 1, -(big - 1),
                           big, big + 2, 1e20, 2.5, -0.4, 0.125, 1e-7, HUGE_VAL, -HUGE_VAL};
  for (std::size_t k = 0; k < std::size(formats); ++k)
    for (bool fixed : {true, false})
      for (const char* decimal : {".", ",", "\xC2\xB7"}) {
        CellOptions options;
        options.fixedFormat = fixed;
        options.seps.decimal = decimal;
        const CellFormat format(*sf, k, options);
        const auto& print = sf->variable(k).print;  // as the reader took it
        const PrintFormat pf{print.type, print.width, print.decimals};
        for (double x : values) {
          std::string want = FormatValue(x, pf, fixed, options.seps);
          want.erase(0, std::min(want.size(), want.find_first_not_of(' ')));
          std::string got;
          format.appendNumberValue(x, got);
          EXPECT_EQ(got, want) << k << ' ' << fixed << ' ' << decimal << ' ' << x;
        }
      }
}

// Finding over a file agrees with comparing each case's shown text and
// label: whole numbers, fractions repeated and not, labels, the
// system-missing value, over several batches.
TEST(CaseFind, AgreesWithTheShownTexts) {
  testing::SavFile f;
  auto x = testing::Variable::numeric("x");
  x.print = testing::Format{5, 8, 1};
  f.compression = testing::Compression::Bytecode;
  x.numericLabels = {{3, "Three"}, {0.5, "half"}};
  f.variables = {x};
  for (int i = 0; i < 9000; ++i) {
    double v = i % 4 == 0 ? double(i) : i % 4 == 1 ? (i % 9) / 2.0 : i % 4 == 2 ? i / 7.0 : kSys;
    f.cases.push_back({v});
  }
  const testing::TempFile file(testing::writeSav(f));
  std::shared_ptr<SystemFile> sf;
  ASSERT_EQ(SystemFile::open(file.path(), sf), SPSS_OK);
  const CellFormat format(*sf, 0, CellOptions{});
  for (const char* text : {"12", "0.5", "5", "three", "HALF", ".", "71.4", "", "x"}) {
    CaseBlocks blocks(*sf, file.path(), 9000);
    CaseMatches matches;
    std::string error;
    ASSERT_TRUE(matches.find(blocks, 0, format, text, 9000, nullptr, nullptr, error)) << error;
    for (int i = 0; i < 9000; ++i) {
      const double v = std::get<double>(f.cases[std::size_t(i)][0]);
      std::string shown;
      format.appendNumberValue(v, shown);
      const std::string* label = format.numberLabel(v);
      const bool want = MatchesFindText(shown, text) || (label && MatchesFindText(*label, text));
      ASSERT_EQ(matches.matches(i), want) << text << ' ' << i;
    }
  }
}

}  // namespace brindle
