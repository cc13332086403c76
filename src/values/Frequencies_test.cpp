#include "values/Frequencies.h"
#include "values/SummaryStatistics.h"
#include "values/testing/ModuleFrequencies.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "datafile/DictionaryLoader.h"
#include "datafile/OpenFile.h"
#include "spssio/Spssio.h"
#include "spssio/testing/SavWriter.h"
#include "spssio/testing/TempFile.h"

namespace brindle {
namespace {

using testing::Case;
using testing::Compression;
using testing::SavFile;
using testing::TempFile;
using testing::Variable;

const double kSysmis = -DBL_MAX;

// The pass, or (module) the same count through the case-by-case calls.
FrequencyResult CountBy(bool module, const FrequencyPass& pass, const VarRecord& var) {
  return module ? CountFrequenciesThroughModule(pass, var) : CountFrequencies(pass, var);
}
FrequencyResult CountWeightedBy(bool module, const FrequencyPass& pass, const VarRecord& var,
                                const std::string& weight) {
  return module ? CountFrequenciesThroughModule(pass, var, &weight)
                : CountWeightedFrequencies(pass, var, weight);
}

// A written file, opened and its dictionary loaded, as the viewer has it.
class Opened {
 public:
  explicit Opened(const SavFile& f) : Opened(testing::writeSav(f)) {}
  explicit Opened(const std::vector<std::uint8_t>& bytes) : m_file(bytes) { Open(m_file.path()); }
  explicit Opened(const std::string& path) { Open(path); }
  bool ok() const { return m_state.File != nullptr; }
  const VariableList& table() const { return m_table; }

  const VarRecord& Var(const std::string& name) const {
    for (int r = 0; r < m_table.RecordCount(); ++r)
      if (m_table.ViewRecord(r)->VarName == name) return *m_table.ViewRecord(r);
    ADD_FAILURE() << "no variable " << name;
    static VarRecord none;
    return none;
  }
  FrequencyPass Pass() const {
    FrequencyPass p;
    p.file = m_state.File;
    p.numCases = m_state.NumCases;
    return p;
  }
  FrequencyResult Count(const std::string& name, const FrequencyProgress& progress = {}) const {
    return CountFrequencies(Pass(), Var(name), progress);
  }
  FrequencyResult Weighted(const std::string& name, const std::string& weight) const {
    return CountWeightedFrequencies(Pass(), Var(name), weight);
  }

 private:
  void Open(const std::string& path) {
    if (OpenDataFileState(path, m_state) != SPSS_OK) return;
    LoadDictionary(m_state, m_table, NumberSeparators{});
  }
  TempFile m_file;
  DataFileState m_state;
  VariableList m_table;
};

std::vector<std::string> Rows(const FrequencyResult& r) {
  std::vector<std::string> rows;
  for (int i = 0; i < r.ValueRowCount(); ++i) {
    std::string row;
    for (std::size_t c = 0; c < 5; ++c) row += (c ? "\t" : "") + r.Cell(int(c), i);
    rows.push_back(row);
  }
  return rows;
}

Variable Num(const std::string& name, int width = 2, int decimals = 0) {
  Variable v = Variable::numeric(name);
  v.print = testing::Format{5, width, decimals};
  return v;
}

SavFile OneColumn(const Variable& v, const std::vector<testing::Value>& values,
                  Compression compression = Compression::Bytecode) {
  SavFile f;
  f.compression = compression;
  f.variables = {v};
  for (const auto& x : values) f.cases.push_back({x});
  return f;
}

TEST(Frequencies, AllSystemMissing) {
  const Opened file(OneColumn(Num("x"), {kSysmis, kSysmis, kSysmis}));
  const auto r = file.Count("x");
  ASSERT_TRUE(r.ran);
  EXPECT_EQ(Rows(r), (std::vector<std::string>{"\tSYSMIS\t3\t100.0\t"}));
  EXPECT_EQ(r.memo, MemoDisplay::Hidden);
  EXPECT_EQ(r.caption, "x");
  EXPECT_FALSE(r.hideLabelColumn);
}

TEST(Frequencies, UserMissingDiscreteAndRange) {
  Variable d = Num("d");
  d.missingCode = 2;
  d.missing[0] = 9;
  d.missing[1] = 8;
  d.numericLabels = {{9, "Refused"}, {1, "One"}, {1, "Uno"}};
  Variable r = Num("r");
  r.missingCode = -3;
  r.missing[0] = 5;
  r.missing[1] = 6;
  r.missing[2] = 9;
  SavFile f;
  f.variables = {d, r};
  for (double x : {1.0, 1.0, 9.0, 8.0, 2.0, 5.5, 6.0, 7.0}) f.cases.push_back({x, x});
  const Opened file(f);
  // 5.5 renders as 6 with F2.0, yet stays an entry of its own.
  EXPECT_EQ(Rows(file.Count("d")), (std::vector<std::string>{
                                       "One\t  1\t2\t25.0\t33.3",
                                       "\t  2\t1\t12.5\t16.7",
                                       "\t  6\t1\t12.5\t16.7",
                                       "\t  6\t1\t12.5\t16.7",
                                       "\t  7\t1\t12.5\t16.7",
                                       "\t  8\t1\t12.5\tMISS",
                                       "Refused\t  9\t1\t12.5\tMISS",
                                   }));
  EXPECT_EQ(Rows(file.Count("r")), (std::vector<std::string>{
                                       "\t  1\t2\t25.0\t40.0",
                                       "\t  2\t1\t12.5\t20.0",
                                       "\t  6\t1\t12.5\tMISS",
                                       "\t  6\t1\t12.5\tMISS",
                                       "\t  7\t1\t12.5\t20.0",
                                       "\t  8\t1\t12.5\t20.0",
                                       "\t  9\t1\t12.5\tMISS",
                                   }));
}

TEST(Frequencies, StatisticsExample) {
  const Opened file(OneColumn(Num("v", 8, 2), {3.0, 1.0, 2.0}));
  const auto r = file.Count("v");
  EXPECT_EQ(Rows(r),
            (std::vector<std::string>{"\t     1.00\t1\t33.3\t33.3", "\t     2.00\t1\t33.3\t33.3",
                                      "\t     3.00\t1\t33.3\t33.3"}));
  ASSERT_EQ(r.memo, MemoDisplay::Shown);
  EXPECT_EQ(r.memoLines, (std::vector<std::string>{
                             "valid\t3\tminimum\t     1.00\tmean\t   2.0000",
                             "missing\t0\tmaximum\t     3.00\tstddev\t   1.0000",
                             "total\t3\tsum\t     6.00\tvariance\t   1.0000",
                         }));
}

TEST(Frequencies, StatisticsInTwoColumnsOfPairs) {
  const std::vector<std::string> lines = {"valid\t3\tminimum\t1\tmean\t2",
                                          "missing\t0\tmaximum\t3\tstddev\t1",
                                          "total\t3\tsum\t6\tvariance\t1"};
  EXPECT_EQ(StatisticsLines(lines, 3), lines);
  EXPECT_EQ(StatisticsLines(lines, 2),
            (std::vector<std::string>{"valid\t3\tminimum\t1", "missing\t0\tmaximum\t3",
                                      "total\t3\tsum\t6", "mean\t2\tstddev\t1", "variance\t1"}));
}

TEST(Frequencies, StatisticsBoxNeedsTwoValidCases) {
  const Opened one(OneColumn(Num("v"), {4.0, kSysmis}));
  EXPECT_EQ(one.Count("v").memo, MemoDisplay::Hidden);
  // Equal values: a variance of 0, never a negative one from rounding.
  const Opened same(OneColumn(Num("v", 8, 1), {0.1, 0.1, 0.1}));
  const auto r = same.Count("v");
  ASSERT_EQ(r.memo, MemoDisplay::Shown);
  EXPECT_EQ(r.memoLines[1], "missing\t0\tmaximum\t      0.1\tstddev\t    0.000");
  EXPECT_EQ(r.memoLines[2], "total\t3\tsum\t      0.3\tvariance\t    0.000");
  // Missing cases count in "total" (all cases), not in "valid".
  const Opened mixed(OneColumn(Num("v"), {1.0, 3.0, kSysmis}));
  EXPECT_EQ(mixed.Count("v").memoLines[0].substr(0, 8), "valid\t2\t");
  EXPECT_EQ(mixed.Count("v").memoLines[2].substr(0, 8), "total\t3\t");
}

TEST(Frequencies, StringsTrimmedAndCaseSensitive) {
  Variable s = Variable::string("s", 6);
  s.stringMissing = {"na"};
  s.stringLabels = {{"b", "Bee"}, {"B", "Big bee"}};
  const Opened file(
      OneColumn(s, {std::string("b"), std::string("b  "), std::string("B"), std::string("a"),
                    std::string("na"), std::string(""), std::string("b\t")}));
  const auto r = file.Count("s");
  EXPECT_EQ(Rows(r), (std::vector<std::string>{
                         "\t\t1\t14.3\t16.7",  // the empty text first
                         "Big bee\tB\t1\t14.3\t16.7",
                         "\ta\t1\t14.3\t16.7",
                         "Bee\tb\t3\t42.9\t50.0",
                         "\tna\t1\t14.3\tMISS",
                     }));
  EXPECT_EQ(r.memo, MemoDisplay::Hidden);
  EXPECT_FALSE(r.hideLabelColumn);
}

TEST(Frequencies, LongStringLabelsAndMissingValues) {
  Variable t = Variable::string("t", 300);
  const Opened plain(OneColumn(
      t, {std::string(280, 'x') + "y", std::string(280, 'x') + "y ", std::string("short")}));
  auto r = plain.Count("t");
  EXPECT_EQ(Rows(r), (std::vector<std::string>{"\tshort\t1\t33.3\t33.3",
                                               "\t" + std::string(280, 'x') + "y\t2\t66.7\t66.7"}));
  EXPECT_TRUE(r.hideLabelColumn);
  // A missing value is its 8 stored bytes padded with blanks to the width;
  // the label column stays when there are labels.
  t.stringLabels = {{"short", "Brief"}};
  t.stringMissing = {"NA", "\xC3\x84\xC3\x84\xC3\x84\xC3\x84"};
  const Opened labelled(
      OneColumn(t, {std::string("short"), std::string("NA"), std::string("NA   "),
                    std::string("NAB"), std::string("\xC3\x84\xC3\x84\xC3\x84\xC3\x84")}));
  r = labelled.Count("t");
  EXPECT_EQ(Rows(r),
            (std::vector<std::string>{"\tNA\t2\t40.0\tMISS", "\tNAB\t1\t20.0\t50.0",
                                      "Brief\tshort\t1\t20.0\t50.0",
                                      "\t\xC3\x84\xC3\x84\xC3\x84\xC3\x84\t1\t20.0\tMISS"}));
  EXPECT_FALSE(r.hideLabelColumn);
}

SavFile WeightedFile() {
  SavFile f;
  f.variables = {Num("v"), Variable::string("s", 3), Num("w", 8, 2)};
  f.cases = {
      {1.0, std::string("a"), 2.3},     {1.0, std::string("a"), 10.3},
      {2.0, std::string("b"), 0.0},     {2.0, std::string("b"), -1.0},
      {3.0, std::string("c"), kSysmis}, {kSysmis, std::string("a"), 0.4},
      {4.0, std::string("d"), 0.6},
  };
  return f;
}

TEST(Frequencies, WeightedCountsOnlyPositiveWeights) {
  const Opened file(WeightedFile());
  const auto r = file.Weighted("v", "w");
  // Total weight 13.6: 2 and 3 never had a positive weight and do not appear.
  EXPECT_EQ(Rows(r), (std::vector<std::string>{
                         "\tSYSMIS\t0\t2.9\tMISS",
                         "\t  1\t13\t92.6\t95.5",
                         "\t  4\t1\t4.4\t4.5",
                     }));
  // Valid weight 13.2: the box is shown, counts in fixed form.
  ASSERT_EQ(r.memo, MemoDisplay::Shown);
  EXPECT_EQ(r.memoLines[0].substr(0, 9), "valid\t13\t");
  EXPECT_EQ(r.memoLines[2].substr(0, 9), "total\t14\t");
  const auto s = file.Weighted("s", "w");
  EXPECT_EQ(Rows(s), (std::vector<std::string>{"\ta\t13\t95.6\t95.6", "\td\t1\t4.4\t4.4"}));
}

// Cases whose weight is zero, negative, system-missing or one of the weight
// variable's own missing values (discrete or range) count nowhere, on both
// ways of reading the cases.
TEST(Frequencies, WeightUserMissingExcludesTheCase) {
  Variable discrete = Num("wd", 8, 1);
  discrete.missingCode = 1;
  discrete.missing[0] = 99;
  Variable range = Num("wr", 8, 1);
  range.missingCode = -3;
  range.missing[0] = 1;
  range.missing[1] = 2;
  range.missing[2] = 99;
  SavFile f;
  f.variables = {Num("v"), Variable::string("s", 2), discrete, range};
  const double weights[] = {1, 99, 0, -1, kSysmis, 1.5, 3};
  for (int i = 0; i < 7; ++i)
    f.cases.push_back({double(i + 1), std::string(1, char('a' + i)), weights[i], weights[i]});
  const Opened file(f);
  for (bool module : {false, true}) {
    SCOPED_TRACE(module);
    const auto rows = [&](const char* var, const char* weight) {
      return Rows(CountWeightedBy(module, file.Pass(), file.Var(var), weight));
    };
    EXPECT_EQ(rows("v", "wd"),
              (std::vector<std::string>{"\t  1\t1\t18.2\t18.2", "\t  6\t2\t27.3\t27.3",
                                        "\t  7\t3\t54.5\t54.5"}));
    EXPECT_EQ(rows("v", "wr"), (std::vector<std::string>{"\t  7\t3\t100.0\t100.0"}));
    EXPECT_EQ(rows("s", "wd"), (std::vector<std::string>{"\ta\t1\t18.2\t18.2", "\tf\t2\t27.3\t27.3",
                                                         "\tg\t3\t54.5\t54.5"}));
  }
}

TEST(Frequencies, WeightedTotalBelowTwoHasNoBox) {
  SavFile f;
  f.variables = {Num("v"), Num("w", 8, 2)};
  f.cases = {{1.0, 0.5}, {2.0, 0.5}, {3.0, 0.5}};
  const Opened file(f);
  const auto r = file.Weighted("v", "w");
  EXPECT_EQ(r.ValueRowCount(), 3);
  EXPECT_EQ(r.memo, MemoDisplay::Hidden);
  EXPECT_EQ(r.Cell(2, 0), "1");  // 0.5 rounds half away from zero
}

TEST(Frequencies, WeightVariableNotFound) {
  const Opened file(WeightedFile());
  for (const char* weight : {"nosuch", "s"}) {
    const auto r = file.Weighted("v", weight);
    EXPECT_EQ(r.message, "cannot find weight variable") << weight;
    EXPECT_EQ(r.ValueRowCount(), 0);
    EXPECT_EQ(r.memo, MemoDisplay::Hidden);
  }
}

TEST(Frequencies, NoCasesChangesNothing) {
  const Opened file(OneColumn(Num("v"), {}));
  EXPECT_FALSE(file.Count("v").ran);
}

SavFile Counting(int cases, Compression compression = Compression::Bytecode) {
  SavFile f;
  f.compression = compression;
  f.variables = {Num("n", 8, 0), Variable::string("s", 4), Num("w")};
  for (int i = 0; i < cases; ++i)
    f.cases.push_back({double(i % 7), std::string(i % 3 ? "x" : "yy"), double(i % 4)});
  return f;
}

TEST(Frequencies, ProgressEveryThousandCasesAndCancel) {
  const Opened file(Counting(2500));
  std::vector<std::int64_t> calls;
  auto r = file.Count("n", [&](std::int64_t read) {
    calls.push_back(read);
    return false;
  });
  EXPECT_EQ(calls, (std::vector<std::int64_t>{1000, 2000}));
  EXPECT_FALSE(r.cancelled);
  EXPECT_EQ(r.casesRead, 2500);

  for (const char* var : {"n", "s"}) {
    calls.clear();
    r = file.Count(var, [&](std::int64_t read) {
      calls.push_back(read);
      return read == 2000;
    });
    EXPECT_TRUE(r.cancelled);
    EXPECT_EQ(calls.size(), 2u);
    EXPECT_EQ(r.casesRead, 2000);
    EXPECT_EQ(r.ValueRowCount(), 0);
    EXPECT_EQ(r.caption, "");
    EXPECT_EQ(r.memo, std::string(var) == "n" ? MemoDisplay::Unchanged : MemoDisplay::Hidden);
  }
  // The file is back at the first case: a second pass counts everything.
  EXPECT_EQ(file.Count("n").casesRead, 2500);
}

TEST(Frequencies, TruncatedFileStopsWithWarning) {
  testing::SavLayout layout;
  const auto bytes = testing::writeSav(Counting(3000), &layout);
  // The header promises 3000 cases; the data stops two thirds in.
  const auto cutAt = long(layout.dataStart + (layout.dataEnd - layout.dataStart) * 2 / 3);
  const Opened file(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + cutAt));
  ASSERT_TRUE(file.ok());
  const auto r = file.Count("n");
  EXPECT_GT(r.casesRead, 1900);
  EXPECT_LT(r.casesRead, 2100);
  EXPECT_NE(r.warning.find("only " + std::to_string(r.casesRead) + " of 3000 cases"),
            std::string::npos)
      << r.warning;
  std::int64_t sum = 0;
  for (int i = 0; i < r.ValueRowCount(); ++i) sum += std::stoll(r.Cell(2, i));
  EXPECT_EQ(sum, r.casesRead);
  // Percentages are of the cases read.
  const double first = 100.0 * double(std::stoll(r.Cell(2, 0))) / double(r.casesRead);
  EXPECT_EQ(r.Cell(3, 0), FixedText(first, 3, 1, NumberSeparators{}));
  EXPECT_EQ(r.memoLines.at(2).substr(0, 6 + std::to_string(r.casesRead).size()),
            "total\t" + std::to_string(r.casesRead));
}

// A damaged zlib block in the middle of a ZSAV file: both ways of reading
// count the cases of the sound blocks before it, and warn. With a sound block
// table the fast way inflates whole blocks; with a damaged one it streams.
TEST(Frequencies, DamagedZlibBlockCountsTheSoundBlocksBefore) {
  for (const bool damageTable : {false, true}) {
    SCOPED_TRACE(damageTable ? "streamed" : "whole blocks");
    SavFile f;
    f.compression = Compression::Zsav;
    f.zlibBlockSize = 64;  // 8 cases of one unshortened value take 72 bytes
    f.variables = {Variable::numeric("x")};
    for (int i = 0; i < 40; ++i) f.cases.push_back({i + 0.5});
    testing::SavLayout layout;
    auto bytes = testing::writeSav(f, &layout);
    ASSERT_GE(layout.zlibBlockOffsets.size(), 4u);
    const auto third = layout.zlibBlockOffsets[2];
    bytes[third + (layout.zlibBlockOffsets[3] - third) / 2] ^= 0x55;
    if (damageTable) bytes[layout.zlibTrailerStart + 24 + 8] ^= 0x01;  // the first block's offset
    const Opened file(bytes);
    ASSERT_TRUE(file.ok());
    for (const bool module : {false, true}) {
      const auto r = CountBy(module, file.Pass(), file.Var("x"));
      EXPECT_EQ(r.casesRead, 14) << (module ? "module" : "fast");
      EXPECT_NE(r.warning.find("only 14 of 40 cases"), std::string::npos) << r.warning;
    }
  }
}

// A block table that lies about a block's inflated size, over sound blocks:
// every case is counted, without a warning, as the case-by-case reading does.
TEST(Frequencies, LyingBlockTableOverSoundBlocks) {
  SavFile f;
  f.compression = Compression::Zsav;
  f.zlibBlockSize = 64;
  f.variables = {Variable::numeric("x")};
  for (int i = 0; i < 40; ++i) f.cases.push_back({i + 0.5});
  testing::SavLayout layout;
  auto bytes = testing::writeSav(f, &layout);
  // The second block's entry: inflated offset, offset (8 bytes each), then
  // its inflated size.
  const auto entry = layout.zlibTrailerStart + 24 + 24;
  bytes[entry + 16] = 0x60;  // 64 becomes 96
  const Opened file(bytes);
  ASSERT_TRUE(file.ok());
  for (const bool module : {false, true}) {
    const auto r = CountBy(module, file.Pass(), file.Var("x"));
    EXPECT_EQ(r.casesRead, 40) << (module ? "module" : "fast");
    EXPECT_EQ(r.warning, "");
  }
}

// Both ways of reading the cases give the same tables, also where the data
// is cut off anywhere.
class BothPaths : public ::testing::TestWithParam<Compression> {};

void ExpectSame(const Opened& file, const std::string& var, const std::string* weight) {
  SCOPED_TRACE(var);
  const auto pass = [&](bool module) {
    return weight ? CountWeightedBy(module, file.Pass(), file.Var(var), *weight)
                  : CountBy(module, file.Pass(), file.Var(var));
  };
  const auto fast = pass(false), module = pass(true);
  EXPECT_EQ(Rows(fast), Rows(module));
  EXPECT_EQ(fast.memoLines, module.memoLines);
  EXPECT_EQ(fast.casesRead, module.casesRead);
  EXPECT_EQ(fast.warning.empty(), module.warning.empty())
      << fast.warning << " / " << module.warning;
}

SavFile Mixed(Compression compression, testing::ByteOrder order) {
  SavFile f;
  f.compression = compression;
  f.byteOrder = order;
  f.zlibBlockSize = 4096;
  f.variables = {Num("a"),       Variable::string("s", 9),
                 Num("b", 8, 3), Variable::string("long", 600),
                 Num("w"),       Variable::string("huge", 3000)};
  for (int i = 0; i < 1500; ++i) {
    std::string s = (i % 5 == 0) ? "ÄÖ" : std::string(std::size_t(i % 9), char('a' + i % 3));
    std::string l = std::string(std::size_t(250 + i % 20), 'q') + std::to_string(i % 11);
    // Keys are whole values: "huge" values differing only far along are
    // four rows.
    std::string h =
        std::string(1500, 'z') + std::to_string(i % 4) + std::string(std::size_t(i % 7), ' ');
    f.cases.push_back({i % 13 == 0 ? kSysmis : double(i % 40 - 3), s, i * 1.001, l,
                       i % 6 == 0 ? kSysmis : (i % 5) * 0.7, h});
  }
  return f;
}

TEST_P(BothPaths, SameTables) {
  for (auto order : {testing::ByteOrder::Little, testing::ByteOrder::Big}) {
    const Opened file(Mixed(GetParam(), order));
    const std::string w = "w";
    EXPECT_EQ(CountFrequencies(file.Pass(), file.Var("huge")).ValueRowCount(), 4);
    for (const char* v : {"a", "s", "b", "long", "huge"}) {
      ExpectSame(file, v, nullptr);
      ExpectSame(file, v, &w);
    }
  }
}

TEST_P(BothPaths, SameStopOnCutData) {
  testing::SavLayout layout;
  SavFile f = Mixed(GetParam(), testing::ByteOrder::Little);
  f.cases.resize(200);
  f.variables.resize(3);
  for (auto& c : f.cases) c.resize(3);
  const auto bytes = testing::writeSav(f, &layout);
  // Every cut in the last 600 bytes and a spread through the data.
  std::vector<std::size_t> cuts;
  for (std::size_t k = 1; k <= 600 && k < bytes.size() - layout.dataStart; ++k)
    cuts.push_back(bytes.size() - k);
  for (std::size_t at = layout.dataStart; at < bytes.size(); at += 97) cuts.push_back(at);
  for (std::size_t at : cuts) {
    SCOPED_TRACE(at);
    const Opened file(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + long(at)));
    if (!file.ok()) continue;
    ExpectSame(file, "a", nullptr);
    ExpectSame(file, "s", nullptr);
    if (::testing::Test::HasFailure()) break;
  }
}

INSTANTIATE_TEST_SUITE_P(Compressions, BothPaths,
                         ::testing::Values(Compression::None, Compression::Bytecode,
                                           Compression::Zsav));

// Real files from other writers: every variable, both paths alike.
TEST(Frequencies, RealFilesBothPaths) {
  const std::filesystem::path dir(BRINDLE_TESTDATA_DIR);
  if (!std::filesystem::exists(dir)) GTEST_SKIP() << "no " << dir;
  for (const auto& e : std::filesystem::directory_iterator(dir)) {
    const auto ext = e.path().extension();
    if (ext != ".sav" && ext != ".zsav") continue;
    SCOPED_TRACE(e.path().filename().string());
    const Opened file(e.path().string());
    ASSERT_TRUE(file.ok());
    for (int r = 0; r < file.table().RecordCount(); ++r)
      ExpectSame(file, file.table().ViewRecord(r)->VarName, nullptr);
  }
}

}  // namespace
}  // namespace brindle
