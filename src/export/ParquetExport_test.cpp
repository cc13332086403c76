#include "export/ParquetExport.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "export/ParquetThrift.h"
#include "spssio/Spssio.h"
#include "spssio/SpssioCodes.h"

namespace brindle {
namespace {

constexpr double kSysmis = -DBL_MAX;
// 2018-05-06 10:10:10 in seconds since 1582-10-14.
constexpr double kWhen = 13744980610.0;

// Cases held in memory: numbers and texts by column; a damage code after
// failAfter cases when that is not -1.
class VectorRows : public CaseValues {
 public:
  std::vector<std::vector<double>> numbers;
  std::vector<std::vector<std::string>> texts;
  int failAfter = -1;
  std::size_t at = 0;

  double Number(std::size_t c) const override { return numbers[at][c]; }
  std::string_view Text(std::size_t c) override { return texts[at][c]; }
  PassEnd Feed(const CaseTaker& take) {
    PassEnd end;
    end.code = SPSS_FILE_END;
    for (at = 0; at < numbers.size(); ++at, ++end.cases) {
      if (failAfter >= 0 && int(at) >= failAfter) {
        end.code = SPSS_FILE_RERROR;
        end.detail = "the block is damaged";
        break;
      }
      if (!take(*this)) {
        end.stopped = true;
        break;
      }
    }
    return end;
  }
};

ExportColumn Column(std::string name, int width, int fmt) {
  ExportColumn c;
  c.name = std::move(name);
  c.width = width;
  c.format = PrintFormat{fmt, 20, 0};
  return c;
}

// Every kind of column, with nulls, values out of their type's range, -0,
// UTF-8 and blank padding.
VectorRows MixedRows(std::vector<ExportColumn>& columns) {
  columns = {Column("num", 0, kFmtF), Column("day", 0, kFmtDate), Column("at", 0, kFmtDateTime),
             Column("clock", 0, kFmtTime), Column("text", 12, 1)};
  VectorRows rows;
  const double nums[] = {1.5, kSysmis, -0.0, 1e300, -7, 0.1, 3, 0, kSysmis, 2.5, 42, -1e-300};
  const double days[] = {kWhen, kSysmis, 0, 86400 * 3.5, 1e30, kWhen, 1, 2, 3, 4, 5, kSysmis};
  const double times[] = {36610, -5, 86399, 86400, kSysmis, 0, 1.5, 2, 3, 4, 5, 6};
  const char* texts[] = {
      "a  ", "", "\xc3\xa9t\xc3\xa9", "z", "Zürich  ", " x", "b", "b", "b", "c\"", "d,e", "end"};
  for (int i = 0; i < 12; ++i) {
    rows.numbers.push_back({nums[i], days[i], days[i], times[i], 0});
    rows.texts.push_back({"", "", "", "", texts[i]});
  }
  return rows;
}

std::string Write(VectorRows& rows, const std::vector<ExportColumn>& columns,
                  const ParquetOptions& options, ExportResult& result,
                  const ExportProgress& progress = {}) {
  std::ostringstream bytes;
  ExportFile out;
  out.OpenStream(bytes);
  result = WriteDataParquet([&](const CaseTaker& take) { return rows.Feed(take); }, columns,
                            DataMode::Raw, kSysmis, -1, "{\"x\":1}", out, progress, options);
  EXPECT_TRUE(out.Commit());
  return bytes.str();
}

// The frame every Parquet file has: the magic at both ends and a footer
// whose length fits between them.
void ExpectFrame(const std::string& file) {
  ASSERT_GE(file.size(), 12u);
  EXPECT_EQ(file.substr(0, 4), "PAR1");
  EXPECT_EQ(file.substr(file.size() - 4), "PAR1");
  std::uint32_t footer = 0;
  std::memcpy(&footer, file.data() + file.size() - 8, 4);
  EXPECT_LT(footer, file.size() - 12);
}

// The file as NAME.parquet in dir, with the CSV export of the same rows as
// NAME.csv, for the check with an independent reader.
void WriteForCheck(const std::string& dir, const std::string& name, const std::string& file,
                   VectorRows rows, const std::vector<ExportColumn>& columns) {
  const std::string base = dir + "/" + name;
  std::ofstream(base + ".parquet", std::ios::binary) << file;
  std::ostringstream csv;
  for (const ExportColumn& col : columns) {
    if (&col != &columns.front()) csv << ',';
    csv << col.name;
  }
  csv << '\n';
  rows.Feed([&](CaseValues& row) {
    std::string line;
    for (std::size_t c = 0; c < columns.size(); ++c) {
      if (c) line += ',';
      if (columns[c].width > 0)
        AppendCsvField(line, TrimTrailingBlanks(row.Text(c)));
      else
        AppendNumberField(line, row.Number(c), kSysmis);
    }
    csv << line << '\n';
    return true;
  });
  std::ofstream(base + ".csv", std::ios::binary) << csv.str();
}

TEST(ParquetThrift, FieldsAndListsAsTheCompactProtocolEncodesThem) {
  struct Case {
    const char* what;
    std::function<void(thrift::CompactWriter&)> write;
    std::string bytes;
  };
  const Case cases[] = {
      {"small field, zigzag", [](auto& w) { w.FieldI32(1, -1); }, "\x15\x01"},
      {"i64 two-byte varint", [](auto& w) { w.FieldI64(2, 100); }, std::string("\x26\xc8\x01")},
      {"id jump over 15", [](auto& w) { w.FieldI32(17, 1); }, "\x05\x22\x02"},
      {"booleans in the type", [](auto& w) { w.FieldBool(1, true), w.FieldBool(2, false); },
       "\x11\x12"},
      {"binary", [](auto& w) { w.FieldBinary(4, "ab"); },
       "\x48\x02"
       "ab"},
      {"short list", [](auto& w) { w.FieldList(2, thrift::kI32, 2), w.I32(0), w.I32(3); },
       std::string("\x29\x25\x00\x06", 4)},
      {"long list", [](auto& w) { w.FieldList(1, thrift::kI32, 20); }, "\x19\xf5\x14"},
      {"nested struct restarts the ids",
       [](auto& w) {
         w.FieldStruct(3), w.BeginStruct(), w.FieldI32(1, 0), w.EndStruct(), w.FieldI32(4, 0);
       },
       std::string("\x3c\x15\x00\x00\x15\x00", 6)},
  };
  for (const Case& c : cases) {
    thrift::CompactWriter w;
    c.write(w);
    EXPECT_EQ(w.bytes(), std::string(c.bytes.data(), c.bytes.size())) << c.what;
  }
}

// Writes the mixed rows in many row groups and pages (and, when
// BRINDLE_PARQUET_OUT names a folder, the file and the CSV export of the same
// rows there, for the check with an independent reader).
TEST(ParquetExport, RowGroupsPagesAndRangeWarnings) {
  const struct {
    std::int64_t groupRows, pageRows;
    ParquetCodec codec;
    const char* name;
  } shapes[] = {{0, 65536, DefaultParquetCodec(), "one_group"},
                {5, 2, DefaultParquetCodec(), "groups_of_5"},
                {1, 1, ParquetCodec::None, "row_by_row"}};
  const char* outDir = std::getenv("BRINDLE_PARQUET_OUT");
  for (const auto& shape : shapes) {
    std::vector<ExportColumn> columns;
    VectorRows rows = MixedRows(columns);
    ParquetOptions options;
    options.rowGroupRows = shape.groupRows;
    options.pageRows = shape.pageRows;
    options.codec = shape.codec;
    ExportResult result;
    const std::string file = Write(rows, columns, options, result);
    EXPECT_EQ(result.status, ExportStatus::Done) << shape.name;
    EXPECT_EQ(result.rows, 12) << shape.name;
    // 1e30 as a date and as a date-time, -5 s and 24 h as times of day.
    // Values the types cannot hold are a note: the file holds every case.
    EXPECT_EQ(result.warning, "") << shape.name;
    EXPECT_EQ(result.note,
              "4 values outside the range of their Parquet date or time type written as null "
              "(day, at, clock).")
        << shape.name;
    ExpectFrame(file);
    if (!outDir) continue;
    std::vector<ExportColumn> same;
    WriteForCheck(outDir, shape.name, file, MixedRows(same), columns);
  }
}

// Strings repeated in runs and at random (dictionary pages with RLE runs
// and bit-packed indices), strings all different (PLAIN: no dictionary is
// smaller), strings that repeat on a chunk's first page and then pass the
// dictionary's limit (RLE_DICTIONARY pages, then PLAIN ones in one chunk), and
// numbers of 1,500 values (indices of 11 bits), over several row groups and
// pages; snappy when the build has it.
TEST(ParquetExport, DictionaryPagesAndTheirFallback) {
  std::vector<ExportColumn> columns = {Column("city", 8, 1), Column("id", 12, 1),
                                       Column("long", 2600, 1), Column("n", 0, kFmtF),
                                       Column("many", 0, kFmtF)};
  VectorRows rows;
  const char* cities[] = {"Bern", "Z\xc3\xbcrich", "Genf", "", "Chur", "Sion"};
  std::uint32_t seed = 7;
  for (int i = 0; i < 5000; ++i) {
    seed = seed * 1103515245u + 12345u;
    // Runs of 40 equal values, then stretches that change at every case.
    const int city = (i / 400) % 2 ? (i / 40) % 6 : int(seed >> 16) % 6;
    rows.numbers.push_back(
        {0, 0, 0, (i % 17) ? double(i % 5) : kSysmis, double((seed >> 8) % 1500) * 0.5});
    rows.texts.push_back({cities[city], "id" + std::to_string(i),
                          i < 2500 ? std::string(2590, char('a' + i % 3))
                                   : std::string(2590, char('a' + i % 26)) + std::to_string(i),
                          "", ""});
  }
  ParquetOptions options;
  options.rowGroupRows = 3000;
  options.pageRows = 2500;
  options.codec = ParquetHasSnappy() ? ParquetCodec::Snappy : ParquetCodec::None;
  ExportResult result;
  const std::string file = Write(rows, columns, options, result);
  EXPECT_EQ(result.status, ExportStatus::Done);
  EXPECT_EQ(result.rows, 5000);
  ExpectFrame(file);
  // The reader checks which chunks have a dictionary.
  if (const char* outDir = std::getenv("BRINDLE_PARQUET_OUT"))
    WriteForCheck(outDir, "dictionary", file, rows, columns);
}

TEST(ParquetExport, ACodecTheBuildLacksFailsTheExport) {
  std::vector<ExportColumn> columns;
  VectorRows rows = MixedRows(columns);
  ParquetOptions options;
  options.codec = ParquetCodec::Snappy;
  ExportResult result;
  Write(rows, columns, options, result);
  if (ParquetHasSnappy()) {
    EXPECT_EQ(result.status, ExportStatus::Done);
  } else {
    EXPECT_EQ(result.status, ExportStatus::Failed);
    EXPECT_NE(result.message.find("snappy"), std::string::npos);
  }
}

TEST(ParquetExport, DamagedDataEndsTheRowsWithAWholeFile) {
  std::vector<ExportColumn> columns;
  VectorRows rows = MixedRows(columns);
  rows.failAfter = 7;
  ParquetOptions options;
  options.rowGroupRows = 3;
  ExportResult result;
  const std::string file = Write(rows, columns, options, result);
  EXPECT_EQ(result.status, ExportStatus::Done);
  EXPECT_EQ(result.rows, 7);
  EXPECT_EQ(result.warning,
            ShortDataWarning(7, -1, CodeText(SPSS_FILE_RERROR, "the block is damaged")));
  EXPECT_EQ(result.note,
            "4 values outside the range of their Parquet date or time type written as null "
            "(day, at, clock).");
  ExpectFrame(file);
}

TEST(ParquetExport, CancelStopsAtABatch) {
  std::vector<ExportColumn> columns;
  VectorRows rows = MixedRows(columns);
  ExportResult result;
  Write(rows, columns, {}, result, [](std::int64_t, std::int64_t) { return false; });
  EXPECT_EQ(result.status, ExportStatus::Cancelled);
}

}  // namespace
}  // namespace brindle
