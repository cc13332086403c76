// The block cache against the cases as written: every case of every layout
// through blocks that start at index points inside command groups and ZSAV
// blocks, blocks asked for out of order and at once on the pool, a budget
// that forces blocks out, data that ends before its promised count or is
// damaged, and the passes of sort and find over the same layouts.
#include "cases/CaseBlocks.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "cases/CaseFind.h"
#include "cases/CaseOrder.h"
#include "cases/CaseView.h"
#include "cases/CellText.h"
#include "spssio/ColumnPass.h"
#include "spssio/Spssio.h"
#include "spssio/SystemFile.h"
#include "spssio/TaskPool.h"
#include "spssio/testing/SavWriter.h"
#include "spssio/testing/TempFile.h"

namespace brindle {
namespace {

using testing::Compression;

constexpr int kCases = 3001;

double A(int c) { return c % 17 == 0 ? -DBL_MAX : double(c % 13); }
std::string S(int c) { return "text " + std::string(1, char('a' + c % 9)) + (c % 5 ? " longer" : ""); }
double B(int c) { return c * 0.5 + 1e6; }

// A number, a 20-byte string and a number: cases begin anywhere within
// command groups; ZSAV blocks end inside groups.
testing::SavFile Mixed(Compression compression, int cases = kCases) {
  testing::SavFile f;
  f.compression = compression;
  f.zlibBlockSize = 1000;
  f.variables = {testing::Variable::numeric("a"), testing::Variable::string("s", 20),
                 testing::Variable::numeric("b")};
  for (int c = 0; c < cases; ++c) f.cases.push_back({A(c), S(c), B(c)});
  return f;
}

std::shared_ptr<SystemFile> Open(const testing::TempFile& file) {
  std::shared_ptr<SystemFile> sf;
  EXPECT_EQ(SystemFile::open(file.path(), sf), SPSS_OK);
  return sf;
}

CaseBlocks::Options Small(std::size_t budget = std::size_t(64) << 20) {
  CaseBlocks::Options o;
  o.blockBytes = 8 * 5 * 37;  // 37 cases a block
  o.budgetBytes = budget;
  return o;
}

void ExpectCase(const CaseBlocks& blocks, const CaseBlock& block, int c) {
  const std::size_t i = std::size_t(c - block.first);
  ASSERT_LT(i, block.count) << c;
  EXPECT_EQ(blocks.number(block, i, 0), A(c)) << c;
  EXPECT_EQ(blocks.text(block, i, 1), S(c)) << c;
  EXPECT_EQ(blocks.number(block, i, 2), B(c)) << c;
}

class CaseBlocksTest : public ::testing::TestWithParam<Compression> {};

TEST_P(CaseBlocksTest, EveryCaseOutOfOrder) {
  testing::TempFile file(testing::writeSav(Mixed(GetParam())));
  auto sf = Open(file);
  ASSERT_TRUE(sf);
  CaseBlocks blocks(*sf, file.path(), kCases, Small());
  EXPECT_EQ(blocks.blockCases(), 37);
  // Last first, then from the middle outwards, then all in order.
  for (int c : {kCases - 1, kCases / 2, 0, 36, 37, 1500}) {
    auto block = blocks.fetch(c);
    ASSERT_TRUE(block) << c;
    ExpectCase(blocks, *block, c);
  }
  for (int c = 0; c < kCases; ++c) {
    auto block = blocks.fetch(c);
    ASSERT_TRUE(block) << c;
    ExpectCase(blocks, *block, c);
  }
  EXPECT_FALSE(blocks.fetch(kCases));
  EXPECT_TRUE(blocks.endFound());
  EXPECT_EQ(blocks.casesFound(), kCases);
  EXPECT_EQ(blocks.damageAt(), -1);
  // The open file's own stream was left at its first case.
  ASSERT_EQ(sf->readCase(), SPSS_OK);
  EXPECT_EQ(sf->number(2), B(0));
}

TEST_P(CaseBlocksTest, PeekAsksAndNotifies) {
  testing::TempFile file(testing::writeSav(Mixed(GetParam())));
  auto sf = Open(file);
  CaseBlocks blocks(*sf, file.path(), kCases, Small());
  std::mutex mutex;
  std::condition_variable arrived;
  int calls = 0;
  blocks.setNotify([&] {
    std::lock_guard lock(mutex);
    ++calls;
    arrived.notify_all();
  });
  blocks.readAhead(2000, 2400);
  std::shared_ptr<const CaseBlock> block;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!(block = blocks.peek(2222)) && std::chrono::steady_clock::now() < deadline) {
    std::unique_lock lock(mutex);
    arrived.wait_for(lock, std::chrono::milliseconds(10));
  }
  ASSERT_TRUE(block);
  ExpectCase(blocks, *block, 2222);
  std::lock_guard lock(mutex);
  EXPECT_GT(calls, 0);
}

TEST_P(CaseBlocksTest, BudgetKeepsTheCacheSmall) {
  testing::TempFile file(testing::writeSav(Mixed(GetParam())));
  auto sf = Open(file);
  const std::size_t budget = 16 << 10;
  CaseBlocks blocks(*sf, file.path(), kCases, Small(budget));
  for (int c = 0; c < kCases; c += 37) {
    auto block = blocks.fetch(c);
    ASSERT_TRUE(block);
    ExpectCase(blocks, *block, c);
    EXPECT_LE(blocks.cachedBytes(), budget);
  }
  // Blocks that went are decoded again.
  auto first = blocks.fetch(5);
  ASSERT_TRUE(first);
  ExpectCase(blocks, *first, 5);
}

TEST_P(CaseBlocksTest, BlocksOnThePoolAtOnce) {
  testing::TempFile file(testing::writeSav(Mixed(GetParam())));
  auto sf = Open(file);
  TaskPool pool(3);
  CaseBlocks::Options o = Small();
  o.pool = &pool;
  CaseBlocks blocks(*sf, file.path(), kCases, o);
  std::vector<TaskPool::TaskHandle> tasks;
  for (int t = 0; t < 6; ++t)
    tasks.push_back(pool.post([&, t] {
      for (int c = t * 7; c < kCases; c += 53) {
        auto block = blocks.fetch(c);
        ASSERT_TRUE(block);
        ExpectCase(blocks, *block, c);
      }
    }));
  for (auto& t : tasks) t->wait();
}

TEST_P(CaseBlocksTest, SortAndFindOverOneColumnPass) {
  testing::TempFile file(testing::writeSav(Mixed(GetParam())));
  auto sf = Open(file);
  CaseBlocks blocks(*sf, file.path(), kCases, Small());
  SortKeys keys;
  std::string error;
  std::atomic<std::int64_t> done{0};
  ASSERT_TRUE(keys.read(blocks, 0, false, kCases, nullptr, &done, error)) << error;
  EXPECT_LE(done.load(), kCases);
  const std::vector<std::int64_t> order = keys.order(SortDirection::Ascending);
  ASSERT_EQ(order.size(), std::size_t(kCases));
  for (std::size_t r = 1; r < order.size(); ++r) {
    const double x = A(int(order[r - 1])), y = A(int(order[r]));
    if (y == -DBL_MAX) continue;
    ASSERT_NE(x, -DBL_MAX) << r;
    ASSERT_TRUE(x < y || (x == y && order[r - 1] < order[r])) << r;
  }
  EXPECT_EQ(A(int(order.back())), -DBL_MAX);

  CellFormat format(*sf, 1, CellOptions{});
  CaseMatches matches;
  ASSERT_TRUE(matches.find(blocks, 1, format, "TEXT C", kCases, nullptr, nullptr, error)) << error;
  for (int c = 0; c < kCases; ++c) EXPECT_EQ(matches.matches(c), c % 9 == 2) << c;
}

// The open file indexed by the program's own pass: the blocks' file takes
// its index instead of making one, knows the count at once and reads far
// cases from it. A file that differs gives none; an open file without an
// index leaves the blocks to index their own.
TEST_P(CaseBlocksTest, TakesTheOpenFilesIndex) {
  if (GetParam() == Compression::None) GTEST_SKIP() << "uncompressed data needs no index";
  if (GetParam() == Compression::Zsav && !ColumnPass::SplitsZsav())
    GTEST_SKIP() << "this build keeps no index points in ZSAV data";
  testing::TempFile file(testing::writeSav(Mixed(GetParam())));
  testing::TempFile shorter(testing::writeSav(Mixed(GetParam(), kCases - 1)));
  auto sf = Open(file);
  auto other = Open(shorter);
  auto unindexed = Open(file);
  ASSERT_TRUE(sf && other && unindexed);
  {
    CaseBlocks blocks(*unindexed, file.path(), kCases, Small());
    ASSERT_TRUE(blocks.withFile([](SystemFile&) {}));
    EXPECT_FALSE(blocks.indexReady());
  }
  ColumnPass(*sf, {}).indexCases();
  ColumnPass(*other, {}).indexCases();
  ASSERT_TRUE(ColumnPass(*sf, {}).indexed());
  EXPECT_EQ(ColumnPass::ShareCaseIndex(*other, *unindexed), -1);
  EXPECT_FALSE(ColumnPass(*unindexed, {}).indexed());

  CaseBlocks blocks(*sf, file.path(), -1, Small());
  ASSERT_TRUE(blocks.withFile([](SystemFile& own) { EXPECT_TRUE(ColumnPass(own, {}).indexed()); }));
  EXPECT_TRUE(blocks.indexReady());
  EXPECT_TRUE(blocks.endFound());
  EXPECT_EQ(blocks.casesFound(), kCases);
  EXPECT_EQ(blocks.damageAt(), -1);
  for (int c : {kCases - 1, 1500, 0}) {
    auto block = blocks.fetch(c);
    ASSERT_TRUE(block) << c;
    ExpectCase(blocks, *block, c);
  }
  // A near block, which needs no index, takes it as well.
  {
    CaseBlocks nearFirst(*sf, file.path(), -1, Small());
    ASSERT_TRUE(nearFirst.fetch(0));
    EXPECT_TRUE(nearFirst.indexReady());
    EXPECT_EQ(nearFirst.casesFound(), kCases);
  }
  EXPECT_EQ(ColumnPass::ShareCaseIndex(*sf, *unindexed), kCases);
  EXPECT_TRUE(ColumnPass(*unindexed, {}).indexed());
}

INSTANTIATE_TEST_SUITE_P(Layouts, CaseBlocksTest,
                         ::testing::Values(Compression::None, Compression::Bytecode,
                                           Compression::Zsav));

// Data that ends early or breaks: the cases before it, the end found, and a
// damage message only for damage.
TEST(CaseBlocksEnd, ShortAndDamagedData) {
  struct Row {
    Compression compression;
    int cut;      // bytes cut off the end of the file
    bool damage;  // the reader calls it damage, not an end
  };
  for (const Row& row : {Row{Compression::None, 5, true}, Row{Compression::Bytecode, 3, true}}) {
    testing::SavLayout layout;
    std::vector<std::uint8_t> bytes = testing::writeSav(Mixed(row.compression), &layout);
    bytes.resize(bytes.size() - std::size_t(row.cut));
    testing::TempFile file(bytes);
    auto sf = Open(file);
    ASSERT_TRUE(sf);
    CaseBlocks blocks(*sf, file.path(), kCases, Small());
    auto before = blocks.fetch(100);
    ASSERT_TRUE(before);
    ExpectCase(blocks, *before, 100);
    EXPECT_FALSE(blocks.fetch(kCases - 1));
    EXPECT_TRUE(blocks.endFound());
    EXPECT_LT(blocks.casesFound(), kCases);
    EXPECT_GE(blocks.casesFound(), kCases - 2);
    // The last case before the damage is whole; reading its block finds
    // the damage.
    auto last = blocks.fetch(blocks.casesFound() - 1);
    ASSERT_TRUE(last);
    ExpectCase(blocks, *last, int(blocks.casesFound() - 1));
    if (row.damage) {
      EXPECT_EQ(blocks.damageAt(), blocks.casesFound());
      EXPECT_FALSE(blocks.damageText().empty());
    }
  }
}

}  // namespace
}  // namespace brindle
