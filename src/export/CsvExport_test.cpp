#include "export/CsvExport.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "spssio/Spssio.h"
#include "spssio/SystemFile.h"
#include "spssio/detail/ZsavInflater.h"
#include "spssio/EncryptedFile.h"
#include "spssio/testing/SavWriter.h"
#include "spssio/testing/TempFile.h"

namespace brindle {
namespace {

namespace fs = std::filesystem;
using testing::Case;
using testing::Format;
using testing::SavFile;
using testing::Variable;

TEST(CsvExportFields, NumbersReadBackExactlyAndStringsAreQuotedOnlyWhenNeeded) {
  const double sysmis = -DBL_MAX;
  const struct {
    double x;
    const char* text;
  } numbers[] = {
      {0.1, "0.1"},
      {1.0 / 3, "0.3333333333333333"},
      {100000, "100000"},
      {-0.0, "-0"},
      {5e-324, "5e-324"},
      {1e300, "1e+300"},
      {std::ldexp(1.0, 55), "36028797018963968"},
      {-42, "-42"},
      {sysmis, ""},
      {DBL_MAX, "1.7976931348623157e+308"},
      {0.05, "0.05"},
      {-56.257, "-56.257"},
      {0.1 + 0.2, "0.30000000000000004"},
      {123456789.1234, "123456789.1234"},
      {-0.0001, "-0.0001"},
  };
  for (const auto& n : numbers) {
    std::string out;
    AppendNumberField(out, n.x, sysmis);
    EXPECT_EQ(out, n.text) << n.x;
  }
  const struct {
    const char* text;
    const char* field;
  } fields[] = {
      {"plain", "plain"},
      {"", ""},
      {"a,b", "\"a,b\""},
      {"say \"hi\"", "\"say \"\"hi\"\"\""},
      {"two\nlines", "\"two\nlines\""},
      {"cr\rhere", "\"cr\rhere\""},
      {" blanks kept ", " blanks kept "},
  };
  for (const auto& f : fields) {
    std::string out;
    AppendCsvField(out, f.text);
    EXPECT_EQ(out, f.field) << f.text;
  }
}

TEST(CsvExportFields, FormattedValuesWriteDatesAsIso) {
  const struct {
    double x;
    PrintFormat f;
    const char* text;
  } cases[] = {
      {13929753600.0, {kFmtDate, 11, 0}, "2024-03-14"},
      {13929753600.0, {kFmtADate, 10, 0}, "2024-03-14"},
      {13929753600.0 + 3600, {kFmtMoYr, 8, 0}, "2024-03-14"},
      {13929803109.0, {kFmtDateTime, 20, 0}, "2024-03-14 13:45:09"},
      {13929803109.25, {kFmtDateTime, 23, 2}, "2024-03-14 13:45:09.25"},
      // Rounded to whole seconds before it is split: carries into the next day.
      {13166063999.6, {kFmtDateTime, 20, 0}, "2000-01-01 00:00:00"},
      {-5, {kFmtDate, 11, 0}, "-5"},  // before the calendar: the number
      {1234.5, {kFmtF, 8, 2}, "1234.50"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormattedNumber(c.x, c.f), c.text) << c.x;
}

// A small file whose values exercise quoting, missing values and labels.
SavFile SampleFile() {
  SavFile file;
  Variable n = Variable::numeric("n");
  n.numericLabels = {{1, "one, \"uno\""}, {2, "two\nlines"}};
  Variable d = Variable::numeric("d");
  d.print = Format{20, 11, 0};
  Variable s = Variable::string("s", 12);
  s.stringLabels = {{"a", "Label A"}};
  Variable skipped = Variable::numeric("skipped");
  file.variables = {n, d, s, skipped};
  const double sysmis = testing::sysmis();
  const double date = 13929753600.0;
  file.cases = {
      Case{1.0, date, std::string("a"), 0.0},
      Case{2.0, sysmis, std::string("he said \"hi\""), 0.0},
      Case{0.1, date, std::string("comma, here"), 0.0},
      Case{1.0 / 3, sysmis, std::string("line\nbreak"), 0.0},
      Case{sysmis, date, std::string(""), 0.0},
      Case{5e-324, date, std::string("Z\xC3\xBCrich  "), 0.0},
      Case{std::ldexp(1.0, 60), date, std::string("   lead"), 0.0},
      Case{-2.5, date, std::string("x"), 0.0},
  };
  return file;
}

class OpenSample {
 public:
  explicit OpenSample(const SavFile& file) : m_sav(testing::writeSav(file)) {
    EXPECT_EQ(SystemFile::open(m_sav.path(), opened), SPSS_OK);
  }
  SystemFile& handle() { return *opened; }
  std::shared_ptr<SystemFile> opened;

 private:
  testing::TempFile m_sav;
};

std::string HexFloat(double x) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%a", x);
  return buf;
}

std::string JsonText(const std::string& s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    if (c == '"' || c == '\\')
      out += '\\', out += char(c);
    else if (c < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      out += buf;
    } else
      out += char(c);
  }
  return out + "\"";
}

bool HavePython() { return std::system("python3 -c pass >/dev/null 2>&1") == 0; }

// Exports the sample in `mode` and has Python's csv module read it back and
// compare every field with what the file holds.
void CheckRoundTrip(DataMode mode) {
  const SavFile file = SampleFile();
  OpenSample sample(file);
  testing::TempFile csv(".csv"), expected(".json");
  const ExportResult result = ExportToFile(csv.path(), [&](ExportFile& out) {
    return ExportData(sample.handle(), {2, 0, 1}, mode, out, {});
  });
  ASSERT_EQ(result.status, ExportStatus::Done) << result.message;
  EXPECT_EQ(result.rows, std::int64_t(file.cases.size()));

  std::string json = "{\"header\": [\"n\", \"d\", \"s\"], \"rows\": [";
  for (std::size_t r = 0; r < file.cases.size(); ++r) {
    const Case& c = file.cases[r];
    const double n = std::get<double>(c[0]), d = std::get<double>(c[1]);
    std::string s = std::get<std::string>(c[2]);
    s.erase(s.find_last_not_of(' ') + 1);
    std::string row;
    if (n == testing::sysmis())
      row = "null";
    else if (mode == DataMode::Raw)
      row = "{\"n\": \"" + HexFloat(n) + "\"}";
    else if (mode == DataMode::Labels && n == 1)
      row = "{\"s\": " + JsonText("one, \"uno\"") + "}";
    else if (mode == DataMode::Labels && n == 2)
      row = "{\"s\": " + JsonText("two\nlines") + "}";
    else
      row = "{\"s\": " + JsonText(FormattedNumber(n, {kFmtF, 8, 2})) + "}";
    if (d == testing::sysmis())
      row += ", null";
    else if (mode == DataMode::Raw)
      row += ", {\"n\": \"" + HexFloat(d) + "\"}";
    else
      row += ", {\"s\": \"2024-03-14\"}";
    if (s.empty())
      row += ", null";
    else
      row += ", {\"s\": " + JsonText(mode == DataMode::Labels && s == "a" ? "Label A" : s) + "}";
    json += (r ? ", [" : "[") + row + "]";
  }
  json += "]}";
  std::ofstream(expected.path()) << json;
  const std::string command = "python3 \"" BRINDLE_SOURCE_DIR
                              "/src/export/csv_roundtrip_check.py\" \"" +
                              csv.path() + "\" \"" + expected.path() + "\"";
  EXPECT_EQ(std::system(command.c_str()), 0) << "mode " << int(mode);
}

TEST(CsvExportRoundTrip, PythonReadsBackEveryValue) {
  if (!HavePython()) GTEST_SKIP() << "no python3";
  CheckRoundTrip(DataMode::Raw);
  CheckRoundTrip(DataMode::Formatted);
  CheckRoundTrip(DataMode::Labels);
}

TEST(CsvExportDictionary, VariablesAndLabelsOneRowEach) {
  SavFile file = SampleFile();
  file.variables[0].label = "Number, with a comma";
  file.variables[0].missingCode = -3;
  file.variables[0].missing[0] = 0.5;
  file.variables[0].missing[1] = 9;
  file.variables[0].missing[2] = 99;
  file.variables[1].measure = 2;
  const std::string roles = "n:$@Role('1'\n)/s:$@Role('5'\n)";
  file.extraExtensions.push_back({18, 1, int(roles.size()), {roles.begin(), roles.end()}});
  OpenSample sample(file);
  std::vector<VarRecord> records(4);
  const char* names[] = {"n", "d", "s", "skipped"};
  for (int i = 0; i < 4; ++i) records[std::size_t(i)].VarName = names[i];
  records[0].VarLabel = "Number, with a comma";
  records[0].missingFormat = -3, records[0].nMiss1 = 0.5, records[0].nMiss2 = 9,
  records[0].nMiss3 = 99;
  records[0].PrintFmt = "F8.2", records[0].Wid = 8;
  records[2].VarType = 12, records[2].PrintFmt = "A12", records[2].missingFormat = 14;

  std::ostringstream vars, labels;
  ExportFile out;
  out.OpenStream(vars);
  ASSERT_EQ(ExportVariables(sample.handle(), records, out).status, ExportStatus::Done);
  ASSERT_TRUE(out.Commit());
  EXPECT_EQ(vars.str(),
            "name,label,type,width,format,missing,value_labels,measurement_level,role\n"
            "n,\"Number, with a comma\",numeric,8,F8.2,0.5 thru 9 99,2,scale,target\n"
            "d,,numeric,0,,,0,ordinal,\n"
            "s,,string,12,A12,,1,nominal,split\n"
            "skipped,,numeric,0,,,0,scale,\n");
  out.OpenStream(labels);
  ASSERT_EQ(ExportValueLabels(sample.handle(), records, out).rows, 3);
  ASSERT_TRUE(out.Commit());
  EXPECT_EQ(labels.str(),
            "variable,value,label\n"
            "n,1,\"one, \"\"uno\"\"\"\n"
            "n,2,\"two\nlines\"\n"
            "s,a,Label A\n");
}

// What is left in a folder besides the files named.
std::vector<std::string> FolderEntries(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder))
    names.push_back(e.path().filename().string());
  return names;
}

TEST(CsvExportTarget, CancelAndFailureLeaveNoFile) {
  SavFile file = SampleFile();
  for (int i = 0; i < 10000; ++i) file.cases.push_back(file.cases[std::size_t(i % 8)]);
  OpenSample sample(file);
  const fs::path folder =
      fs::temp_directory_path() / ("brindle-export-" + std::to_string(::getpid()));
  fs::create_directories(folder);
  const std::string target = (folder / "out.csv").string();

  // Cancelled after the first batch: no target, no temporary file.
  int calls = 0;
  ExportResult r = ExportToFile(target, [&](ExportFile& out) {
    return ExportData(sample.handle(), {}, DataMode::Raw, out,
                      [&](std::int64_t done, std::int64_t total) {
                        EXPECT_EQ(total, std::int64_t(file.cases.size()));
                        return ++calls < 2 || done == 0;
                      });
  });
  EXPECT_EQ(r.status, ExportStatus::Cancelled);
  EXPECT_EQ(calls, 2);
  EXPECT_TRUE(FolderEntries(folder).empty());

  // An existing file under the target name survives a failed export whole.
  std::ofstream(target) << "old";
  fs::create_directory(folder / "dir.csv");
  r = ExportToFile((folder / "dir.csv").string(), [&](ExportFile& out) {
    return ExportData(sample.handle(), {}, DataMode::Raw, out, {});
  });
  EXPECT_EQ(r.status, ExportStatus::Failed);
  EXPECT_NE(r.message.find("dir.csv"), std::string::npos) << r.message;
  EXPECT_EQ(FolderEntries(folder).size(), 2u);

  // A folder that does not exist: a message naming it, nothing created.
  r = ExportToFile((folder / "missing" / "x.csv").string(),
                   [&](ExportFile& out) { return ExportValueLabels(sample.handle(), {}, out); });
  EXPECT_EQ(r.status, ExportStatus::Failed);
  EXPECT_NE(r.message.find("missing"), std::string::npos) << r.message;

  // Never over the data file being read.
  r = ExportToFile(
      target, [&](ExportFile&) { return ExportResult{}; }, (folder / "." / "out.csv").string());
  EXPECT_EQ(r.status, ExportStatus::Failed);
  EXPECT_NE(r.message.find("data file"), std::string::npos) << r.message;
  EXPECT_EQ(FolderEntries(folder).size(), 2u);

  // The whole export replaces the old file.
  r = ExportToFile(target, [&](ExportFile& out) {
    return ExportData(sample.handle(), {}, DataMode::Raw, out, {});
  });
  EXPECT_EQ(r.status, ExportStatus::Done);
  EXPECT_EQ(r.rows, std::int64_t(file.cases.size()));
  EXPECT_EQ(FolderEntries(folder).size(), 2u);
  std::ifstream in(target);
  std::string header;
  std::getline(in, header);
  EXPECT_EQ(header, "n,d,s,skipped");
  in.close();  // Windows removes no file that is open
  fs::remove_all(folder);
}

TEST(CsvExportTarget, FullDeviceIsAFailure) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  std::ofstream full("/dev/full");
  full.rdbuf()->pubsetbuf(nullptr, 0);
  ExportFile out;
  out.OpenStream(full);
  out.Write(std::string(3u << 20, 'x'));
  EXPECT_FALSE(out.Commit());
  EXPECT_FALSE(out.Error().empty());
}

// The export on several threads writes what one pass through the I/O
// module's calls writes, for every kind of data area, texts converted from a
// single-byte encoding, very long strings, a file that is cut short, and
// every mode; an encrypted file reads its segments through the decryption.
TEST(CsvExportParallel, WritesWhatOneSequentialPassWrites) {
  struct Variant {
    testing::Compression compression;
    const char* encoding;
    bool cut;
    bool encrypted = false;
  } variants[] = {
      {testing::Compression::Bytecode, "UTF-8", false},
      {testing::Compression::None, "windows-1252", false},
      {testing::Compression::Zsav, "UTF-8", false},
      {testing::Compression::Bytecode, "windows-1252", true},
      {testing::Compression::Bytecode, "UTF-8", false, true},
  };
  for (const Variant& v : variants) {
    if (v.encrypted && !EncryptionAvailable()) continue;  // a build without AES
    SavFile file = SampleFile();
    file.compression = v.compression;
    file.encoding = v.encoding;
    file.variables.push_back(Variable::string("long", 300));
    std::vector<Case> cases;
    for (int i = 0; i < 20000; ++i) {
      Case c = file.cases[std::size_t(i % 8)];
      if (i % 8 == 5 && std::string(v.encoding) != "UTF-8") c[2] = std::string("Z\xFCrich");
      c.push_back(std::string(std::size_t(i % 300), char('a' + i % 26)) +
                  (i % 3 ? "" : " \"x\",y"));
      cases.push_back(std::move(c));
    }
    file.cases = std::move(cases);
    std::vector<std::uint8_t> bytes = testing::writeSav(file);
    if (v.cut) bytes.resize(bytes.size() - bytes.size() / 3);
    if (v.encrypted) bytes = testing::encryptWrapper(bytes, "pspp");
    testing::TempFile sav(bytes);
    std::shared_ptr<SystemFile> opened;
    ASSERT_EQ(SystemFile::open(sav.path(), opened, nullptr, {v.encrypted ? "pspp" : nullptr}),
              SPSS_OK);
    SystemFile& handle = *opened;
    const std::vector<int> vars = {0, 1, 2, 4};
    for (DataMode mode : {DataMode::Raw, DataMode::Formatted, DataMode::Labels}) {
      const std::vector<ExportColumn> columns = DataColumns(handle, vars, mode == DataMode::Labels);
      std::ostringstream once, parallel;
      ExportFile out;
      out.OpenStream(once);
      ExportResult expected;
      {
        ModuleRowSource rows(handle, vars);
        expected = WriteDataCsv(rows, columns, mode, -DBL_MAX, -1, out, {});
      }
      out.Commit();
      CaseColumns source;
      ASSERT_TRUE(source.open(handle, vars));
      ASSERT_TRUE(source.buildIndex(1000, {}));
      // ZSAV splits only where its blocks inflate alone (with libdeflate).
      if (!v.cut && (v.compression != testing::Compression::Zsav || ZsavBlockInflater::available())) {
        const std::vector<CaseSegment> segments = source.split(24);
        ASSERT_GE(segments.size(), 10u);
        EXPECT_TRUE(CaseColumns().openSegment(source, segments[3]));
      }
      out.OpenStream(parallel);
      const ExportResult got =
          WriteDataCsvParallel(source, columns, mode, -DBL_MAX, -1, out, {}, 3);
      out.Commit();
      source.close();
      const std::string what =
          std::string(v.encoding) + " compression " + std::to_string(int(v.compression)) +
          (v.encrypted ? " encrypted" : "") + " mode " + std::to_string(int(mode));
      EXPECT_EQ(got.status, v.cut ? ExportStatus::Failed : ExportStatus::Done) << what;
      EXPECT_EQ(got.status, expected.status) << what;
      EXPECT_EQ(got.rows, expected.rows) << what;
      EXPECT_EQ(got.message, expected.message) << what;
      EXPECT_TRUE(parallel.str() == once.str()) << what;
    }
  }
}

}  // namespace
}  // namespace brindle
