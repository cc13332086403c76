#include "variables/VariableList.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "variables/BulkScan.h"

namespace brindle {
namespace {

VarRecord Rec(int id, std::string name, std::string label = {}, int type = 0, double miss1 = 0) {
  VarRecord r;
  r.RecId = id;
  r.VarName = std::move(name);
  r.VarLabel = std::move(label);
  r.VarType = type;
  r.nMiss1 = miss1;
  return r;
}

void Load(VariableList& t, const std::vector<VarRecord>& recs) {
  t.Close();
  t.Open();
  for (const auto& r : recs) t.AppendRecord(r);
  t.EndLoad();
}

// RecIds of the view, in view order.
std::vector<int> ViewIds(const VariableList& t) {
  std::vector<int> ids;
  for (int row = 0; row < t.RecordCount(); ++row) ids.push_back(t.ViewRecord(row)->RecId);
  return ids;
}

struct CountingListener : TableViewListener {
  int resets = 0;
  int moves = 0;
  void ViewReset() override { ++resets; }
  void CurrentChanged() override { ++moves; }
};

// Names chosen so that case folding, the underscore and prefixes matter.
std::vector<VarRecord> Fixture() {
  return {Rec(1, "b", "Zeta", 0, 3), Rec(2, "A_", "alpha", 8, -1), Rec(3, "a", "Beta", 0, 2.5),
          Rec(4, "AB", "", 3, 10), Rec(5, "_x", "beta2", 0, -7)};
}

TEST(VariableListFields, NamesMatchWithoutCase) {
  struct Case {
    const char* name;
    int field;
  };
  const Case cases[] = {{"RecId", kRecId},
                        {"recid", kRecId},
                        {"MissingFormat", kMissingFormat},
                        {"missingformat", kMissingFormat},
                        {"NMISS3", kNMiss3},
                        {"PrintFmt", kPrintFmt},
                        {"VarLabel", kVarLabel},
                        {"", -1},
                        {"VarNam", -1},
                        {"VarName ", -1}};
  for (const auto& c : cases) EXPECT_EQ(VariableList::FieldNumber(c.name), c.field) << c.name;
}

TEST(VariableListFields, ReadsCurrentRecordByNumberAndName) {
  VariableList t;
  EXPECT_FALSE(t.Field(kVarName).has_value());  // nothing current
  Load(t, Fixture());
  t.MoveBy(1);
  EXPECT_EQ(std::get<std::string>(*t.Field(kVarName)), "A_");
  EXPECT_EQ(std::get<std::int32_t>(*t.FieldByName("vartype")), 8);
  EXPECT_EQ(t.FieldAsDouble("NMiss1"), -1);
  EXPECT_EQ(t.FieldAsText("VarLabel"), "alpha");
  EXPECT_EQ(t.FieldAsText("RecId"), "2");
  EXPECT_FALSE(t.FieldByName("nosuch").has_value());
  EXPECT_EQ(t.FieldAsInteger("nosuch"), 0);
}

TEST(VariableListCursor, EmptyView) {
  VariableList t;
  Load(t, {});
  EXPECT_EQ(t.RecordCount(), 0);
  EXPECT_EQ(t.RecNo(), 0);
  EXPECT_TRUE(t.Eof());
  EXPECT_EQ(t.Current(), nullptr);
  EXPECT_EQ(t.MoveBy(3), 0);
  t.First();
  t.Last();
  t.SetRecNo(2);
  EXPECT_EQ(t.RecNo(), 0);
  EXPECT_EQ(t.GetBookmark(), kNoBookmark);
}

TEST(VariableListCursor, MovesStopAtTheEnds) {
  VariableList t;
  Load(t, Fixture());
  EXPECT_EQ(t.RecNo(), 1);
  EXPECT_FALSE(t.Eof());
  t.Prior();
  EXPECT_EQ(t.RecNo(), 1);
  EXPECT_EQ(t.MoveBy(3), 3);
  EXPECT_EQ(t.RecNo(), 4);
  EXPECT_EQ(t.MoveBy(100), 1);
  EXPECT_EQ(t.RecNo(), 5);
  EXPECT_TRUE(t.Eof());  // moved past the end
  t.Last();
  EXPECT_FALSE(t.Eof());
  t.Next();
  EXPECT_TRUE(t.Eof());
  EXPECT_EQ(t.RecNo(), 5);
  t.Prior();
  EXPECT_FALSE(t.Eof());
  EXPECT_EQ(t.MoveBy(-1000), -3);
  EXPECT_EQ(t.RecNo(), 1);
  EXPECT_EQ(t.MoveBy(INT32_MIN), 0);
  t.SetRecNo(99);
  EXPECT_EQ(t.RecNo(), 5);

  int visited = 0;
  for (t.First(); !t.Eof(); t.Next()) ++visited;
  EXPECT_EQ(visited, 5);
}

TEST(VariableListCursor, AfterScrollFollowsEveryMoveWhileAttached) {
  VariableList t;
  Load(t, Fixture());
  int calls = 0;
  t.SetAfterScroll([&](VariableList&) { ++calls; });
  t.First();  // always, even without a move
  t.Next();
  t.MoveBy(2);
  t.Last();
  t.Next();  // nowhere to go
  EXPECT_EQ(calls, 4);
  t.DisableControls();  // suspending views does not silence the handler
  t.Prior();
  EXPECT_EQ(calls, 5);
  t.EnableControls();
  t.DetachAfterScroll();
  t.First();
  EXPECT_EQ(calls, 5);
}

TEST(VariableListLoad, AppendsBecomeContentAtEndLoad) {
  VariableList t;
  EXPECT_EQ(t.AppendRecord(Rec(1, "x")), kNoBookmark);  // closed
  t.Open();
  t.AppendRecord(Rec(1, "x"));
  t.AppendRecord(Rec(2, "y"));
  EXPECT_EQ(t.RecordCount(), 0);
  t.EndLoad();
  EXPECT_EQ(ViewIds(t), (std::vector<int>{1, 2}));
  t.SetSortedField("VarName");
  t.SetFiltered(true);
  t.Clear();
  EXPECT_EQ(t.RecordCount(), 0);
  EXPECT_EQ(t.SortedField(), "VarName");
  EXPECT_TRUE(t.Filtered());
  EXPECT_EQ(t.SortOptions(), SortOptionSet{soCaseInsensitive});
  t.Close();
  EXPECT_FALSE(t.Active());
}

TEST(VariableListLoad, EndLoadKeepsAStandingSort) {
  VariableList t;
  t.Open();
  t.SetSortedField("VarName");
  for (const auto& r : Fixture()) t.AppendRecord(r);
  t.EndLoad();
  EXPECT_EQ(ViewIds(t), (std::vector<int>{3, 4, 2, 1, 5}));
}

struct SortCase {
  const char* field;
  SortOptionSet options;
  std::vector<int> ids;
};

class VariableListSort : public ::testing::TestWithParam<SortCase> {};

TEST_P(VariableListSort, OrdersTheWholeTable) {
  const SortCase& c = GetParam();
  VariableList t;
  Load(t, Fixture());
  t.SetSortOptions(c.options);
  t.SetSortedField(c.field);
  EXPECT_EQ(ViewIds(t), c.ids);
  EXPECT_EQ(t.RecNo(), 1);
}

// Folded, "A_" and "AB" share "A" and then '_' (95) follows 'B' (66); "_x"
// follows every name that starts with a letter. Unfolded, lower case (97+)
// follows '_'.
INSTANTIATE_TEST_SUITE_P(
    Cases, VariableListSort,
    ::testing::Values(SortCase{"VarName", {soCaseInsensitive}, {3, 4, 2, 1, 5}},
                      SortCase{"varname", {soCaseInsensitive, soDesc}, {5, 1, 2, 4, 3}},
                      SortCase{"VarName", {}, {4, 2, 5, 3, 1}},
                      SortCase{"VarLabel", {soCaseInsensitive}, {4, 2, 3, 5, 1}},
                      SortCase{"VarLabel", {}, {4, 3, 1, 2, 5}},
                      SortCase{"nMiss1", {soCaseInsensitive}, {5, 2, 3, 1, 4}},
                      SortCase{"nMiss1", {soDesc}, {4, 1, 3, 2, 5}},
                      SortCase{"RecId", {soDesc}, {5, 4, 3, 2, 1}},
                      SortCase{"RecId", {soCaseInsensitive}, {1, 2, 3, 4, 5}}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

TEST(VariableListSortRules, FoldedTextsCompareEqual) {
  const SortOptionSet fold{soCaseInsensitive};
  EXPECT_EQ(VariableList::CompareRecords(Rec(1, "Income"), Rec(2, "INCOME"), kVarName, fold), 0);
  EXPECT_NE(VariableList::CompareRecords(Rec(1, "Income"), Rec(2, "INCOME"), kVarName, {}), 0);
  // Only a-z fold; bytes above 127 compare unsigned and unfolded.
  EXPECT_LT(VariableList::CompareRecords(Rec(1, "z"), Rec(2, "\xC3\xA9"), kVarName, fold), 0);
  EXPECT_NE(VariableList::CompareRecords(Rec(1, "\xC3\xA9"), Rec(2, "\xC3\x89"), kVarName, fold), 0);
  EXPECT_LT(VariableList::CompareRecords(Rec(1, "ab"), Rec(2, "abc"), kVarName, fold), 0);
  EXPECT_GT(VariableList::CompareRecords(Rec(1, "ab"), Rec(2, "abc"), kVarName, {soDesc}), 0);
}

TEST(VariableListSortRules, SameSettingDoesNotSortAgain) {
  VariableList t;
  Load(t, Fixture());
  t.SetSortedField("VarName");
  t.MoveBy(2);
  t.SetSortedField("VarName");
  EXPECT_EQ(t.RecNo(), 3);  // a sort would have gone to the first record
  t.SetSortOptions({soCaseInsensitive});
  EXPECT_EQ(t.RecNo(), 3);
  t.SetSortedField("varname");  // a different text sorts again
  EXPECT_EQ(t.RecNo(), 1);
  t.MoveBy(2);
  t.SetSortOptions({soCaseInsensitive, soDesc});
  EXPECT_EQ(t.RecNo(), 1);
  EXPECT_EQ(t.Current()->RecId, 5);
}

TEST(VariableListSortRules, UnknownFieldOrClosedTableSortsNothing) {
  VariableList t;
  Load(t, Fixture());
  t.SetSortedField("VarName");
  t.SetSortedField("");  // drops the sort, keeps the order
  EXPECT_EQ(ViewIds(t), (std::vector<int>{3, 4, 2, 1, 5}));
  t.SetSortedField("Nonsense");
  EXPECT_EQ(ViewIds(t), (std::vector<int>{3, 4, 2, 1, 5}));
  t.SetSortedField("RecId");
  EXPECT_EQ(ViewIds(t), (std::vector<int>{1, 2, 3, 4, 5}));
  VariableList closed;
  closed.SetSortedField("VarName");
  EXPECT_EQ(closed.RecordCount(), 0);
}

// Many equal keys in random order: every sort must give a permutation in
// key order, with identities following their records.
TEST(VariableListSortRules, RandomKeysWithManyTies) {
  std::mt19937 rng(12345);
  std::vector<VarRecord> recs;
  for (int i = 1; i <= 3000; ++i) {
    std::string name(1 + rng() % 3, 'a');
    for (char& ch : name) ch = "aAbB_z"[rng() % 6];
    recs.push_back(Rec(i, name, "", static_cast<int>(rng() % 4), static_cast<double>(rng() % 7)));
  }
  VariableList t;
  Load(t, recs);
  std::vector<Bookmark> marks;
  for (int row = 0; row < t.RecordCount(); row += 97) marks.push_back(t.BookmarkAt(row));
  const std::pair<const char*, SortOptionSet> runs[] = {{"VarName", {soCaseInsensitive}},
                                                        {"VarName", {soDesc}},
                                                        {"VarType", {}},
                                                        {"nMiss1", {soDesc}},
                                                        {"RecId", {}}};
  for (const auto& [field, options] : runs) {
    t.SetSortedField("");
    t.SetSortOptions(options);
    t.SetSortedField(field);
    const int f = VariableList::FieldNumber(field);
    std::vector<int> ids;
    for (int row = 0; row < t.RecordCount(); ++row) {
      ids.push_back(t.ViewRecord(row)->RecId);
      if (row > 0) {
        EXPECT_LE(
            VariableList::CompareRecords(*t.ViewRecord(row - 1), *t.ViewRecord(row), f, options), 0)
            << field << " row " << row;
      }
    }
    std::sort(ids.begin(), ids.end());
    for (int i = 0; i < 3000; ++i) ASSERT_EQ(ids[static_cast<std::size_t>(i)], i + 1);
    for (Bookmark bm : marks) {
      ASSERT_TRUE(t.GotoBookmark(bm));
      EXPECT_EQ(t.Current()->RecId, static_cast<int>(bm - marks[0]) + 1);
    }
  }
}

TEST(VariableListFilter, PredicateBuildsTheView) {
  VariableList t;
  Load(t, Fixture());
  std::vector<int> offered;
  t.SetOnFilterRecord([&](VariableList& tbl, bool& accept) {
    offered.push_back(tbl.Current()->RecId);
    if (tbl.Filtered()) accept = tbl.Current()->VarType == 0;
  });
  t.Refilter();  // Filtered off: everyone passes, the view is the whole table
  EXPECT_EQ(offered, (std::vector<int>{1, 2, 3, 4, 5}));
  EXPECT_EQ(t.RecordCount(), 5);
  t.MoveBy(3);
  EXPECT_EQ(t.RecNo(), 4);

  t.SetFiltered(true);
  t.Refilter();
  EXPECT_EQ(ViewIds(t), (std::vector<int>{1, 3, 5}));
  EXPECT_EQ(t.RecNo(), 1);
  EXPECT_EQ(t.StoredCount(), 5);

  // After a sort the view is rebuilt in the new storage order, cursor first.
  t.MoveBy(2);
  t.SetSortOptions({soCaseInsensitive, soDesc});
  t.SetSortedField("VarName");
  EXPECT_EQ(ViewIds(t), (std::vector<int>{5, 1, 3}));
  EXPECT_EQ(t.RecNo(), 1);

  t.SetOnFilterRecord([](VariableList&, bool& accept) { accept = false; });
  t.Refilter();
  EXPECT_EQ(t.RecordCount(), 0);
  EXPECT_EQ(t.RecNo(), 0);
  EXPECT_EQ(t.Current(), nullptr);
}

TEST(VariableListFilter, PredicateThatEmptiesTheTableIsSurvived) {
  VariableList t;
  Load(t, Fixture());
  t.SetOnFilterRecord([](VariableList& tbl, bool& accept) {
    accept = tbl.Current()->RecId != 2;
    if (tbl.Current()->RecId == 3) tbl.Clear();
    tbl.Refilter();  // ignored from inside
  });
  t.Refilter();
  EXPECT_EQ(t.RecordCount(), 0);
}

TEST(VariableListBookmarks, IdentitySurvivesSortAndFilter) {
  VariableList t;
  Load(t, Fixture());
  t.MoveBy(3);
  const Bookmark ab = t.GetBookmark();  // RecId 4, "AB"
  const Bookmark first = t.BookmarkAt(0);
  EXPECT_EQ(t.CompareBookmarks(first, ab), -1);
  t.SetSortedField("VarName");  // order 3 4 2 1 5
  EXPECT_EQ(t.CompareBookmarks(first, ab), 1);
  EXPECT_EQ(t.CompareBookmarks(ab, ab), 0);
  EXPECT_TRUE(t.GotoBookmark(ab));
  EXPECT_EQ(t.Current()->RecId, 4);
  EXPECT_EQ(t.RecNo(), 2);

  t.SetFiltered(true);
  t.SetOnFilterRecord([](VariableList& tbl, bool& accept) {
    if (tbl.Filtered()) accept = tbl.Current()->VarType == 0;
  });
  t.Refilter();  // view 3 1 5
  t.Last();
  int calls = 0;
  t.SetAfterScroll([&](VariableList&) { ++calls; });
  EXPECT_FALSE(t.GotoBookmark(ab));  // filtered out: cursor stays
  EXPECT_EQ(t.Current()->RecId, 5);
  EXPECT_EQ(calls, 0);
  EXPECT_TRUE(t.BookmarkValid(ab));
  EXPECT_TRUE(t.GotoBookmark(first));
  EXPECT_EQ(t.Current()->RecId, 1);
  EXPECT_EQ(calls, 1);

  t.Clear();
  EXPECT_FALSE(t.BookmarkValid(ab));
  EXPECT_FALSE(t.GotoBookmark(ab));
  EXPECT_FALSE(t.GotoBookmark(kNoBookmark));
  Load(t, Fixture());
  EXPECT_FALSE(t.GotoBookmark(ab));  // identities are not reused
  EXPECT_EQ(t.CompareBookmarks(ab, t.GetBookmark()), -1);
}

TEST(VariableListViews, NotifiedOnceAfterSuspendedWork) {
  VariableList t;
  CountingListener l;
  t.AddListener(&l);
  t.DisableControls();
  t.DisableControls();
  Load(t, Fixture());
  t.SetSortedField("VarName");
  t.Refilter();
  t.Next();
  t.EnableControls();
  EXPECT_EQ(l.resets, 0);
  t.EnableControls();
  EXPECT_EQ(l.resets, 1);
  EXPECT_EQ(l.moves, 0);
  t.EnableControls();  // unbalanced: ignored
  EXPECT_FALSE(t.ControlsDisabled());

  t.Next();
  t.First();
  t.First();  // no move, no notice
  EXPECT_EQ(l.moves, 2);
  t.SetSortedField("RecId");  // a sort and its refilter: one reset
  EXPECT_EQ(l.resets, 2);
  t.RemoveListener(&l);
  t.Next();
  EXPECT_EQ(l.moves, 2);
}

TEST(VariableListViews, BulkScanRestoresRowHandlerAndViews) {
  VariableList t;
  Load(t, Fixture());
  CountingListener l;
  t.AddListener(&l);
  int calls = 0;
  t.SetAfterScroll([&](VariableList&) { ++calls; });
  t.MoveBy(2);
  calls = 0;
  l.moves = 0;
  {
    BulkScan scan(t);
    EXPECT_EQ(scan.StartRecNo(), 3);
    EXPECT_TRUE(t.ControlsDisabled());
    for (t.First(); !t.Eof(); t.Next()) {
    }
  }
  EXPECT_EQ(calls, 0);
  EXPECT_EQ(l.moves, 0);
  EXPECT_EQ(l.resets, 1);
  EXPECT_EQ(t.RecNo(), 3);
  EXPECT_FALSE(t.ControlsDisabled());
  t.Next();
  EXPECT_EQ(calls, 1);  // reattached
}

// Loading, sorting and a frequency pass end where their work put the cursor.
TEST(VariableListViews, BulkScanKeepingTheCursorLeavesItWhereTheWorkPutIt) {
  VariableList t;
  Load(t, Fixture());
  int calls = 0;
  t.SetAfterScroll([&](VariableList&) { ++calls; });
  t.MoveBy(2);
  calls = 0;
  {
    BulkScan scan(t, BulkScan::Cursor::Keep);
    EXPECT_TRUE(t.ControlsDisabled());
    t.Last();
  }
  EXPECT_EQ(calls, 0);
  EXPECT_EQ(t.RecNo(), t.RecordCount());
  EXPECT_FALSE(t.ControlsDisabled());
  t.First();
  EXPECT_EQ(calls, 1);  // reattached
}

// A dictionary of 100,000 variables loads, sorts and filters without
// quadratic work; too slow a path shows as a hung test, not a timing check.
TEST(VariableListLarge, HundredThousandRecords) {
  VariableList t;
  CountingListener l;
  t.AddListener(&l);
  t.Open();
  t.DisableControls();
  for (int i = 1; i <= 100000; ++i)
    t.AppendRecord(Rec(i, std::to_string(100000 - i).insert(0, 1, 'v')));
  t.EndLoad();
  t.EnableControls();
  EXPECT_EQ(l.resets, 1);
  t.SetSortedField("VarName");
  EXPECT_EQ(t.Current()->RecId, 100000);  // "v0"
  t.SetSortOptions({soDesc});
  t.SetSortedField("RecId");
  EXPECT_EQ(t.Current()->RecId, 100000);
  t.SetFiltered(true);
  t.SetOnFilterRecord(
      [](VariableList& tbl, bool& accept) { accept = tbl.Current()->RecId % 2 == 0; });
  t.Refilter();
  EXPECT_EQ(t.RecordCount(), 50000);
  t.Last();
  EXPECT_EQ(t.Current()->RecId, 2);
  EXPECT_EQ(l.moves, 1);
}

}  // namespace
}  // namespace brindle
