#include "values/FrequencyTable.h"

#include <gtest/gtest.h>

#include "values/RowOrder.h"

namespace brindle {
namespace {

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
