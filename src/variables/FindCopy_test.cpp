// Finding, filtering and the copy texts of the variables table.
#include "variables/CopyVariables.h"
#include "variables/FindFilter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace brindle {
namespace {

VarRecord Rec(int id, std::string name, std::string label, std::string missing = {},
              std::string fmt = {}) {
  VarRecord r;
  r.RecId = id;
  r.VarName = std::move(name);
  r.VarLabel = std::move(label);
  r.MissingValues = std::move(missing);
  r.PrintFmt = std::move(fmt);
  return r;
}

// A table with a cursor-moved handler that counts its calls and a filter
// predicate that looks for `filter`.
struct Table {
  VariableList t;
  int scrolls = 0;
  explicit Table(const std::vector<VarRecord>& recs) {
    t.Open();
    for (const auto& r : recs) t.AppendRecord(r);
    t.EndLoad();
    t.SetAfterScroll([this](VariableList&) { ++scrolls; });
    t.SetOnFilterRecord(
        [this](VariableList& table, bool& accept) { FilterRecord(table, filter, accept); });
  }
  std::optional<FindTarget> filter;
  std::vector<int> ViewIds() const {
    std::vector<int> ids;
    for (int row = 0; row < t.RecordCount(); ++row) ids.push_back(t.ViewRecord(row)->RecId);
    return ids;
  }
};

std::vector<VarRecord> Survey() {
  return {Rec(1, "id", "Respondent"),
          Rec(2, "Q27b", "Household income"),
          Rec(3, "q27c", "Income of partner"),
          Rec(4, "age", "Âge en années"),
          Rec(5, "sex", "Sex"),
          Rec(6, "inc_t", "Total INCOME")};
}

TEST(FindMatch, FoldsOnlyAsciiLetters) {
  struct Case {
    const char* field;
    const char* text;
    bool match;
  };
  const Case cases[] = {{"Q27b", "q27B", true},
                        {"Household income", "INCOME", true},
                        {"inc_t", "C_T", true},
                        {"q27", "q27b", false},
                        {"Âge en années", "âge", false},
                        {"Âge en années", "ÂGE", true},
                        {"Âge en années", "ANNÉES", false},
                        {"ANNÉES", "annÉes", true},
                        {"x", "", true}};
  for (const auto& c : cases)
    EXPECT_EQ(MatchesFindText(c.field, c.text), c.match) << c.field << " / " << c.text;
}

TEST(FindMatch, SearchPrefersTheNameBoxAndTheFilterTheLabelBox) {
  EXPECT_EQ(SearchTarget("a", "b")->field, kVarName);
  EXPECT_EQ(FilterTarget("a", "b")->field, kVarLabel);
  EXPECT_EQ(SearchTarget("", "b")->text, "b");
  EXPECT_EQ(FilterTarget("a", "")->field, kVarName);
  EXPECT_FALSE(SearchTarget("", ""));
  EXPECT_FALSE(FilterTarget("", ""));
}

TEST(FindRecordTest, EachCommandAtTheEndsOfTheView) {
  struct Case {
    const char* what;
    FindCommand command;
    int start;         // RecNo before
    const char* text;  // looked for in the labels
    bool found;
    int end;  // RecNo after
  };
  const Case cases[] = {
      {"first finds above the cursor", FindCommand::First, 5, "income", true, 2},
      {"next skips the current record", FindCommand::Next, 2, "income", true, 3},
      {"next on the last record", FindCommand::Next, 6, "income", false, 6},
      {"next finds nothing further", FindCommand::Next, 4, "partner", false, 4},
      {"previous on the first record", FindCommand::Previous, 1, "respondent", false, 1},
      {"previous finds the first record", FindCommand::Previous, 3, "RESPONDENT", true, 1},
      {"last when only the last matches", FindCommand::Last, 1, "total", true, 6},
      {"last of several", FindCommand::Last, 1, "INCOME", true, 6},
      {"no match anywhere", FindCommand::First, 4, "zzz", false, 4},
  };
  for (const auto& c : cases) {
    Table tab(Survey());
    tab.t.SetRecNo(c.start);
    tab.scrolls = 0;
    EXPECT_EQ(FindRecord(tab.t, FindTarget{kVarLabel, c.text}, c.command), c.found) << c.what;
    EXPECT_EQ(tab.t.RecNo(), c.end) << c.what;
    // The caller refreshes once; the walk itself never runs the handler.
    EXPECT_EQ(tab.scrolls, 0) << c.what;
    EXPECT_TRUE(tab.t.AfterScroll()) << c.what;
    EXPECT_FALSE(tab.t.ControlsDisabled()) << c.what;
  }
}

TEST(FindRecordTest, FewerThanTwoRecordsDoNothing) {
  Table tab({Rec(1, "only", "x")});
  EXPECT_FALSE(FindRuns(tab.t, FindCommand::First));
  EXPECT_FALSE(FindRecord(tab.t, FindTarget{kVarName, "only"}, FindCommand::First));
}

TEST(FilterSwitch, OnShowsMatchesOffKeepsTheRowNumber) {
  Table tab(Survey());
  tab.filter = FindTarget{kVarLabel, "INCOME"};
  tab.t.SetRecNo(5);
  tab.scrolls = 0;
  SwitchFilter(tab.t, true);
  EXPECT_EQ(tab.ViewIds(), (std::vector<int>{2, 3, 6}));
  EXPECT_EQ(tab.t.RecNo(), 1);
  tab.t.SetRecNo(3);
  tab.scrolls = 0;
  SwitchFilter(tab.t, false);
  EXPECT_EQ(tab.t.RecordCount(), 6);
  EXPECT_EQ(tab.t.RecNo(), 3);
  EXPECT_EQ(tab.t.Current()->RecId, 3);
  EXPECT_EQ(tab.scrolls, 0);
  EXPECT_FALSE(tab.t.Filtered());
}

TEST(FilterSwitch, WholeTableWhenNothingNarrowsIt) {
  Table tab(Survey());
  tab.filter = std::nullopt;
  SwitchFilter(tab.t, true);
  EXPECT_EQ(tab.t.RecordCount(), 6);
  tab.filter = FindTarget{kVarLabel, "E"};  // every label holds an e
  tab.t.SetRecNo(4);
  SwitchFilter(tab.t, true);
  EXPECT_EQ(tab.t.RecordCount(), 6);
  EXPECT_EQ(tab.t.RecNo(), 1);
  // The flag off accepts everything, whatever the boxes hold.
  tab.filter = FindTarget{kVarName, "zzz"};
  SwitchFilter(tab.t, false);
  EXPECT_EQ(tab.t.RecordCount(), 6);
}

std::vector<VarRecord> Copied() {
  return {Rec(1, "id", "Respondent", "", "F8"), Rec(2, "sex", "Sex", "9", "F1"),
          Rec(3, "score", "", "", "F8.2"), Rec(4, "city", "City", "", "A8")};
}

TEST(CopyVariablesTest, LevelsOfMarksMadeBottomUp) {
  struct Case {
    int level;
    const char* text;
  };
  const Case cases[] = {
      {kCopyNames, "id\r\nscore\r\ncity\r\n"},
      {kCopyLabels, "id\tRespondent\r\nscore\t\r\ncity\tCity\r\n"},
      {kCopyAll, "id\tRespondent\t\tF8\r\nscore\t\t\tF8.2\r\ncity\tCity\t\tA8\r\n"},
  };
  for (const auto& c : cases) {
    Table tab(Copied());
    tab.t.SetRecNo(2);
    tab.scrolls = 0;
    const std::vector<Bookmark> marks = {tab.t.BookmarkAt(3), tab.t.BookmarkAt(2),
                                         tab.t.BookmarkAt(0)};
    EXPECT_EQ(CopyVariables(tab.t, marks, c.level), c.text) << c.level;
    EXPECT_EQ(tab.t.RecNo(), 2);
    EXPECT_EQ(tab.scrolls, 0);
    EXPECT_TRUE(tab.t.AfterScroll());
  }
}

TEST(CopyVariablesTest, WithoutMarksTheCurrentLineHasNoLineEnd) {
  Table tab(Copied());
  tab.t.SetRecNo(3);
  EXPECT_EQ(CopyVariables(tab.t, {}, kCopyAll), "score\t\t\tF8.2");
  EXPECT_EQ(CopyVariables(tab.t, {tab.t.BookmarkAt(1)}, kCopyNames), "sex\r\n");
  tab.t.Close();
  EXPECT_EQ(CopyVariables(tab.t, {}, kCopyAll), "");
}

}  // namespace
}  // namespace brindle
