#include "datafile/DictionaryLoader.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <filesystem>
#include <string>
#include <vector>

#include "datafile/MissingValueText.h"
#include "spssio/Spssio.h"
#include "spssio/SystemFile.h"
#include "spssio/testing/SavWriter.h"
#include "spssio/testing/TempFile.h"

namespace brindle {
namespace {

namespace t = brindle::testing;

// An open file with a module handle too, closed when it goes.
class OpenSav {
 public:
  explicit OpenSav(const std::string& path) {
    m_rc = SystemFile::open(path, m_file);
    if (m_rc == SPSS_OK) RegisterHandle(m_file, &m_handle);
  }
  ~OpenSav() {
    if (m_handle >= 0) spssCloseRead(m_handle);
  }
  int rc() const { return m_rc; }
  int handle() const { return m_handle; }
  const std::shared_ptr<SystemFile>& file() const { return m_file; }

 private:
  int m_rc = -1;
  int m_handle = -1;
  std::shared_ptr<SystemFile> m_file;
};

DictionaryLoadResult Load(const OpenSav& f, VariableList& table) {
  double lowest = 0;
  double highest = 0;
  spssLowHighVal(&lowest, &highest);
  return LoadDictionary(*f.file(), lowest, highest, NumberSeparators{}, table);
}

t::Variable Numeric(const std::string& name, int code, double a = 0, double b = 0, double c = 0) {
  t::Variable v = t::Variable::numeric(name);
  v.missingCode = code;
  v.missing[0] = a;
  v.missing[1] = b;
  v.missing[2] = c;
  return v;
}

t::Variable Text(const std::string& name, int width, std::vector<std::string> missing) {
  t::Variable v = t::Variable::string(name, width);
  v.stringMissing = std::move(missing);
  return v;
}

struct Expected {
  const char* name;
  int type;
  int missingFormat;
  const char* missing;
  const char* printFmt;  // nullptr: not checked
};

TEST(DictionaryLoaderTest, FillsOneRecordPerVariable) {
  t::SavFile f;
  t::Variable none = t::Variable::numeric("none", "No missing values");
  none.print = t::Format{5, 8, 0};
  t::Variable when = Numeric("when", 1, 1.5);
  when.print = t::Format{22, 20, 0};
  t::Variable cash = Numeric("cash", -2, 90, 99);
  cash.print = t::Format{4, 12, 2};
  f.variables = {
      none,
      Numeric("three", 3, 1, 2, 3),
      Numeric("lowhigh", -2, t::lowestInRanges(), DBL_MAX),
      Numeric("lowzero99", -3, t::lowestInRanges(), 0, 99),
      when,
      cash,
      Numeric("long", 3, 123456789012345, -123456789012345, 2),
      Text("s1", 1, {"Y"}),
      Text("s8", 8, {"O'K", "NA"}),
      Text("s8full", 8, {"ABCDEFGH", "IJKLMNOP", "QRSTUVWX"}),
      Text("s9", 9, {"zzz"}),
      t::Variable::string("s20", 20, "A label"),
      Numeric("w", 0),
      t::Variable::string("AVeryLongVariableNameIndeed", 300),
  };
  f.weight = "w";
  f.cases = {};
  t::TempFile file(t::writeSav(f));
  OpenSav sav(file.path());
  ASSERT_EQ(sav.rc(), SPSS_OK);

  VariableList table;
  int scrolls = 0;
  table.SetAfterScroll([&](VariableList&) { ++scrolls; });
  const DictionaryLoadResult r = Load(sav, table);
  EXPECT_EQ(r.errorCode, 0);
  EXPECT_EQ(r.error, "");
  EXPECT_EQ(r.warning, "");
  EXPECT_EQ(r.NumVars, 14);
  EXPECT_EQ(r.NumCases, 0);
  EXPECT_FALSE(r.CaseCountEstimated);
  EXPECT_EQ(r.WeightVarName, "w");
  EXPECT_EQ(scrolls, 0);             // detached during the load, not run after it
  EXPECT_TRUE(table.AfterScroll());  // but attached again
  EXPECT_EQ(table.RecNo(), 1);

  const Expected expected[] = {
      {"none", 0, 0, "", "F8"},
      {"three", 0, 3, "1 2 3", "F8.2"},
      {"lowhigh", 0, -2, "lowest thru highest", "F8.2"},
      {"lowzero99", 0, -3, "lowest thru 0 99", "F8.2"},
      {"when", 0, 1, "1.5", "DATETIME20"},
      {"cash", 0, -2, "90 thru 99", "DOLLAR12.2"},
      {"long", 0, 3, "123456789012345 -1234567890123", "F8.2"},
      {"s1", 1, 14, "'Y'", "A1"},
      {"s8", 8, 14, "'O''K' 'NA'", "A8"},
      {"s8full", 8, 14, "'ABCDEFGH' 'IJKLMNOP' 'QRSTUVW", "A8"},
      {"s9", 9, 14, "'zzz'", "A9"},  // long strings' missing values have a record of their own
      {"s20", 20, 14, "", "A20"},
      {"w", 0, 0, "", "F8.2"},
      {"AVeryLongVariableNameIndeed", 300, 14, "", nullptr},
  };
  ASSERT_EQ(table.RecordCount(), 14);
  for (int i = 0; i < 14; ++i) {
    const VarRecord& rec = *table.ViewRecord(i);
    const Expected& e = expected[i];
    SCOPED_TRACE(e.name);
    EXPECT_EQ(rec.RecId, i + 1);
    EXPECT_EQ(rec.VarName, e.name);
    EXPECT_EQ(rec.VarType, e.type);
    EXPECT_EQ(rec.missingFormat, e.missingFormat);
    EXPECT_EQ(rec.MissingValues, e.missing);
    // A width over 255 does not fit the stored format; how it reads is the reader's matter.
    if (e.printFmt != nullptr) {
      EXPECT_EQ(rec.PrintFmt, e.printFmt);
    }
  }
  EXPECT_EQ(table.ViewRecord(0)->VarLabel, "No missing values");
  EXPECT_EQ(table.ViewRecord(11)->VarLabel, "A label");
  EXPECT_EQ(table.ViewRecord(1)->VarLabel, "");
  const VarRecord& cashRec = *table.ViewRecord(5);
  EXPECT_EQ(cashRec.Fmt, 4);
  EXPECT_EQ(cashRec.Wid, 12);
  EXPECT_EQ(cashRec.Dec, 2);
  EXPECT_EQ(cashRec.nMiss1, 90);
  EXPECT_EQ(cashRec.nMiss2, 99);
  EXPECT_TRUE(IsMissingValue(95, cashRec));
  EXPECT_FALSE(IsMissingValue(95, *table.ViewRecord(8)));  // strings have none

  EXPECT_EQ(WeightSelectorItems(table),
            (std::vector<std::string>{" ", "none", "three", "lowhigh", "lowzero99", "when", "cash",
                                      "long", "w"}));
}

TEST(DictionaryLoaderTest, NameListFailureLeavesTheTableAlone) {
  VariableList table;
  table.Open();
  VarRecord keep;
  keep.RecId = 1;
  keep.VarName = "kept";
  table.AppendRecord(keep);
  table.EndLoad();
  DataFileState noFile;
  const DictionaryLoadResult r = LoadDictionary(noFile, table, NumberSeparators{});
  EXPECT_NE(r.errorCode, 0);
  EXPECT_EQ(r.error, "Error getting variable names " + std::to_string(r.errorCode));
  ASSERT_EQ(table.RecordCount(), 1);
  EXPECT_EQ(table.Current()->VarName, "kept");
}

TEST(DictionaryLoaderTest, StateOverloadFillsTheFileState) {
  t::SavFile f;
  f.variables = {t::Variable::numeric("a"), t::Variable::numeric("b")};
  f.cases = {{1.0, 2.0}, {3.0, 4.0}, {5.0, 6.0}};
  t::TempFile file(t::writeSav(f));
  OpenSav sav(file.path());
  ASSERT_EQ(sav.rc(), SPSS_OK);
  DataFileState state;
  state.File = sav.file();
  state.WeightVarName = "stale";
  VariableList table;
  const DictionaryLoadResult r = LoadDictionary(state, table, NumberSeparators{});
  EXPECT_EQ(r.error, "");
  EXPECT_EQ(state.NumVars, 2);
  EXPECT_EQ(state.NumCases, 3);
  EXPECT_FALSE(state.CaseCountEstimated);
  EXPECT_EQ(state.WeightVarName, "");
}

struct CountCase {
  const char* name;
  t::Compression compression;
  bool damage;  // spoil the data after the third case
  bool estimated;
  // The count the load ends with, also the number the warning shows; -1:
  // whatever the warning shows (below 25).
  int cases;
};

class CaseCountTest : public ::testing::TestWithParam<CountCase> {};

// Files whose header does not state the case count.
TEST_P(CaseCountTest, EstablishesTheCount) {
  const CountCase& c = GetParam();
  t::SavFile f;
  f.compression = c.compression;
  f.headerCases = -1;
  f.extendedCaseCount = false;
  f.zlibBlockSize = 64;  // several blocks, so damage in one leaves earlier cases readable
  f.variables = {t::Variable::numeric("x"), t::Variable::string("s", 8)};
  for (int i = 0; i < 25; ++i) f.cases.push_back({0.5 + i, std::string("abc")});
  t::SavLayout layout;
  std::vector<std::uint8_t> bytes = t::writeSav(f, &layout);
  if (c.damage) {
    if (c.compression == t::Compression::Zsav) {
      // Garbage in the second zlib block.
      ASSERT_GE(layout.zlibBlockOffsets.size(), 3u);
      for (std::uint64_t k = layout.zlibBlockOffsets[1] + 2; k < layout.zlibBlockOffsets[2]; ++k)
        bytes[k] = 0xFF;
    } else {
      // The data stops in the middle of a value.
      bytes.resize(layout.dataEnd - 3);
    }
  }
  t::TempFile file(bytes);
  OpenSav sav(file.path());
  ASSERT_EQ(sav.rc(), SPSS_OK);
  VariableList table;
  const DictionaryLoadResult r = Load(sav, table);
  if (c.cases >= 0) EXPECT_EQ(r.NumCases, c.cases);
  EXPECT_EQ(r.CaseCountEstimated, c.estimated);
  if (c.estimated) {
    const std::string prefix = "Cannot determine the true number of cases.\nThe estimated number (";
    const std::string suffix = ") will be used.";
    ASSERT_GT(r.warning.size(), prefix.size() + suffix.size());
    EXPECT_EQ(r.warning.substr(0, prefix.size()), prefix);
    EXPECT_EQ(r.warning.substr(r.warning.size() - suffix.size()), suffix);
    const std::string number =
        r.warning.substr(prefix.size(), r.warning.size() - prefix.size() - suffix.size());
    // The tables count the cases read before the failure.
    EXPECT_EQ(number, std::to_string(r.NumCases));
    EXPECT_LT(r.NumCases, 25);
  } else {
    EXPECT_EQ(r.warning, "");
  }
  // The count left the file rewound: a pass reads from the first case.
  if (!c.damage) {
    double h = 0;
    double x = 0;
    ASSERT_EQ(spssGetVarHandle(sav.handle(), "x", &h), SPSS_OK);
    ASSERT_EQ(spssReadCaseRecord(sav.handle()), SPSS_OK);
    ASSERT_EQ(spssGetValueNumeric(sav.handle(), h, &x), SPSS_OK);
    EXPECT_EQ(x, 0.5);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Files, CaseCountTest,
    ::testing::Values(CountCase{"Bytecode", t::Compression::Bytecode, false, false, 25},
                      CountCase{"Zsav", t::Compression::Zsav, false, false, 25},
                      CountCase{"Uncompressed", t::Compression::None, false, false, 25},
                      CountCase{"TruncatedBytecode", t::Compression::Bytecode, true, true, 24},
                      CountCase{"TruncatedUncompressed", t::Compression::None, true, true, 24},
                      CountCase{"DamagedZsav", t::Compression::Zsav, true, true, -1}),
    [](const auto& info) { return std::string(info.param.name); });

// Real files from other writers load whole and consistent.
TEST(DictionaryLoaderRealFiles, EveryFileLoads) {
  namespace fs = std::filesystem;
  const fs::path dir = BRINDLE_TESTDATA_DIR;
  if (!fs::is_directory(dir)) GTEST_SKIP() << "no test data at " << dir;
  int files = 0;
  for (const auto& entry : fs::directory_iterator(dir)) {
    const auto ext = entry.path().extension();
    if (ext != ".sav" && ext != ".zsav") continue;
    SCOPED_TRACE(entry.path().string());
    OpenSav sav(entry.path().string());
    ASSERT_EQ(sav.rc(), SPSS_OK);
    VariableList table;
    const DictionaryLoadResult r = Load(sav, table);
    ++files;
    EXPECT_EQ(r.error, "");
    EXPECT_EQ(r.warning, "");
    EXPECT_GE(r.NumCases, 0);
    ASSERT_EQ(table.RecordCount(), r.NumVars);
    for (int i = 0; i < table.RecordCount(); ++i) {
      const VarRecord& rec = *table.ViewRecord(i);
      EXPECT_EQ(rec.RecId, i + 1);
      EXPECT_FALSE(rec.VarName.empty());
      EXPECT_FALSE(rec.PrintFmt.empty());
      EXPECT_EQ(CutToCharacters(rec.MissingValues, kMissingTextChars), rec.MissingValues);
      EXPECT_NE(rec.MissingValues, "Invalid format code");
      if (rec.VarType > 0) {
        EXPECT_EQ(rec.missingFormat, 14);
      }
    }
  }
  if (files == 0) GTEST_SKIP() << "no data files in " << dir;
}

}  // namespace
}  // namespace brindle
