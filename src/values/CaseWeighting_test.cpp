#include "values/CaseWeighting.h"

#include <gtest/gtest.h>

namespace brindle {
namespace {

void Load(VariableList& t, const std::vector<std::pair<std::string, int>>& vars) {
  t.Open();
  int id = 1;
  for (const auto& [name, type] : vars) {
    VarRecord r;
    r.RecId = id++;
    r.VarName = name;
    r.VarType = type;
    t.AppendRecord(r);
  }
  t.EndLoad();
}

TEST(CaseWeighting, ListSortedWithoutCaseBlankFirstAndFileWeightSelected) {
  VariableList t;
  Load(t, {{"zeta", 0}, {"Alpha", 0}, {"name", 8}, {"beta", 0}, {"wgt", 0}});
  CaseWeighting w;
  w.Reset();
  w.FillWeightList(t, "wgt");
  EXPECT_EQ(w.Items(), (std::vector<std::string>{" ", "Alpha", "beta", "wgt", "zeta"}));
  EXPECT_EQ(w.ItemIndex(), 3);
  EXPECT_EQ(w.ActiveWeightName(), "");  // selecting by program sets nothing
  EXPECT_FALSE(w.WeightingOn());
  EXPECT_EQ(w.Hint(), "Set Weight on");
  // Filled once per file.
  w.FillWeightList(t, "");
  EXPECT_EQ(w.ItemIndex(), 3);
}

TEST(CaseWeighting, ButtonAndSelection) {
  VariableList t;
  Load(t, {{"w", 0}, {"v", 0}});
  CaseWeighting w;
  w.Reset();
  w.FillWeightList(t, "");
  EXPECT_EQ(w.ItemIndex(), 0);
  // Blank selected: the button springs back.
  w.WeightButtonClick(true);
  EXPECT_FALSE(w.ButtonDown());
  EXPECT_FALSE(w.WeightingOn());
  EXPECT_EQ(w.Hint(), "Set Weight On");

  w.WeightChosen(2);  // "w"
  EXPECT_EQ(w.ActiveWeightName(), "w");
  w.WeightButtonClick(true);
  EXPECT_TRUE(w.WeightingOn());
  EXPECT_EQ(w.Hint(), "Set Weight Off");
  w.WeightChosen(1);  // another variable keeps weighting on
  EXPECT_TRUE(w.WeightingOn());
  EXPECT_EQ(w.ActiveWeightName(), "v");
  w.WeightChosen(0);  // the blank item switches it off
  EXPECT_FALSE(w.WeightingOn());
  EXPECT_FALSE(w.ButtonDown());
  EXPECT_EQ(w.Hint(), "Set Weight on");

  w.WeightChosen(1);
  w.WeightButtonClick(true);
  w.WeightButtonClick(false);
  EXPECT_FALSE(w.WeightingOn());
  EXPECT_EQ(w.Hint(), "Set Weight On");
  w.Reset();
  EXPECT_TRUE(w.Items().empty());
  EXPECT_EQ(w.ActiveWeightName(), "");
}

TEST(CaseWeighting, NoNumericVariablesOnlyBlank) {
  VariableList t;
  Load(t, {{"s", 4}});
  CaseWeighting w;
  w.FillWeightList(t, "s");
  EXPECT_EQ(w.Items(), (std::vector<std::string>{" "}));
  EXPECT_EQ(w.ItemIndex(), 0);
}

}  // namespace
}  // namespace brindle
