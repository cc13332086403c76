#include "variables/RowMarks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace brindle {
namespace {

// Positions are stored with identities 100 + position, so that the order of
// identities and of positions can be told apart by a reversing order.
Bookmark At(int pos) { return static_cast<Bookmark>(100 + pos); }

std::vector<int> Positions(const RowMarks& m) {
  std::vector<int> out;
  for (Bookmark bm : m.Items()) out.push_back(static_cast<int>(bm) - 100);
  return out;
}

TEST(RowMarks, KeepsMarksInTheOrderGivenAndIgnoresDuplicatesAndNoBookmark) {
  // A table sorted in reverse: higher identities come first.
  RowMarks m([](Bookmark a, Bookmark b) { return a > b ? -1 : (a < b ? 1 : 0); });
  for (int pos : {3, 7, 1, 7, 5}) m.Mark(At(pos));
  m.Mark(kNoBookmark);
  EXPECT_EQ(Positions(m), (std::vector<int>{7, 5, 3, 1}));
  m.Unmark(At(5));
  m.Unmark(At(42));
  m.Toggle(At(3));
  m.Toggle(At(9));
  EXPECT_EQ(Positions(m), (std::vector<int>{9, 7, 1}));
  EXPECT_TRUE(m.Contains(At(9)));
  EXPECT_FALSE(m.Contains(At(3)));
  EXPECT_FALSE(m.Contains(kNoBookmark));
}

// One Shift+Up/Down walk: each character is a step ('d' down, 'u' up) from
// the start position; the walk stops at 1 and at last like the table's cursor.
struct ShiftCase {
  const char* name;
  int start;
  std::string steps;
  std::vector<int> marked;
};

class ShiftWalk : public ::testing::TestWithParam<ShiftCase> {};

TEST_P(ShiftWalk, MarksAwayFromTheAnchorAndUnmarksTowardsIt) {
  const ShiftCase& c = GetParam();
  constexpr int kLast = 10;
  RowMarks m;
  int pos = c.start;
  for (char step : c.steps) {
    const int to = std::clamp(pos + (step == 'd' ? 1 : -1), 1, kLast);
    m.ShiftStep(pos, At(pos), to, At(to));
    pos = to;
  }
  EXPECT_EQ(Positions(m), c.marked);
}

INSTANTIATE_TEST_SUITE_P(
    RowMarks, ShiftWalk,
    ::testing::Values(ShiftCase{"FirstStepMarksBoth", 4, "d", {4, 5}},
                      ShiftCase{"AwayDown", 4, "ddd", {4, 5, 6, 7}},
                      ShiftCase{"AwayUp", 4, "uu", {2, 3, 4}},
                      ShiftCase{"BackTowardsUnmarks", 4, "dddu", {4, 5, 6}},
                      ShiftCase{"BackToAnchorKeepsIt", 4, "ddu", {4, 5}},
                      ShiftCase{"AcrossTheAnchor", 4, "dduuu", {3, 4}},
                      ShiftCase{"StuckAtTheEndChangesNothing", 9, "ddd", {9, 10}},
                      ShiftCase{"StuckAtTheTopFromTheStart", 1, "uu", {}}),
    [](const ::testing::TestParamInfo<ShiftCase>& info) { return std::string(info.param.name); });

TEST(RowMarks, ClearForgetsTheAnchorSoTheNextWalkStartsAnew) {
  RowMarks m;
  m.ShiftStep(2, At(2), 3, At(3));
  EXPECT_EQ(m.AnchorPos(), 2);
  m.Clear();
  EXPECT_FALSE(m.HasAnchor());
  m.ShiftStep(6, At(6), 5, At(5));
  EXPECT_EQ(Positions(m), (std::vector<int>{5, 6}));

  // Forgetting the anchor alone keeps the marks; the next step anchors afresh.
  m.ForgetAnchor();
  m.ShiftStep(8, At(8), 9, At(9));
  EXPECT_EQ(Positions(m), (std::vector<int>{5, 6, 8, 9}));
}

TEST(RowMarks, FollowsTheTablesOrderOfBookmarks) {
  VariableList t;
  t.Open();
  std::vector<Bookmark> ids;
  for (const char* name : {"c", "a", "b"}) {
    VarRecord r;
    r.VarName = name;
    ids.push_back(t.AppendRecord(r));
  }
  t.EndLoad();
  t.SetSortedField("VarName");  // storage order now a, b, c
  RowMarks m([&t](Bookmark a, Bookmark b) { return t.CompareBookmarks(a, b); });
  for (Bookmark bm : ids) m.Mark(bm);
  EXPECT_EQ(m.Items(), (std::vector<Bookmark>{ids[1], ids[2], ids[0]}));
}

}  // namespace
}  // namespace brindle
