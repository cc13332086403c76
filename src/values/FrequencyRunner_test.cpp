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

TEST_F(FrequencyRunnerTest, LargeFilesCountTheOtherTablesInTheBackground) {
  // 2500 cases x 3 variables: over a limit of 7499 cells the first table
  // counts only its own variable, and the others are counted beside the
  // window; at the limit the first table counts them all.
  m_pass.threads = 2;  // a split pass, also on a machine of one core
  m_pass.indexEvery = 100;
  for (const std::int64_t limit : {std::int64_t(7499), std::int64_t(7500)}) {
    FrequencyRunner runner;
    runner.SetKeepCellLimit(limit);
    m_table.First();
    int pumps = 0;
    const auto pump = [&] { ++pumps; };
    const auto first = runner.ShowFrequencies(m_table, m_pass, m_weighting, pump);
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(first->result.caption, "a");
    if (limit >= 7500) {
      EXPECT_FALSE(runner.BackgroundRunning());
      EXPECT_EQ(runner.KeptTables(), 3u);
    }
    runner.WaitForBackground();
    EXPECT_FALSE(runner.BackgroundRunning());
    EXPECT_EQ(runner.KeptTables(), 3u);
    pumps = 0;
    for (int move = 0; move < 2; ++move) {
      m_table.Next();
      const auto next = runner.ShowFrequencies(m_table, m_pass, m_weighting, pump);
      const FrequencyResult alone = CountFrequencies(m_pass, *m_table.Current());
      EXPECT_EQ(next->result.caption, alone.caption);
      EXPECT_EQ(next->result.memoLines, alone.memoLines);
      ASSERT_EQ(next->result.ValueRowCount(), alone.ValueRowCount());
      for (int row = 0; row < alone.ValueRowCount(); ++row)
        for (int col = 0; col < 5; ++col)
          EXPECT_EQ(next->result.Cell(col, row), alone.Cell(col, row));
    }
    EXPECT_EQ(pumps, 0) << limit;  // kept: no case read again
  }
}

TEST_F(FrequencyRunnerTest, ChangeOfWeightCountsAgainInTheBackground) {
  m_pass.threads = 2;
  m_pass.indexEvery = 100;
  m_runner.SetKeepCellLimit(0);
  m_runner.ShowFrequencies(m_table, m_pass, m_weighting);
  m_runner.WaitForBackground();
  ASSERT_EQ(m_runner.KeptTables(), 3u);
  m_weighting.FillWeightList(m_table, "");
  m_weighting.WeightChosen(3);
  m_weighting.WeightButtonClick(true);
  int pumps = 0;
  const auto pump = [&] { ++pumps; };
  // The table shown is counted at once with the weights; the rest follows.
  m_table.Next();
  const auto weighted = m_runner.ShowFrequencies(m_table, m_pass, m_weighting, pump);
  EXPECT_EQ(pumps, 2);
  EXPECT_EQ(weighted->result.Cell(2, 0), "500");
  m_runner.WaitForBackground();
  EXPECT_EQ(m_runner.KeptTables(), 3u);
  pumps = 0;
  for (const int row : {1, 3}) {
    m_table.SetRecNo(row);
    const auto kept = m_runner.ShowFrequencies(m_table, m_pass, m_weighting, pump);
    const FrequencyResult alone = CountWeightedFrequencies(m_pass, *m_table.Current(), "w");
    EXPECT_EQ(kept->result.memoLines, alone.memoLines);
    ASSERT_EQ(kept->result.ValueRowCount(), alone.ValueRowCount());
    for (int r = 0; r < alone.ValueRowCount(); ++r)
      EXPECT_EQ(kept->result.Cell(2, r), alone.Cell(2, r));
  }
  EXPECT_EQ(pumps, 0);
}

// A file long enough for the background count to be caught running.
class FrequencyRunnerLongTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::SavFile f;
    for (const char* name : {"a", "b", "c", "d"})
      f.variables.push_back(testing::Variable::numeric(name));
    f.variables.push_back(testing::Variable::string("s", 8));
    for (int i = 0; i < 60000; ++i)
      f.cases.push_back({double(i % 7), double(i % 11), double(i), double(i % 3),
                         std::string(i % 2 ? "odd" : "even")});
    m_file = std::make_unique<testing::TempFile>(testing::writeSav(f));
    ASSERT_EQ(OpenDataFileState(m_file->path(), m_state), SPSS_OK);
    LoadDictionary(m_state, m_table, NumberSeparators{});
    m_pass.file = m_state.File;
    m_pass.numCases = m_state.NumCases;
    m_pass.threads = 2;
  }

  std::unique_ptr<testing::TempFile> m_file;
  DataFileState m_state;
  VariableList m_table;
  FrequencyPass m_pass;
  CaseWeighting m_weighting;
};

TEST_F(FrequencyRunnerLongTest, ClosingTheFileStopsTheBackgroundCount) {
  for (int round = 0; round < 3; ++round) {
    auto runner = std::make_unique<FrequencyRunner>();
    runner->SetKeepCellLimit(0);
    m_table.First();
    runner->ShowFrequencies(m_table, m_pass, m_weighting);
    if (round == 0) {
      // Forgetting stops it; nothing it counted is kept.
      runner->ForgetTables();
      EXPECT_FALSE(runner->BackgroundRunning());
      EXPECT_EQ(runner->KeptTables(), 0u);
    } else if (round == 1) {
      // A move to a variable not yet kept shows its own table, as counted alone.
      m_table.SetRecNo(3);
      const auto moved = runner->ShowFrequencies(m_table, m_pass, m_weighting);
      EXPECT_EQ(moved->result.ValueRowCount(), 60000);
      runner->WaitForBackground();
      EXPECT_EQ(runner->KeptTables(), 5u);
      m_table.SetRecNo(5);
      const auto text = runner->ShowFrequencies(m_table, m_pass, m_weighting);
      EXPECT_EQ(text->result.Cell(1, 0), "even");
      EXPECT_EQ(text->result.Cell(2, 1), "30000");
    }
    // Destroyed while it may still run (round 2): it is stopped and waited for.
    runner.reset();
  }
  // The file reads as before.
  m_table.SetRecNo(2);
  EXPECT_EQ(CountFrequencies(m_pass, *m_table.Current()).ValueRowCount(), 11);
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
