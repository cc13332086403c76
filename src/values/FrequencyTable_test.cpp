#include "values/FrequencyTable.h"

#include <gtest/gtest.h>

#include <vector>

#include "values/RowOrder.h"

namespace brindle {
namespace {

// The rows of the extreme numbers, wherever they stand; system-missing is
// no number, and a string table has none.
struct ExtremeCase {
  const char* name;
  std::vector<double> values;
  int smallest;
  int largest;
};

class FrequencyTableExtremes : public ::testing::TestWithParam<ExtremeCase> {};

TEST_P(FrequencyTableExtremes, KeptWhileRowsAreAdded) {
  const ExtremeCase& c = GetParam();
  FrequencyTable::Layout layout;
  layout.sysmis = -1e300;
  FrequencyTable t(layout, false);
  for (const double v : c.values) t.AddNumber(v, 1, 1, true, -1);
  EXPECT_EQ(t.SmallestNumberRow(), c.smallest);
  EXPECT_EQ(t.LargestNumberRow(), c.largest);
}

INSTANTIATE_TEST_SUITE_P(
    Orders, FrequencyTableExtremes,
    ::testing::Values(ExtremeCase{"Empty", {}, -1, -1},
                      ExtremeCase{"OnlySysmis", {-1e300, -1e300}, -1, -1},
                      ExtremeCase{"Ascending", {1, 2, 3}, 0, 2},
                      ExtremeCase{"Descending", {3, 2, 1}, 2, 0},
                      ExtremeCase{"InTheMiddle", {5, -9999999, 7, 1999999, 6}, 1, 3},
                      ExtremeCase{"SysmisFirst", {-1e300, 4, -4}, 2, 1},
                      ExtremeCase{"TiesKeepTheFirst", {2, 2, 1, 1}, 2, 0}),
    [](const ::testing::TestParamInfo<ExtremeCase>& info) { return info.param.name; });

TEST(FrequencyTable, StringTableHasNoExtremeNumbers) {
  FrequencyTable t(FrequencyTable::Layout{}, true);
  t.AddString("zzz", 1, 1, true, -1);
  EXPECT_EQ(t.SmallestNumberRow(), -1);
  EXPECT_EQ(t.LargestNumberRow(), -1);
}

// A weighted table: rows rendered one after another reuse the amount texts
// of the row before only where amount and validity both match.
TEST(FrequencyTable, RenderedRowsMatchEachCellAlone) {
  FrequencyTable::Layout layout;
  layout.format = PrintFormat{5, 8, 1};
  layout.seps = NumberSeparators{",", "."};
  layout.sysmis = -1;
  layout.weighted = true;
  layout.total = 5000;
  layout.valid = 4000;
  FrequencyTable t(layout, false);
  const std::int32_t yes = t.AddLabel("yes");
  t.AddNumber(-1, 0, 1000, false, -1);
  t.AddNumber(1, 0, 1000, true, yes);
  t.AddNumber(2, 0, 1000, true, -1);
  t.AddNumber(3, 0, 1999.5, false, yes);
  t.AddNumber(4, 0, 1.25, true, -1);
  ASSERT_EQ(t.Rows(), 5);
  EXPECT_EQ(t.Text(1, 0), "SYSMIS");
  EXPECT_EQ(t.Text(0, 1), "yes");
  EXPECT_EQ(t.Text(4, 0), "MISS");
  EXPECT_EQ(t.Text(2, 3), "2000");  // rounded half away from zero
  EXPECT_EQ(t.Text(3, 1), "20,0");
  FrequencyTable::Renderer texts(t);
  for (int row = 0; row < t.Rows(); ++row)
    for (int col = 0; col < 5; ++col) {
      std::string cell;
      texts.Append(col, row, cell);
      EXPECT_EQ(cell, t.Text(col, row)) << col << "," << row;
    }
  EXPECT_EQ(t.Text(0, 5), "");
  // The count key is the number the shown count stands for.
  EXPECT_EQ(t.CountKeys(), (std::vector<std::int64_t>{1000, 1000, 1000, 2000, 1}));
}

}  // namespace
}  // namespace brindle
