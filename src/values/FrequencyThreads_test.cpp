// The frequency pass split at the case index and counted on several threads,
// or decoded on one thread while another counts, against the same pass on
// one thread: the same rows, statistics, case count and warning for every
// layout, for passes that stop before the data does and for passes that ask
// for more cases than the data holds.
#include "values/Frequencies.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <future>
#include <tuple>
#include <vector>

#include "datafile/DictionaryLoader.h"
#include "datafile/OpenFile.h"
#include "spssio/ColumnPass.h"
#include "spssio/Spssio.h"
#include "spssio/SystemFile.h"
#include "spssio/TaskPool.h"
#include "spssio/testing/SavWriter.h"
#include "spssio/testing/TempFile.h"
#include "variables/VariableList.h"

namespace brindle {
namespace {

using testing::Compression;

constexpr int kCases = 5000;

// Five elements a case (a number, a 20-byte string, a number), so that cases
// begin anywhere within command groups, and small ZSAV blocks that end
// inside groups.
testing::SavFile Mixed(Compression compression, int cases = kCases) {
  testing::SavFile f;
  f.compression = compression;
  f.zlibBlockSize = 1000;
  f.variables = {testing::Variable::numeric("a"), testing::Variable::string("s", 20),
                 testing::Variable::numeric("b")};
  for (int c = 0; c < cases; ++c) {
    const double a = c % 17 == 0 ? -DBL_MAX : double(c % 13);
    f.cases.push_back({a, std::string("text ") + char('a' + c % 9) + (c % 5 ? " long enough" : ""),
                       c * 0.5 + 1e6});
  }
  return f;
}

void ExpectSame(const FrequencyResult& got, const FrequencyResult& one) {
  ASSERT_EQ(got.ValueRowCount(), one.ValueRowCount());
  for (int row = 0; row < one.ValueRowCount(); ++row)
    for (int col = 0; col < 5; ++col)
      EXPECT_EQ(got.Cell(col, row), one.Cell(col, row)) << row << ' ' << col;
  EXPECT_EQ(got.memoLines, one.memoLines);
  EXPECT_EQ(got.casesRead, one.casesRead);
  EXPECT_EQ(got.warning, one.warning);
}

using Param =
    std::tuple<Compression, const char*, std::int64_t>;  // layout, variable, cases asked for
class FrequencyThreadsTest : public ::testing::TestWithParam<Param> {};

TEST_P(FrequencyThreadsTest, SameAsOneThread) {
  const auto [compression, name, asked] = GetParam();
  testing::TempFile file(testing::writeSav(Mixed(compression)));
  DataFileState state;
  ASSERT_EQ(OpenDataFileState(file.path(), state), SPSS_OK);
  VariableList table;
  LoadDictionary(state, table, NumberSeparators{});
  const VarRecord* var = nullptr;
  for (int r = 0; r < table.RecordCount(); ++r)
    if (table.ViewRecord(r)->VarName == name) var = table.ViewRecord(r);
  ASSERT_NE(var, nullptr);

  FrequencyPass pass = MakeFrequencyPass(state.File, asked, true, NumberSeparators{});
  pass.indexEvery = 7;
  // Before the file has an index, and for weighted passes, which are never
  // split, two threads share the pass: one decodes, the other counts.
  pass.threads = 2;
  const FrequencyResult unindexed = CountFrequencies(pass, *var);
  const FrequencyResult weighted = CountWeightedFrequencies(pass, *var, "b");
  EXPECT_TRUE(
      CountWeightedFrequencies(pass, *var, "b", [](std::int64_t) { return true; }).cancelled);
  pass.threads = 1;
  const FrequencyResult one = CountFrequencies(pass, *var);
  ExpectSame(unindexed, one);
  ExpectSame(weighted, CountWeightedFrequencies(pass, *var, "b"));
  // The first pass indexed the file: a pass of the cases it read can split
  // (ZSAV only where its blocks inflate alone, with libdeflate).
  const bool splits = compression != Compression::Zsav || ColumnPass::SplitsZsav();
  EXPECT_EQ(ColumnPass(*state.File, {state.File->findVariable(name)}).splits({0, asked}),
            splits && asked <= kCases);

  pass.threads = 3;
  ExpectSame(CountFrequencies(pass, *var), one);
  EXPECT_EQ(one.casesRead, std::min<std::int64_t>(asked, kCases));
  EXPECT_EQ(one.warning.empty(), asked <= kCases);

  // Cancelled at the first chance: nothing to show, on any number of threads.
  const FrequencyResult cancelled = CountFrequencies(pass, *var, [](std::int64_t) { return true; });
  EXPECT_TRUE(cancelled.cancelled);
  EXPECT_EQ(cancelled.ValueRowCount(), 0);
}

// A count taken at open (the header does not give it) is the first full pass:
// the file is indexed before any table is counted.
TEST(FrequencyThreads, CountAtOpenIndexes) {
  // Enough cases for index points (one every 4096 cases) to split at.
  constexpr int kMany = 20000;
  testing::SavFile f = Mixed(Compression::Bytecode, kMany);
  f.headerCases = -1;
  f.extendedCaseCount = false;
  testing::TempFile file(testing::writeSav(f));
  DataFileState state;
  ASSERT_EQ(OpenDataFileState(file.path(), state), SPSS_OK);
  VariableList table;
  LoadDictionary(state, table, NumberSeparators{});
  EXPECT_EQ(state.NumCases, kMany);
  EXPECT_TRUE(ColumnPass(*state.File, {0}).splits({0, kMany}));
}

// Every pass of a window shares one pool: with all of its threads held by
// other work, a pass on several threads still ends, and counts what one
// thread counts (ZSAV read-ahead, the overlapped first pass and the split
// pass each take up the work no pool thread is free for).
TEST(FrequencyThreads, FinishesWhileEveryPoolThreadIsHeld) {
  testing::TempFile file(testing::writeSav(Mixed(Compression::Zsav)));
  DataFileState state;
  ASSERT_EQ(OpenDataFileState(file.path(), state), SPSS_OK);
  VariableList table;
  LoadDictionary(state, table, NumberSeparators{});
  const VarRecord* var = table.ViewRecord(0);
  ASSERT_EQ(var->VarName, "a");
  FrequencyPass pass = MakeFrequencyPass(state.File, kCases, true, NumberSeparators{});
  pass.indexEvery = 7;

  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  std::vector<TaskPool::TaskHandle> blockers;
  for (unsigned t = 0; t < TaskPool::shared().threadCount(); ++t)
    blockers.push_back(TaskPool::shared().post([released] { released.wait(); }));
  pass.threads = 2;
  const FrequencyResult first = CountFrequencies(pass, *var);
  const FrequencyResult weighted = CountWeightedFrequencies(pass, *var, "b");
  pass.threads = 3;
  const FrequencyResult split = CountFrequencies(pass, *var);
  release.set_value();
  for (const TaskPool::TaskHandle& blocker : blockers) blocker->wait();

  pass.threads = 1;
  const FrequencyResult one = CountFrequencies(pass, *var);
  EXPECT_EQ(one.casesRead, kCases);
  ExpectSame(first, one);
  ExpectSame(split, one);
  ExpectSame(weighted, CountWeightedFrequencies(pass, *var, "b"));
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, FrequencyThreadsTest,
    ::testing::Combine(::testing::Values(Compression::None, Compression::Bytecode,
                                         Compression::Zsav),
                       ::testing::Values("a", "s"),
                       ::testing::Values(std::int64_t(kCases), std::int64_t(kCases - 1234),
                                         std::int64_t(kCases + 10))));

}  // namespace
}  // namespace brindle
