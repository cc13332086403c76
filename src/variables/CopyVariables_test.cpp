#include "variables/CopyVariables.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace brindle {
namespace {

VarRecord Rec(int id, std::string name, std::string label, std::string missing, std::string fmt) {
  VarRecord r;
  r.RecId = id;
  r.VarName = std::move(name);
  r.VarLabel = std::move(label);
  r.MissingValues = std::move(missing);
  r.PrintFmt = std::move(fmt);
  return r;
}

struct Table {
  TdxMemData t;
  int scrolls = 0;
  Table() {
    t.Open();
    t.AppendRecord(Rec(1, "id", "Respondent", "", "F8"));
    t.AppendRecord(Rec(2, "sex", "Sex", "9", "F1"));
    t.AppendRecord(Rec(3, "score", "", "", "F8.2"));
    t.AppendRecord(Rec(4, "city", "City", "", "A8"));
    t.EndLoad();
    t.SetAfterScroll([this](TdxMemData&) { ++scrolls; });
  }
};

TEST(CopyVariablesTest, LevelsOfMarksMadeBottomUp) {
  struct Case { int level; const char* text; };
  const Case cases[] = {
      {kCopyNames, "id\r\nscore\r\ncity\r\n"},
      {kCopyLabels, "id\tRespondent\r\nscore\t\r\ncity\tCity\r\n"},
      {kCopyAll, "id\tRespondent\t\tF8\r\nscore\t\t\tF8.2\r\ncity\tCity\t\tA8\r\n"},
  };
  for (const auto& c : cases) {
    Table tab;
    tab.t.SetRecNo(2);
    tab.scrolls = 0;
    const std::vector<Bookmark> marks = {tab.t.BookmarkAt(3), tab.t.BookmarkAt(2), tab.t.BookmarkAt(0)};
    EXPECT_EQ(CopyVariables(tab.t, marks, c.level), c.text) << c.level;
    EXPECT_EQ(tab.t.RecNo(), 2);
    EXPECT_EQ(tab.scrolls, 0);
    EXPECT_TRUE(tab.t.AfterScroll());
  }
}

TEST(CopyVariablesTest, WithoutMarksTheCurrentLineHasNoLineEnd) {
  Table tab;
  tab.t.SetRecNo(3);
  EXPECT_EQ(CopyVariables(tab.t, {}, kCopyAll), "score\t\t\tF8.2");
  EXPECT_EQ(CopyVariables(tab.t, {tab.t.BookmarkAt(1)}, kCopyNames), "sex\r\n");
  tab.t.Close();
  EXPECT_EQ(CopyVariables(tab.t, {}, kCopyAll), "");
}

TEST(CopyVariablesTest, MarksFollowTheSortedOrder) {
  Table tab;
  const std::vector<Bookmark> marks = {tab.t.BookmarkAt(0), tab.t.BookmarkAt(3)};
  tab.t.SetSortedField("VarName");  // city, id, score, sex
  EXPECT_EQ(CopyVariables(tab.t, marks, kCopyNames), "city\r\nid\r\n");
}

}  // namespace
}  // namespace brindle
