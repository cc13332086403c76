// CSV exports of an open data file: its data, its variables' properties and
// its value labels. UTF-8, comma separated, fields quoted when they hold a
// comma, a double quote (doubled inside) or a line break, each row ended by
// a line feed, a header row first.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "export/ExportFile.h"
#include "format/FormatValue.h"
#include "spssio/MissingValues.h"
#include "variables/VarRecord.h"

namespace brindle {

class ColumnPass;
class SystemFile;

// What a data export writes for a value.
enum class DataMode {
  Raw,        // numbers as the shortest text that reads back to the same double
  Formatted,  // numbers by their print format, dates as ISO 8601
  Labels,     // the value label where there is one, else the formatted value
};

enum class ExportStatus { Done, Cancelled, Failed };

struct ExportResult {
  ExportStatus status = ExportStatus::Done;
  std::int64_t rows = 0;  // data rows written (header not counted)
  std::string message;    // why it failed; empty otherwise
  // Why a Done data export holds fewer cases than the file promised (the data
  // ends early or is damaged; the rows are every case before that); empty
  // when it holds them all.
  std::string warning;
  // Something worth saying about a whole export (the workbook's data went
  // on over several sheets); empty otherwise.
  std::string note;
};

// Called between batches of cases with the cases written so far and the
// file's case count (-1 when unknown); returning false cancels the export.
using ExportProgress = std::function<bool(std::int64_t done, std::int64_t total)>;

// One column of a data export.
struct ExportColumn {
  std::string name;
  int width = 0;  // 0 numeric, else the string width
  PrintFormat format;
  std::unordered_map<double, std::string> numberLabels;
  std::unordered_map<std::string, std::string> textLabels;  // keys without trailing blanks
  MissingValues missing;  // the variable's user-missing values
};

// Appends text to out as one CSV field, quoted when it must be.
void AppendCsvField(std::string& out, std::string_view text);
// The shortest decimal text that reads back to x ("0.1", "1e+20", "-0");
// empty for the system-missing value.
void AppendNumberField(std::string& out, double x, double sysmis);
// x in print format f for the formatted mode: date formats as YYYY-MM-DD,
// DATETIME as YYYY-MM-DD HH:MM:SS (with the format's decimals of seconds),
// everything else as the viewer renders it with "." as the decimal
// separator, without padding. A value that is no date falls back to its
// number text.
std::string FormattedNumber(double x, const PrintFormat& f);
// s without trailing blanks.
std::string_view TrimTrailingBlanks(std::string_view s);

// Writes the header row and one row per case of `cases` (a pass whose
// columns are the export's) to out. The cases are rendered on `threads`
// threads (as many as the task pool has when 0) and written in case order,
// as one pass writes them; progress is called on the calling thread only.
// Data that ends before totalCases (when not -1) or is damaged ends the rows
// there: the export is Done with the warning.
ExportResult WriteDataCsv(ColumnPass& cases, const std::vector<ExportColumn>& columns,
                          DataMode mode, double sysmis, std::int64_t totalCases, ExportFile& out,
                          const ExportProgress& progress, unsigned threads = 0);

// Why an export holds only `rows` cases: the data ended before the file's
// count (total, -1 when unknown) or could not be read on (why, may be empty).
std::string ShortDataWarning(std::int64_t rows, std::int64_t total, const std::string& why);

// The columns for the variables `vars` (0-based dictionary positions, taken
// in dictionary order, each once) of the open file; value labels
// are read only when withLabels.
std::vector<ExportColumn> DataColumns(const SystemFile& file, std::vector<int> vars,
                                      bool withLabels);

// The data of the variables `vars` (all of them when empty) of the open file.
ExportResult ExportData(SystemFile& file, const std::vector<int>& vars, DataMode mode,
                        ExportFile& out, const ExportProgress& progress);

// One row per variable: name, label, type, width, format, missing values
// (as the variables grid shows them, with "." as the decimal separator),
// value-label count. records are the dictionary's variables in file order.
ExportResult ExportVariables(const SystemFile& file, const std::vector<VarRecord>& records,
                             ExportFile& out);

// The rows of ExportVariables and ExportValueLabels as texts, the header
// row first (also for the workbook export's sheets).
std::vector<std::vector<std::string>> VariableRows(const SystemFile& file,
                                                   const std::vector<VarRecord>& records);
std::vector<std::vector<std::string>> ValueLabelRows(const SystemFile& file,
                                                     const std::vector<VarRecord>& records);

// One row per value label: variable, value (raw number text, or the string
// without trailing blanks), label.
ExportResult ExportValueLabels(const SystemFile& file, const std::vector<VarRecord>& records,
                               ExportFile& out);

// Runs write into a temporary file beside target and renames it to target
// when write is Done; on cancel or failure nothing is left behind. A link,
// device or FIFO as target: see ExportFile::Open. A failed
// open or commit gives Failed with the file's message. A target that is the
// data file `source` itself is refused before anything is written.
ExportResult ExportToFile(const std::string& target,
                          const std::function<ExportResult(ExportFile&)>& write,
                          const std::string& source = {});

}  // namespace brindle
