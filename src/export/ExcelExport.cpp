#include "export/ExcelExport.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "export/CaseFeed.h"
#include "format/FormatValue.h"
#include "spssio/Spssio.h"
#include "spssio/SystemFile.h"

#ifdef BRINDLE_HAVE_XLSXWRITER
#include <unistd.h>
#include <xlsxwriter.h>
#endif

namespace brindle {
namespace {

ExportResult Failed(std::string message) {
  ExportResult r;
  r.status = ExportStatus::Failed;
  r.message = std::move(message);
  return r;
}

}  // namespace

#ifndef BRINDLE_HAVE_XLSXWRITER

bool ExcelAvailable() { return false; }

ExportResult ExportDataXlsx(SystemFile&, const std::vector<int>&, DataMode,
                            const std::vector<VarRecord>&, ExportFile&, const ExportProgress&,
                            std::int64_t) {
  return Failed("This build of Brindle cannot write Excel workbooks");
}

#else

namespace {

// Seconds from the start of the SPSS calendar (1582-10-14) to Excel's day 0
// (1899-12-30, in the 1900 date system).
constexpr double kExcelEpoch = 10010217600.0;
// Excel's day 61 is 1900-03-01: before it Excel counts a 29 February 1900
// that never was.
constexpr double kFirstTrueDay = 61;
constexpr std::int64_t kBatchCases = 4096;
constexpr int kMaxColumns = 16384;

enum class Kind { Number, Date, DateTime, Time };

// The workbook, written by libxlsxwriter into a temporary file of its own
// (it writes only by name) and copied into the export's output when closed.
class Workbook {
 public:
  ~Workbook() {
    if (m_book) workbook_close(m_book);  // frees it; the file is removed below
    if (!m_path.empty()) std::remove(m_path.c_str());
  }

  bool Open(std::string& error) {
    std::string pattern = (std::filesystem::temp_directory_path() / "brindle-xlsx-XXXXXX").string();
    const int fd = mkstemp(pattern.data());
    if (fd < 0) {
      error = "Cannot make a temporary file for the workbook";
      return false;
    }
    close(fd);
    m_path = pattern;
    lxw_workbook_options options = {};
    options.constant_memory = LXW_TRUE;
    m_book = workbook_new_opt(m_path.c_str(), &options);
    if (!m_book) error = "Cannot start the workbook";
    return m_book != nullptr;
  }

  lxw_workbook* book() { return m_book; }

  // Writes the workbook and copies it into out.
  bool Close(ExportFile& out, std::string& error) {
    const lxw_error rc = workbook_close(m_book);
    m_book = nullptr;
    if (rc != LXW_NO_ERROR) {
      error = std::string("Cannot write the workbook: ") + lxw_strerror(rc);
      return false;
    }
    std::FILE* in = std::fopen(m_path.c_str(), "rb");
    if (!in) {
      error = "Cannot read the workbook back";
      return false;
    }
    std::string chunk(std::size_t(1) << 20, '\0');
    for (;;) {
      const std::size_t n = std::fread(chunk.data(), 1, chunk.size(), in);
      if (n) out.Write(std::string_view(chunk.data(), n));
      if (n < chunk.size()) break;
    }
    const bool readOk = !std::ferror(in);
    std::fclose(in);
    if (!readOk) error = "Cannot read the workbook back";
    return readOk;
  }

 private:
  lxw_workbook* m_book = nullptr;
  std::string m_path;
};

// A sheet of texts (the dictionary's sheets), the first row bold and frozen.
void WriteTextSheet(lxw_workbook* book, const char* name,
                    const std::vector<std::vector<std::string>>& rows, lxw_format* bold) {
  lxw_worksheet* sheet = workbook_add_worksheet(book, name);
  for (std::size_t r = 0; r < rows.size(); ++r)
    for (std::size_t c = 0; c < rows[r].size(); ++c)
      if (!rows[r][c].empty())
        worksheet_write_string(sheet, lxw_row_t(r), lxw_col_t(c), rows[r][c].c_str(),
                               r == 0 ? bold : nullptr);
  worksheet_freeze_panes(sheet, 1, 0);
}

}  // namespace

bool ExcelAvailable() { return true; }

ExportResult ExportDataXlsx(SystemFile& file, const std::vector<int>& vars, DataMode mode,
                            const std::vector<VarRecord>& records, ExportFile& out,
                            const ExportProgress& progress, std::int64_t sheetCases) {
  if (sheetCases <= 0) sheetCases = kExcelSheetCases;
  std::vector<int> positions;
  for (int v = 0; v < int(file.variableCount()); ++v)
    if (vars.empty() || std::find(vars.begin(), vars.end(), v) != vars.end())
      positions.push_back(v);
  if (positions.size() > std::size_t(kMaxColumns))
    return Failed("An Excel sheet holds at most 16384 columns; the file has " +
                  std::to_string(positions.size()) + " variables");
  const bool labels = mode == DataMode::Labels;
  const std::vector<ExportColumn> columns = DataColumns(file, positions, labels);
  const std::int64_t total = file.caseCount();
  if (progress && !progress(0, total)) {
    ExportResult cancelled;
    cancelled.status = ExportStatus::Cancelled;
    return cancelled;
  }

  Workbook workbook;
  std::string error;
  if (!workbook.Open(error)) return Failed(error);
  lxw_workbook* book = workbook.book();
  lxw_format* bold = workbook_add_format(book);
  format_set_bold(bold);
  lxw_format* dateFormat = workbook_add_format(book);
  format_set_num_format(dateFormat, "yyyy-mm-dd");
  lxw_format* dateTimeFormat = workbook_add_format(book);
  format_set_num_format(dateTimeFormat, "yyyy-mm-dd hh:mm:ss");
  lxw_format* timeFormat = workbook_add_format(book);
  format_set_num_format(timeFormat, "[h]:mm:ss");

  std::vector<Kind> kinds;
  for (const ExportColumn& col : columns) {
    const int fmt = col.format.Fmt;
    kinds.push_back(col.width > 0         ? Kind::Number
                    : IsDateFormat(fmt)   ? Kind::Date
                    : fmt == kFmtDateTime ? Kind::DateTime
                    : fmt == kFmtTime     ? Kind::Time
                                          : Kind::Number);
  }

  int sheets = 0;
  lxw_worksheet* sheet = nullptr;
  auto newSheet = [&] {
    ++sheets;
    const std::string name = sheets == 1 ? "Data" : "Data " + std::to_string(sheets);
    sheet = workbook_add_worksheet(book, name.c_str());
    for (std::size_t c = 0; c < columns.size(); ++c)
      worksheet_write_string(sheet, 0, lxw_col_t(c), columns[c].name.c_str(), bold);
    worksheet_freeze_panes(sheet, 1, 0);
  };
  newSheet();

  double sysmis = 0;
  spssHostSysmisVal(&sysmis);
  ColumnPass pass(file, positions);
  ExportResult result;
  std::int64_t onSheet = 0;
  std::string text;
  bool cancelled = false;
  const PassEnd end = FeedFromPass(pass, [&](CaseValues& rows) {
    if (onSheet == sheetCases) newSheet(), onSheet = 0;
    const lxw_row_t r = lxw_row_t(onSheet + 1);
    for (std::size_t c = 0; c < columns.size(); ++c) {
      const ExportColumn& col = columns[c];
      const lxw_col_t cc = lxw_col_t(c);
      if (col.width > 0) {
        text = TrimTrailingBlanks(rows.Text(c));
        if (labels) {
          const auto it = col.textLabels.find(text);
          if (it != col.textLabels.end()) text = it->second;
        }
        if (!text.empty()) worksheet_write_string(sheet, r, cc, text.c_str(), nullptr);
        continue;
      }
      const double x = rows.Number(c);
      if (x == sysmis || std::isnan(x)) continue;
      if (labels) {
        const auto it = col.numberLabels.find(x);
        if (it != col.numberLabels.end()) {
          worksheet_write_string(sheet, r, cc, it->second.c_str(), nullptr);
          continue;
        }
      }
      switch (kinds[c]) {
        case Kind::Number:
          worksheet_write_number(sheet, r, cc, x, nullptr);
          break;
        case Kind::Time:
          worksheet_write_number(sheet, r, cc, x / 86400.0, timeFormat);
          break;
        case Kind::Date:
        case Kind::DateTime: {
          const double day = (x - kExcelEpoch) / 86400.0;
          if (day >= kFirstTrueDay && day < 2958466)  // up to 9999-12-31
            worksheet_write_number(sheet, r, cc, kinds[c] == Kind::Date ? std::floor(day) : day,
                                   kinds[c] == Kind::Date ? dateFormat : dateTimeFormat);
          else
            worksheet_write_string(sheet, r, cc, FormattedNumber(x, col.format).c_str(), nullptr);
          break;
        }
      }
    }
    ++onSheet;
    ++result.rows;
    if (progress && result.rows % kBatchCases == 0 && !progress(result.rows, total))
      return !(cancelled = true);
    return true;
  });
  if (cancelled) {
    result.status = ExportStatus::Cancelled;
    return result;
  }
  if (!end.sound() && !end.stopped)
    result.warning = ShortDataWarning(result.rows, total, end.message());
  if (result.warning.empty() && result.rows < total)
    result.warning = ShortDataWarning(result.rows, total, {});
  WriteTextSheet(book, "Variables", VariableRows(file, records), bold);
  WriteTextSheet(book, "Value labels", ValueLabelRows(file, records), bold);
  if (!workbook.Close(out, error)) return Failed(error);
  if (progress) progress(result.rows, total);
  if (!out.Ok()) return Failed(out.Error());
  if (sheets > 1) {
    result.note = "The " + std::to_string(result.rows) + " cases fill " + std::to_string(sheets) +
                  " data sheets (Data, Data 2, ...): a sheet holds " + std::to_string(sheetCases) +
                  " cases.";
  }
  return result;
}

#endif

}  // namespace brindle
