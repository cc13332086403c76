#include "export/StataExport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <optional>
#include <fstream>
#include <memory>
#include <sstream>

#include "spssio/Spssio.h"
#include "spssio/SystemFile.h"
#include "spssio/testing/SavWriter.h"
#include "spssio/testing/TempFile.h"
#include "export/CsvExport.h"

namespace brindle {
namespace {

using testing::Format;
using testing::SavFile;
using testing::Variable;

TEST(StataName, ValidUniqueAndShort) {
  std::vector<std::string> taken;
  const struct {
    const char* name;
    const char* stata;
  } cases[] = {
      {"age", "age"},
      {"age", "age_2"},  // taken
      {"q1.a", "q1_a"},
      {"@weight", "_weight"},
      {"1st", "_1st"},
      {"gr\xC3\xB6\xC3\x9F"
       "e",
       "gr__e"},  // one _ for each UTF-8 letter
      {"if", "if_"},
      {"str12", "str12_"},
      {"averyveryveryveryverylongname_over_32", "averyveryveryveryverylongname_ov"},
      {"averyveryveryveryverylongname_over_33", "averyveryveryveryverylongname__2"},
      {"_all", "_all_"},
  };
  for (const auto& c : cases) EXPECT_EQ(StataName(c.name, taken), c.stata) << c.name;
}

// Discrete and range user-missing codes, labels Stata can and cannot hold,
// a string past str#'s 2,045 bytes, dates and times, and names to change.
SavFile Mixed() {
  SavFile file;
  Variable m = Variable::numeric("m", "With codes");
  m.missingCode = 2;
  m.missing[0] = 8;
  m.missing[1] = 9;
  m.numericLabels = {{1, "one"}, {8, "refused"}, {9, "no answer"}};
  Variable r = Variable::numeric("r.range");
  r.missingCode = -3;
  r.missing[0] = 90;
  r.missing[1] = 99;
  r.missing[2] = 0;
  r.numericLabels = {{1.5, "half"}};
  Variable day = Variable::numeric("day");
  day.print = Format{20, 11, 0};
  Variable at = Variable::numeric("at");
  at.print = Format{22, 20, 0};
  Variable clock = Variable::numeric("clock");
  clock.print = Format{21, 8, 0};
  Variable s = Variable::string("s", 3000);
  s.stringLabels = {{"a", "Label A"}};
  file.variables = {m, r, day, at, clock, s};
  const double sysmis = testing::sysmis();
  const double when = 13744980610.0;  // 2018-05-06 10:10:10
  file.cases = {
      {1.0, 1.5, when, when, 36610.0, std::string("a")},
      {8.0, 95.0, sysmis, sysmis, sysmis, std::string(2500, 'x')},
      {9.0, 0.0, 9390161410.0, 9390161410.0, 0.0, std::string("Z\xC3\xBCrich  ")},
      {sysmis, 90.0, when + 86400, when + 0.5, 86399.0, std::string("")},
      {2.5, -3.0, 0.0, 0.0, 1.5, std::string("end")},
  };
  return file;
}

TEST(StataExport, MissingCodesLabelsAndRenames) {
  if (!StataAvailable()) GTEST_SKIP() << "built without libreadstat";
  testing::TempFile sav(testing::writeSav(Mixed()));
  std::shared_ptr<SystemFile> file;
  ASSERT_EQ(SystemFile::open(sav.path(), file), SPSS_OK);
  std::ostringstream bytes;
  ExportFile out;
  out.OpenStream(bytes);
  const ExportResult r = ExportDataDta(*file, {}, out, {});
  ASSERT_TRUE(out.Commit());
  EXPECT_EQ(r.status, ExportStatus::Done) << r.message;
  EXPECT_EQ(r.rows, 5);
  EXPECT_EQ(r.note,
            "Renamed for Stata: r.range as r_range. Value labels Stata cannot hold (not whole "
            "numbers, or of strings) were dropped: r.range, s.");
  EXPECT_EQ(bytes.str().substr(0, 21), "<stata_dta><header><r");
  if (const char* dir = std::getenv("BRINDLE_DTA_OUT")) {
    const std::string base = std::string(dir) + "/mixed";
    std::ofstream(base + ".dta", std::ios::binary) << bytes.str();
    std::ostringstream csv;
    ExportFile f;
    f.OpenStream(csv);
    ExportData(*file, {}, DataMode::Raw, f, {});
    ASSERT_TRUE(f.Commit());
    std::ofstream(base + ".csv", std::ios::binary) << csv.str();
  }
}

// The header counts the cases first: data that holds fewer cases than the
// SPSS file says (a count over the data, data cut inside a case or a zlib
// block, no count at all) is counted before it is written, so the file holds
// every case that can be read, counts just those, and says why as the CSV
// export does. A cancel stops the export.
TEST(StataExport, ShortDataIsWrittenAsFarAsItCanBeRead) {
  if (!StataAvailable()) GTEST_SKIP() << "built without libreadstat";
  const struct {
    const char* name;
    std::optional<std::int32_t> header;
    bool cut;
  } variants[] = {{"count_over", 1000, false}, {"cut", std::nullopt, true}, {"cut_no_count", -1, true}};
  const char* dir = std::getenv("BRINDLE_DTA_OUT");
  for (auto compression :
       {testing::Compression::None, testing::Compression::Bytecode, testing::Compression::Zsav})
    for (const auto& v : variants) {
      const std::string name = std::string(v.name) + "_" + std::to_string(int(compression));
      SCOPED_TRACE(name);
      SavFile sample = Mixed();
      sample.variables.pop_back();  // no long string: the data is cut in the cases
      for (auto& c : sample.cases) c.pop_back();
      for (int i = 0; i < 200; ++i) sample.cases.push_back(sample.cases[std::size_t(i % 5)]);
      sample.compression = compression;
      sample.zlibBlockSize = 256;
      sample.headerCases = v.header;
      if (v.header) sample.extendedCases = *v.header;
      if (v.header == -1) sample.extendedCaseCount = false;
      testing::SavLayout layout;
      auto bytes = testing::writeSav(sample, &layout);
      if (v.cut && compression == testing::Compression::Zsav)
        bytes.resize(layout.zlibBlockOffsets.at(3) + 5);
      else if (v.cut)
        bytes.resize(layout.dataStart + (layout.dataEnd - layout.dataStart) / 2 + 3);
      testing::TempFile sav(bytes);
      std::shared_ptr<SystemFile> file;
      ASSERT_EQ(SystemFile::open(sav.path(), file), SPSS_OK);
      std::ostringstream csv;
      ExportFile csvOut;
      csvOut.OpenStream(csv);
      const ExportResult fromCsv = ExportData(*file, {}, DataMode::Raw, csvOut, {});
      ASSERT_TRUE(csvOut.Commit());
      ASSERT_FALSE(fromCsv.warning.empty());
      ASSERT_GT(fromCsv.rows, 0);
      ASSERT_LE(fromCsv.rows, 205);

      std::ostringstream dta;
      ExportFile out;
      out.OpenStream(dta);
      const ExportResult r = ExportDataDta(*file, {}, out, {});
      ASSERT_TRUE(out.Commit());
      EXPECT_EQ(r.status, ExportStatus::Done) << r.message;
      EXPECT_EQ(r.rows, fromCsv.rows);
      EXPECT_EQ(r.warning, fromCsv.warning);
      // The count in the header (118: <N> holds 8 bytes) is the cases written.
      const std::size_t at = dta.str().find("<N>");
      ASSERT_NE(at, std::string::npos);
      std::int64_t n = 0;
      std::memcpy(&n, dta.str().data() + at + 3, 8);
      EXPECT_EQ(n, r.rows);
      if (dir) {
        std::ofstream(std::string(dir) + "/short_" + name + ".dta", std::ios::binary) << dta.str();
        std::ofstream(std::string(dir) + "/short_" + name + ".csv", std::ios::binary) << csv.str();
      }

      const ExportResult cancelled =
          ExportDataDta(*file, {}, out, [](std::int64_t, std::int64_t) { return false; });
      EXPECT_EQ(cancelled.status, ExportStatus::Cancelled);
    }
}

}  // namespace
}  // namespace brindle
