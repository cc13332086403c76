#include "values/RowOrder.h"

#include <gtest/gtest.h>

#include <string>

namespace brindle {
namespace {

using Order = std::vector<std::int32_t>;

Order ByLabel(std::vector<std::u16string> labels, bool descending) {
  std::vector<std::u16string_view> views(labels.begin(), labels.end());
  return SortRowsByLabel(views, descending);
}

TEST(RowOrder, LabelsInCodeOrderStableAndExactlyReversed) {
  // Rows 1 and 3 tie; the empty label leads; capitals before small letters.
  const std::vector<std::u16string> labels = {u"apple", u"Zebra", u"", u"Zebra", u"Zeb"};
  EXPECT_EQ(ByLabel(labels, false), (Order{2, 4, 1, 3, 0}));
  EXPECT_EQ(ByLabel(labels, true), (Order{0, 3, 1, 4, 2}));
}

TEST(RowOrder, LabelsCompareUnsignedAndOnlyTheirFirst255Characters) {
  const std::u16string stem(255, u'x');
  // Past the 255th character the labels count as equal: fill order stands.
  EXPECT_EQ(ByLabel({stem + u"b", stem + u"a", stem}, false), (Order{0, 1, 2}));
  // "é" (U+00E9) and a supplementary character sort after plain letters,
  // and the supplementary character after U+FFFD as in code point order.
  EXPECT_EQ(ByLabel({u"\U0001F600", u"\u00e9", u"\ufffd", u"z"}, false), (Order{3, 1, 2, 0}));
}

// Rows given as label indices sort exactly as the rows' texts do: no label
// and an empty label tie, equal texts tie, texts equal in their first 255
// characters tie.
TEST(RowOrder, LabelIndicesSortAsTheirTexts) {
  const std::u16string stem(255, u'x');
  const std::vector<std::u16string> labels = {u"Zebra",    u"",         u"apple",      u"Zebra",
                                              stem + u"b", stem + u"a", u"\U0001F600", u"\ufffd"};
  std::vector<std::u16string_view> views(labels.begin(), labels.end());
  std::vector<std::int32_t> labelOf;
  std::vector<std::u16string> texts;
  for (int row = 0; row < 40; ++row) {
    const std::int32_t label = (row * 7) % 9 - 1;  // -1 .. 7
    labelOf.push_back(label);
    texts.push_back(label < 0 ? std::u16string() : labels[std::size_t(label)]);
  }
  for (const bool descending : {false, true})
    EXPECT_EQ(SortRowsByLabelIndex(labelOf, views, descending), ByLabel(texts, descending))
        << descending;
  EXPECT_TRUE(SortRowsByLabelIndex({}, views, false).empty());
}

TEST(RowOrder, CountsNumericAbove32BitsStableAndExactlyReversed) {
  const std::vector<std::int64_t> counts = {10, 9, 3000000000LL, 9, -1};
  EXPECT_EQ(SortRowsByCount(counts, false), (Order{4, 1, 3, 0, 2}));
  EXPECT_EQ(SortRowsByCount(counts, true), (Order{2, 0, 3, 1, 4}));
}

TEST(RowOrder, CountTexts) {
  struct Case {
    std::u16string text;
    std::int64_t value;
  } cases[] = {
      {u"9", 9},
      {u"10", 10},
      {u"3,000,000,000", 3000000000LL},
      {u"1.234.567", 1234567},
      {u"  -12", -12},
      {u"99999999999999999999999", INT64_MAX},
      {u"", INT64_MIN},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CountTextValue(c.text), c.value) << std::string(c.text.begin(), c.text.end());
  }
}

TEST(RowOrder, FillOrderAndEmptyInputs) {
  EXPECT_EQ(FillOrder(3, true), (Order{2, 1, 0}));
  EXPECT_TRUE(FillOrder(0, true).empty());
  EXPECT_TRUE(SortRowsByCount({}, true).empty());
  EXPECT_TRUE(ByLabel({}, false).empty());
}

}  // namespace
}  // namespace brindle
