// The column pass against the case-by-case reading of the same file: every
// way of taking the batches (in order, split on several threads, rendered
// in order), over ranges that start and end anywhere, gives the values the
// value calls give, and ends with the code they end with.
#include "spssio/ColumnPass.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <map>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "spssio/SpssioCodes.h"
#include "spssio/SystemFile.h"
#include "spssio/testing/SavWriter.h"
#include "spssio/testing/TempFile.h"

namespace brindle {
namespace {

using testing::Compression;

constexpr int kCases = 3000;

// A number, a short string, a very long string (segments apart) and a
// number again, so that cases begin anywhere within command groups.
testing::SavFile Sample(Compression compression, testing::ByteOrder order) {
  testing::SavFile f;
  f.compression = compression;
  f.byteOrder = order;
  f.zlibBlockSize = 700;
  f.variables = {testing::Variable::numeric("a"), testing::Variable::string("s", 11),
                 testing::Variable::string("long", 300), testing::Variable::numeric("b")};
  for (int c = 0; c < kCases; ++c)
    f.cases.push_back({c % 7 == 0 ? -DBL_MAX : double(c % 50), "s" + std::to_string(c % 13),
                       std::string(std::size_t(c % 290), char('a' + c % 26)), c * 0.25});
  return f;
}

// One case as the value calls give it: numbers, then the texts (UTF-8,
// trailing blanks off).
struct Row {
  std::vector<double> numbers;
  std::vector<std::string> texts;
  bool operator==(const Row&) const = default;
};

std::string Trimmed(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

// The cases the case-by-case calls read, and the code that ended them.
std::vector<Row> ModuleRows(SystemFile& file, const std::vector<int>& vars, int& code) {
  std::vector<Row> rows;
  file.rewind();
  while ((code = file.readCase()) == SPSS_OK) {
    Row row;
    for (int v : vars) {
      if (file.variable(std::size_t(v)).isString())
        row.texts.push_back(Trimmed(file.text(std::size_t(v))));
      else
        row.numbers.push_back(file.number(std::size_t(v)));
    }
    rows.push_back(std::move(row));
  }
  file.rewind();
  return rows;
}

Row BatchRow(CaseBatch& batch, std::size_t i) {
  Row row;
  for (std::size_t c = 0; c < batch.columnCount(); ++c) {
    if (batch.width(c))
      row.texts.emplace_back(batch.text(c, i));
    else
      row.numbers.push_back(batch.number(c, i));
  }
  return row;
}

struct Layout {
  Compression compression;
  testing::ByteOrder order;
  bool cut;  // the data ends inside a case
};

class ColumnPassTest : public ::testing::TestWithParam<Layout> {};

TEST_P(ColumnPassTest, EveryWayGivesTheCasesTheValueCallsGive) {
  const Layout layout = GetParam();
  std::vector<std::uint8_t> bytes = testing::writeSav(Sample(layout.compression, layout.order));
  if (layout.cut) bytes.resize(bytes.size() - bytes.size() / 4);
  testing::TempFile sav(bytes);
  std::shared_ptr<SystemFile> file;
  ASSERT_EQ(SystemFile::open(sav.path(), file), SPSS_OK);
  const std::vector<int> vars = {3, 2, 0, 1, 0};
  int moduleCode = 0;
  const std::vector<Row> expected = ModuleRows(*file, vars, moduleCode);
  const std::int64_t all = std::int64_t(expected.size());
  ASSERT_EQ(all < kCases, layout.cut);

  ColumnPass pass(*file, vars);
  ASSERT_TRUE(pass.valid());
  pass.setIndexSpacing(50);
  pass.setBatchCases(97);
  const auto slice = [&](std::int64_t first, std::int64_t end) {
    end = std::min(end, all);
    return std::vector<Row>(expected.begin() + std::min(first, end), expected.begin() + end);
  };

  // In order: the whole file first (it indexes a compressed one), then
  // ranges that start past the first case and inside index stretches.
  const struct {
    std::int64_t first, end;
  } ranges[] = {
      {0, CaseRange::kToEnd}, {0, 10}, {1, 2}, {777, 1234}, {2999, CaseRange::kToEnd}, {2000, 5000},
      {0, CaseRange::kToEnd}};
  for (const auto& r : ranges) {
    SCOPED_TRACE(std::to_string(r.first) + ".." + std::to_string(r.end));
    std::vector<Row> got;
    std::int64_t next = r.first;
    const PassEnd end = pass.read({r.first, r.end}, [&](CaseBatch& batch) {
      EXPECT_EQ(batch.firstCase(), next);
      next += std::int64_t(batch.size());
      for (std::size_t i = 0; i < batch.size(); ++i) got.push_back(BatchRow(batch, i));
      return true;
    });
    EXPECT_EQ(got, slice(r.first, r.end));
    EXPECT_EQ(end.cases, std::int64_t(got.size()));
    EXPECT_FALSE(end.stopped);
    // A range that stops before the damage does not meet it.
    const bool meetsEnd = r.end >= all;
    EXPECT_EQ(end.code, meetsEnd ? moduleCode : SPSS_FILE_END);
    EXPECT_EQ(end.message().empty(), !meetsEnd || moduleCode == SPSS_FILE_END) << end.message();
  }
  // The data the index covers must be sound; a build without whole-block
  // inflation keeps no points inside a ZSAV file's data.
  const bool indexed = (!layout.cut || layout.compression == Compression::None) &&
                       (layout.compression != Compression::Zsav || ColumnPass::SplitsZsav());
  if (indexed) {
    EXPECT_TRUE(pass.indexed());
  }

  // Split: every case once, whichever worker took it.
  for (unsigned threads : {1u, 2u, 3u}) {
    SCOPED_TRACE(threads);
    pass.setThreads(threads);
    std::mutex lock;
    std::map<std::int64_t, Row> seen;
    const std::optional<PassEnd> end =
        pass.readSplit({0, CaseRange::kToEnd}, [&](unsigned worker, CaseBatch& batch) {
          EXPECT_LT(worker, pass.workers());
          std::lock_guard hold(lock);
          for (std::size_t i = 0; i < batch.size(); ++i)
            seen[batch.firstCase() + std::int64_t(i)] = BatchRow(batch, i);
          return true;
        });
    // A sound file's index covers every case; a damaged one's the cases a
    // pass read before it stopped short of the damage, and the last segment
    // reads on from there.
    const bool zsavSplits = layout.compression != Compression::Zsav || ColumnPass::SplitsZsav();
    if (indexed && zsavSplits) {
      EXPECT_TRUE(pass.splits({}));
    }
    ASSERT_EQ(end.has_value(), threads > 1 && pass.splits({}));
    if (!end) continue;
    EXPECT_EQ(end->code, moduleCode);
    EXPECT_EQ(end->cases, all);
    std::vector<Row> got;
    for (auto& [c, row] : seen) got.push_back(row);
    EXPECT_EQ(got, expected);

    // Rendered on several threads, consumed in order, in small pieces.
    std::string text, once;
    for (std::int64_t c = 0; c < all; ++c) once += std::to_string(c) + ',';
    std::int64_t cases = 0;
    const PassEnd ordered = pass.readInOrder(
        {},
        [](CaseBatch& batch, std::string& out) {
          for (std::size_t i = 0; i < batch.size(); ++i)
            out += std::to_string(batch.firstCase() + std::int64_t(i)) + ',';
        },
        [&](std::string&& piece, std::int64_t n) {
          text += piece;
          cases += n;
          return true;
        },
        64);
    EXPECT_TRUE(text == once);
    EXPECT_EQ(cases, all);
    EXPECT_EQ(ordered.cases, all);
    EXPECT_EQ(ordered.code, moduleCode);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, ColumnPassTest,
    ::testing::Values(Layout{Compression::None, testing::ByteOrder::Little, false},
                      Layout{Compression::Bytecode, testing::ByteOrder::Big, false},
                      Layout{Compression::Zsav, testing::ByteOrder::Little, false},
                      Layout{Compression::None, testing::ByteOrder::Little, true},
                      Layout{Compression::Bytecode, testing::ByteOrder::Little, true},
                      Layout{Compression::Zsav, testing::ByteOrder::Big, true}));

// A handler that stops, a column outside the dictionary, a pass that counts.
TEST(ColumnPass, StopsCountsAndRefusesBadColumns) {
  testing::TempFile sav(
      testing::writeSav(Sample(Compression::Bytecode, testing::ByteOrder::Little)));
  std::shared_ptr<SystemFile> file;
  ASSERT_EQ(SystemFile::open(sav.path(), file), SPSS_OK);

  ColumnPass bad(*file, {0, 4});
  EXPECT_FALSE(bad.valid());
  const PassEnd refused = bad.read({}, [](CaseBatch&) { return true; });
  EXPECT_EQ(refused.code, SPSS_INVALID_ARGUMENT);
  EXPECT_EQ(refused.cases, 0);

  ColumnPass pass(*file, {0});
  pass.setBatchCases(100);
  const PassEnd stopped = pass.read({}, [](CaseBatch& b) { return b.firstCase() < 500; });
  EXPECT_TRUE(stopped.stopped);
  EXPECT_EQ(stopped.cases, 600);
  // The file's own case stream is back at the first case.
  ASSERT_EQ(file->readCase(), SPSS_OK);
  EXPECT_EQ(file->number(0), -DBL_MAX);

  ColumnPass count(*file, {});
  count.setIndexSpacing(100);
  const PassEnd counted = count.indexCases();
  EXPECT_TRUE(counted.sound());
  EXPECT_EQ(counted.cases, kCases);
  EXPECT_TRUE(ColumnPass(*file, {1}).splits({}));
  EXPECT_EQ(ColumnPass(*file, {1}).columnWidth(0), 11u);

  // A handler that throws ends the pass; the file reads on soundly after it.
  for (unsigned threads : {1u, 2u}) {
    pass.setThreads(threads);
    EXPECT_THROW(pass.read({},
                           [](CaseBatch& b) -> bool {
                             if (b.firstCase() > 0) throw std::runtime_error("full");
                             return true;
                           }),
                 std::runtime_error);
    EXPECT_EQ(pass.read({}, [](CaseBatch&) { return true; }).cases, kCases);
  }
}

}  // namespace
}  // namespace brindle
