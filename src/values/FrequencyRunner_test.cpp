#include "values/FrequencyRunner.h"

#include <gtest/gtest.h>

#include "datafile/DictionaryLoader.h"
#include "datafile/OpenFile.h"
#include "spssio/Spssio.h"
#include "spssio/testing/SavWriter.h"
#include "spssio/testing/TempFile.h"

namespace brindle {
namespace {

class FrequencyRunnerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::SavFile f;
    f.variables = {testing::Variable::numeric("a"), testing::Variable::numeric("b"),
                   testing::Variable::numeric("w")};
    for (int i = 0; i < 2500; ++i)
      f.cases.push_back({double(i % 3), double(i % 5), i % 2 ? 2.0 : 0.0});
    m_file = std::make_unique<testing::TempFile>(testing::writeSav(f));
    ASSERT_EQ(OpenDataFileState(m_file->path(), m_state), SPSS_OK);
    LoadDictionary(m_state, m_table, NumberSeparators{});
    m_table.SetAfterScroll([this](VariableList&) { ++m_scrolls; });
    m_pass.file = m_state.File;
    m_pass.numCases = m_state.NumCases;
  }

  std::unique_ptr<testing::TempFile> m_file;
  DataFileState m_state;
  VariableList m_table;
  FrequencyPass m_pass;
  CaseWeighting m_weighting;
  FrequencyRunner m_runner;
  int m_scrolls = 0;
};

TEST_F(FrequencyRunnerTest, MoveDuringPassTakesEffectAfterIt) {
  int pumps = 0;
  const auto shown = m_runner.ShowFrequencies(m_table, m_pass, m_weighting, [&] {
    ++pumps;
    EXPECT_TRUE(m_runner.Counting());
    EXPECT_TRUE(m_table.ControlsDisabled());
    if (pumps == 1) m_table.Next();  // no after-scroll while the pass runs
    // Re-entry does nothing.
    EXPECT_FALSE(m_runner.ShowFrequencies(m_table, m_pass, m_weighting).has_value());
  });
  ASSERT_TRUE(shown.has_value());
  EXPECT_EQ(pumps, 2);
  EXPECT_EQ(m_scrolls, 0);
  EXPECT_TRUE(shown->moved);
  EXPECT_EQ(shown->result.caption, "a");  // the table of the variable the pass began with
  EXPECT_EQ(shown->result.ValueRowCount(), 3);
  EXPECT_FALSE(m_runner.Counting());
  EXPECT_FALSE(m_table.ControlsDisabled());
  m_table.Next();
  EXPECT_EQ(m_scrolls, 1);  // the handler is attached again
}

TEST_F(FrequencyRunnerTest, EscapeCancelsAtTheNextThousand) {
  m_runner.RequestCancel();  // not counting: ignored
  const auto shown =
      m_runner.ShowFrequencies(m_table, m_pass, m_weighting, [&] { m_runner.RequestCancel(); });
  ASSERT_TRUE(shown.has_value());
  EXPECT_TRUE(shown->result.cancelled);
  EXPECT_EQ(shown->result.casesRead, 1000);
  EXPECT_EQ(shown->result.caption, "");
  EXPECT_FALSE(shown->moved);
  // The request does not outlive its pass.
  const auto again = m_runner.ShowFrequencies(m_table, m_pass, m_weighting);
  EXPECT_FALSE(again->result.cancelled);
}

TEST_F(FrequencyRunnerTest, WeightButtonChoosesTheWeightedPass) {
  m_weighting.FillWeightList(m_table, "");
  m_weighting.WeightChosen(3);  // " ", a, b, w
  ASSERT_EQ(m_weighting.ActiveWeightName(), "w");
  m_weighting.WeightButtonClick(true);
  const auto shown = m_runner.ShowFrequencies(m_table, m_pass, m_weighting);
  // Only odd cases weigh (2 each): 1250 cases, weight 2500.
  std::int64_t sum = 0;
  for (int i = 0; i < shown->result.ValueRowCount(); ++i)
    sum += std::stoll(shown->result.Cell(2, i));
  EXPECT_EQ(sum, 2500);
}

TEST_F(FrequencyRunnerTest, LargeFilesCountEachTableAlone) {
  // 2500 cases x 3 variables: over a limit of 7499 cells the first table
  // counts only its own variable, and a move reads the cases again.
  for (const std::int64_t limit : {std::int64_t(7499), std::int64_t(7500)}) {
    FrequencyRunner runner;
    runner.SetKeepCellLimit(limit);
    m_table.First();
    int pumps = 0;
    const auto pump = [&] { ++pumps; };
    const auto first = runner.ShowFrequencies(m_table, m_pass, m_weighting, pump);
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(first->result.caption, "a");
    EXPECT_EQ(runner.KeptTables(), limit >= 7500 ? 3u : 0u);
    pumps = 0;
    m_table.Next();
    const auto second = runner.ShowFrequencies(m_table, m_pass, m_weighting, pump);
    EXPECT_EQ(second->result.caption, "b");
    EXPECT_EQ(second->result.memoLines, CountFrequencies(m_pass, *m_table.Current()).memoLines);
    EXPECT_EQ(pumps > 0, limit < 7500) << limit;
  }
}

TEST_F(FrequencyRunnerTest, OnePassKeepsTheTablesOfEveryVariable) {
  int pumps = 0;
  const auto pump = [&] { ++pumps; };
  const auto first = m_runner.ShowFrequencies(m_table, m_pass, m_weighting, pump);
  ASSERT_TRUE(first.has_value());
  EXPECT_EQ(first->result.caption, "a");
  EXPECT_EQ(m_runner.KeptTables(), 3u);
  pumps = 0;
  m_table.Next();
  const auto second = m_runner.ShowFrequencies(m_table, m_pass, m_weighting, pump);
  EXPECT_EQ(pumps, 0);  // no case read again
  EXPECT_EQ(second->result.caption, "b");
  EXPECT_EQ(second->result.ValueRowCount(), 5);
  EXPECT_EQ(second->result.casesRead, 2500);
  EXPECT_EQ(second->result.memoLines, CountFrequencies(m_pass, *m_table.Current()).memoLines);
  // Weighting counts again, with the weights.
  m_weighting.FillWeightList(m_table, "");
  m_weighting.WeightChosen(3);
  m_weighting.WeightButtonClick(true);
  const auto weighted = m_runner.ShowFrequencies(m_table, m_pass, m_weighting, pump);
  EXPECT_EQ(pumps, 2);
  EXPECT_EQ(weighted->result.Cell(2, 0), "500");  // b == 0: cases 0, 5, ...: 250 odd ones, 2 each
  // The table on screen asked for again is counted again, the others kept.
  pumps = 0;
  m_runner.ShowFrequencies(m_table, m_pass, m_weighting, pump);
  EXPECT_EQ(pumps, 2);
  m_table.Prior();
  m_runner.ShowFrequencies(m_table, m_pass, m_weighting, pump);
  EXPECT_EQ(pumps, 2);
  m_table.Next();
  // Other display options count again too.
  FrequencyPass general = m_pass;
  general.usePrintFormat = false;
  pumps = 0;
  m_runner.ShowFrequencies(m_table, general, m_weighting, pump);
  EXPECT_EQ(pumps, 2);
  m_runner.SetKeepTables(false);
  EXPECT_EQ(m_runner.KeptTables(), 0u);
  pumps = 0;
  m_runner.ShowFrequencies(m_table, general, m_weighting, pump);
  m_runner.ShowFrequencies(m_table, general, m_weighting, pump);
  EXPECT_EQ(pumps, 4);
}

}  // namespace
}  // namespace brindle
