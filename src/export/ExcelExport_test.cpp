#include "export/ExcelExport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>

#include "spssio/Spssio.h"
#include "spssio/SystemFile.h"
#include "spssio/testing/SavWriter.h"
#include "spssio/testing/TempFile.h"

namespace brindle {
namespace {

using testing::Format;
using testing::SavFile;
using testing::Variable;

// Every kind of value a data sheet holds: numbers with labels, dates
// (also before 1900, which Excel cannot show), date-times, times, UTF-8 and
// long strings, system-missing values.
SavFile Mixed() {
  SavFile file;
  Variable n = Variable::numeric("n");
  n.numericLabels = {{1, "one"}, {2, "two"}};
  Variable day = Variable::numeric("day");
  day.print = Format{20, 11, 0};
  Variable at = Variable::numeric("at");
  at.print = Format{22, 20, 0};
  Variable clock = Variable::numeric("clock");
  clock.print = Format{21, 8, 0};
  Variable s = Variable::string("s", 300);
  s.stringLabels = {{"a", "Label A"}};
  file.variables = {n, day, at, clock, s};
  const double sysmis = testing::sysmis();
  const double when = 13744980610.0;  // 2018-05-06 10:10:10
  file.cases = {
      {1.0, when, when, 36610.0, std::string("a")},
      {2.5, sysmis, sysmis, sysmis, std::string("Z\xC3\xBCrich  ")},
      {0.1, 9390161410.0, 9390161410.0, 0.0, std::string(290, 'x')},
      {sysmis, when + 86400, when + 0.5, 86399.0, std::string("")},
      {-1e300, 0.0, 0.0, 1.5, std::string("=1+1")},
      {1.0 / 3, when, when, 90000.0, std::string("line\nbreak")},
      {2.0, when, when, 5.0, std::string("end")},
  };
  return file;
}

std::vector<VarRecord> Records(const SystemFile& file) {
  std::vector<VarRecord> records;
  for (std::size_t v = 0; v < file.variableCount(); ++v) {
    VarRecord r;
    r.VarName = file.variable(v).name;
    r.VarType = file.variable(v).width;
    records.push_back(r);
  }
  return records;
}

// Several data sheets when the cases pass a sheet's rows; the workbook, and
// the CSV exports of the same file, go to BRINDLE_XLSX_OUT for the check with
// openpyxl when it names a folder.
TEST(ExcelExport, CasesGoOnOverDataSheets) {
  if (!ExcelAvailable()) GTEST_SKIP() << "built without libxlsxwriter";
  testing::TempFile sav(testing::writeSav(Mixed()));
  std::shared_ptr<SystemFile> file;
  ASSERT_EQ(SystemFile::open(sav.path(), file), SPSS_OK);
  const std::vector<VarRecord> records = Records(*file);
  const char* outDir = std::getenv("BRINDLE_XLSX_OUT");
  const struct {
    std::int64_t sheetCases;
    DataMode mode;
    const char* name;
    std::string note;
  } cases[] = {
      {0, DataMode::Raw, "one_sheet", ""},
      {3, DataMode::Raw, "three_sheets",
       "The 7 cases fill 3 data sheets (Data, Data 2, ...): a sheet holds 3 cases."},
      {7, DataMode::Labels, "labels_full_sheet", ""},
      {1, DataMode::Labels, "labels_sheet_a_case",
       "The 7 cases fill 7 data sheets (Data, Data 2, ...): a sheet holds 1 cases."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::ostringstream bytes;
    ExportFile out;
    out.OpenStream(bytes);
    const ExportResult r = ExportDataXlsx(*file, {}, c.mode, records, out, {}, c.sheetCases);
    ASSERT_TRUE(out.Commit());
    EXPECT_EQ(r.status, ExportStatus::Done) << r.message;
    EXPECT_EQ(r.rows, 7);
    EXPECT_EQ(r.warning, "");
    EXPECT_EQ(r.note, c.note);
    EXPECT_EQ(bytes.str().substr(0, 2), "PK");  // a zip
    if (!outDir) continue;
    const std::string base = std::string(outDir) + "/" + c.name;
    std::ofstream(base + ".xlsx", std::ios::binary) << bytes.str();
    const auto csv = [&](const std::string& suffix, auto write) {
      std::ostringstream text;
      ExportFile f;
      f.OpenStream(text);
      write(f);
      ASSERT_TRUE(f.Commit());
      std::ofstream(base + suffix, std::ios::binary) << text.str();
    };
    csv(".raw.csv", [&](ExportFile& f) { ExportData(*file, {}, DataMode::Raw, f, {}); });
    csv(".formatted.csv",
        [&](ExportFile& f) { ExportData(*file, {}, DataMode::Formatted, f, {}); });
    if (c.mode == DataMode::Labels)
      csv(".data_labels.csv",
          [&](ExportFile& f) { ExportData(*file, {}, DataMode::Labels, f, {}); });
    csv(".vars.csv", [&](ExportFile& f) { ExportVariables(*file, records, f); });
    csv(".labels.csv", [&](ExportFile& f) { ExportValueLabels(*file, records, f); });
  }
}

// Data that ends before the header's count: the cases read, and the same
// warning as the CSV export's.
TEST(ExcelExport, ShortDataGivesTheCasesReadAndAWarning) {
  if (!ExcelAvailable()) GTEST_SKIP() << "built without libxlsxwriter";
  SavFile sample = Mixed();
  sample.headerCases = 100;
  sample.extendedCases = 100;
  testing::TempFile sav(testing::writeSav(sample));
  std::shared_ptr<SystemFile> file;
  ASSERT_EQ(SystemFile::open(sav.path(), file), SPSS_OK);
  std::ostringstream bytes;
  ExportFile out;
  out.OpenStream(bytes);
  const ExportResult r = ExportDataXlsx(*file, {}, DataMode::Raw, Records(*file), out, {});
  ASSERT_TRUE(out.Commit());
  EXPECT_EQ(r.status, ExportStatus::Done);
  EXPECT_EQ(r.rows, 7);
  EXPECT_EQ(r.warning, ShortDataWarning(7, 100, {}));
  const ExportResult cancelled = ExportDataXlsx(*file, {}, DataMode::Raw, Records(*file), out,
                                                [](std::int64_t, std::int64_t) { return false; });
  EXPECT_EQ(cancelled.status, ExportStatus::Cancelled);
}

}  // namespace
}  // namespace brindle
