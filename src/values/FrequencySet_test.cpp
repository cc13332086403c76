#include "values/FrequencySet.h"

#include <gtest/gtest.h>

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

// A file with a variable of every kind the pass tells apart: ascending
// identifiers, labelled answers with a user-missing code and system-missing
// values, many distinct decimals, short and very long strings with a
// missing value, a weight with zero, negative and missing weights, and
// amounts of three decimals, some of more, some far out, minus zero, and
// numbers nearly all distinct.
SavFile Mixed(Compression compression, int cases) {
  SavFile f;
  f.compression = compression;
  f.variables.push_back(Variable::numeric("id"));
  Variable a = Variable::numeric("a", "Answer");
  a.numericLabels = {{1, "Low"}, {7, "High"}, {9, "No answer"}};
  a.missingCode = 1;
  a.missing[0] = 9;
  f.variables.push_back(a);
  f.variables.push_back(Variable::numeric("x"));
  Variable s = Variable::string("s", 6);
  s.stringMissing = {"none"};
  s.stringLabels = {{"red", "Red <&> colour"}};
  f.variables.push_back(s);
  f.variables.push_back(Variable::string("long", 300));
  f.variables.push_back(Variable::numeric("w"));
  Variable g = Variable::numeric("g");
  g.print = testing::Format{5, 10, 3};
  f.variables.push_back(g);
  f.variables.push_back(Variable::numeric("r"));
  static const char* const kWords[] = {"red", "green", "blue", "none", "Red", ""};
  std::uint64_t state = 12345;
  const auto next = [&state] {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return state >> 33;
  };
  for (int i = 0; i < cases; ++i) {
    Case c;
    c.push_back(double(i + 1));
    const std::uint64_t r = next();
    c.push_back(r % 11 == 0 ? testing::sysmis() : double(r % 10));
    c.push_back(double(next() % 5000) / 100.0 - 10);
    c.push_back(std::string(kWords[next() % 6]));
    c.push_back(std::string(next() % 3 == 0 ? "short" : "a long text ") +
                std::string(250, char('a' + next() % 3)));
    const std::uint64_t w = next() % 13;
    c.push_back(w == 0 ? testing::sysmis() : w == 1 ? -1.0 : double(w) * 0.25);
    // Falling first, then spread: the counting grid widens both ways.
    const std::uint64_t k = next() % 20;
    c.push_back(i < 50       ? 100.0 - i * 0.125
                : k == 0     ? -0.0
                : k == 1     ? 1e9 + double(i)
                : k == 2     ? double(next() % 1000) / 7.0
                : k == 3     ? -double(next() % 400000) / 1000.0
                : k == 4     ? testing::sysmis()
                             : double(next() % 90000) / 1000.0 - 20);
    // Nearly all distinct, off every grid (one thread's pass lists them),
    // with some repeats, minus zero and system-missing among them.
    const std::uint64_t m = next() % 50;
    c.push_back(m == 0   ? -0.0
                : m == 1 ? testing::sysmis()
                : m == 2 ? 0.1
                         : (double(next()) - 1e9) / 3e3 * 3.14159);
    f.cases.push_back(std::move(c));
  }
  return f;
}

class Opened {
 public:
  explicit Opened(const std::vector<std::uint8_t>& bytes) : m_file(bytes) {
    if (OpenDataFileState(m_file.path(), m_state) == SPSS_OK)
      LoadDictionary(m_state, m_table, NumberSeparators{});
  }
  std::vector<VarRecord> Records() const {
    std::vector<VarRecord> records;
    for (int r = 0; r < m_table.RecordCount(); ++r) records.push_back(*m_table.ViewRecord(r));
    return records;
  }
  FrequencyPass Pass(unsigned threads) const {
    FrequencyPass p = MakeFrequencyPass(m_state.File, m_state.NumCases, true, NumberSeparators{});
    p.threads = threads;
    p.indexEvery = 512;
    return p;
  }

 private:
  TempFile m_file;
  DataFileState m_state;
  VariableList m_table;
};

std::vector<std::string> Rows(const FrequencyResult& r) {
  std::vector<std::string> rows;
  for (int i = 0; i < r.ValueRowCount(); ++i) {
    std::string row;
    for (int c = 0; c < 5; ++c) row += (c ? "\t" : "") + r.Cell(c, i);
    rows.push_back(row);
  }
  return rows;
}

void ExpectSameResult(const FrequencyResult& set, const FrequencyResult& alone) {
  EXPECT_TRUE(set.ran);
  EXPECT_EQ(Rows(set), Rows(alone));
  EXPECT_EQ(set.memo, alone.memo);
  EXPECT_EQ(set.memoLines, alone.memoLines);
  EXPECT_EQ(set.hideLabelColumn, alone.hideLabelColumn);
  EXPECT_EQ(set.caption, alone.caption);
  EXPECT_EQ(set.casesRead, alone.casesRead);
}

struct SetCase {
  const char* name;
  Compression compression;
  bool weighted;
  unsigned threads;
  bool alongside = false;
};

void PrintTo(const SetCase& c, std::ostream* os) { *os << c.name; }

class FrequencySetTest : public ::testing::TestWithParam<SetCase> {};

// Every variable's table from the one pass is the table of its own pass.
TEST_P(FrequencySetTest, EachTableAsCountedAlone) {
  const SetCase& c = GetParam();
  const Opened file(testing::writeSav(Mixed(c.compression, 6000)));
  const std::vector<VarRecord> vars = file.Records();
  ASSERT_EQ(vars.size(), 8u);
  const std::string weight = "w";
  const FrequencyPass pass = file.Pass(c.threads);
  if (c.alongside) {
    // Beside other passes a compressed file is read only once indexed.
    if (c.compression != Compression::None) {
      EXPECT_TRUE(CountFrequencySet(pass, vars, nullptr, {}, kFrequencySetBudget, true).unread);
      CountFrequencies(pass, vars[1]);
    }
  }
  const FrequencySet set = CountFrequencySet(pass, vars, c.weighted ? &weight : nullptr, {},
                                             kFrequencySetBudget, c.alongside);
  ASSERT_TRUE(set.ran);
  EXPECT_FALSE(set.unread);
  EXPECT_FALSE(set.cancelled);
  EXPECT_EQ(set.warning, "");
  EXPECT_EQ(set.casesRead, 6000);
  for (std::size_t v = 0; v < vars.size(); ++v) {
    SCOPED_TRACE(vars[v].VarName);
    EXPECT_FALSE(set.leftOut[v]);
    const FrequencyResult alone = c.weighted
                                      ? CountWeightedFrequencies(pass, vars[v], weight)
                                      : CountFrequencies(pass, vars[v]);
    ExpectSameResult(set.results[v], alone);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Files, FrequencySetTest,
    ::testing::Values(SetCase{"uncompressed", Compression::None, false, 4},
                      SetCase{"bytecode_one_thread", Compression::Bytecode, false, 1},
                      SetCase{"bytecode", Compression::Bytecode, false, 4},
                      SetCase{"zsav", Compression::Zsav, false, 4},
                      SetCase{"bytecode_weighted", Compression::Bytecode, true, 4},
                      SetCase{"zsav_weighted", Compression::Zsav, true, 1},
                      SetCase{"uncompressed_alongside", Compression::None, false, 2, true},
                      SetCase{"bytecode_alongside", Compression::Bytecode, false, 2, true},
                      SetCase{"bytecode_weighted_alongside", Compression::Bytecode, true, 2, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FrequencySet, OverTheBudgetTheLargestVariablesAreLeftOut) {
  const Opened file(testing::writeSav(Mixed(Compression::Bytecode, 6000)));
  const std::vector<VarRecord> vars = file.Records();
  const FrequencyPass pass = file.Pass(4);
  // Room for the small tables, not for 6000 identifiers or 5000 decimals.
  const FrequencySet set = CountFrequencySet(pass, vars, nullptr, {}, 40000);
  ASSERT_TRUE(set.ran);
  EXPECT_TRUE(set.leftOut[0]);   // id
  EXPECT_FALSE(set.results[0].ran);
  EXPECT_FALSE(set.leftOut[1]);  // a
  EXPECT_FALSE(set.leftOut[3]);  // s
  ExpectSameResult(set.results[1], CountFrequencies(pass, vars[1]));
  ExpectSameResult(set.results[3], CountFrequencies(pass, vars[3]));
}

TEST(FrequencySet, DataEndingEarlyCountsTheCasesRead) {
  for (const Compression compression : {Compression::None, Compression::Bytecode}) {
    SCOPED_TRACE(int(compression));
    testing::SavLayout layout;
    const auto bytes = testing::writeSav(Mixed(compression, 3000), &layout);
    const auto cutAt = long(layout.dataStart + (layout.dataEnd - layout.dataStart) * 2 / 3);
    const Opened file(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + cutAt));
    const std::vector<VarRecord> vars = file.Records();
    ASSERT_FALSE(vars.empty());
    const FrequencyPass pass = file.Pass(4);
    const FrequencySet set = CountFrequencySet(pass, vars, nullptr);
    const FrequencyResult alone = CountFrequencies(pass, vars[1]);
    EXPECT_EQ(set.casesRead, alone.casesRead);
    EXPECT_NE(set.warning.find("only " + std::to_string(alone.casesRead) + " of"),
              std::string::npos)
        << set.warning;
    ExpectSameResult(set.results[1], alone);
  }
}

TEST(FrequencySet, CancelAndMissingWeight) {
  const Opened file(testing::writeSav(Mixed(Compression::Bytecode, 6000)));
  const std::vector<VarRecord> vars = file.Records();
  const FrequencySet cancelled =
      CountFrequencySet(file.Pass(1), vars, nullptr, [](std::int64_t n) { return n >= 2000; });
  EXPECT_TRUE(cancelled.cancelled);
  EXPECT_FALSE(cancelled.results[0].ran);
  const std::string none = "nothere", text = "s";
  EXPECT_EQ(CountFrequencySet(file.Pass(4), vars, &none).message, "cannot find weight variable");
  EXPECT_EQ(CountFrequencySet(file.Pass(4), vars, &text).message, "cannot find weight variable");
}

}  // namespace
}  // namespace brindle
