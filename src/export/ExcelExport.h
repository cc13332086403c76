// Data export as an Excel workbook (.xlsx), written with libxlsxwriter in
// its constant-memory mode (rows go to disk as they are written):
// - "Data": a header row of the variable names, frozen, then one row per
//   case: numbers as numbers, system-missing as an empty cell, strings
//   without trailing blanks, variables with a date format as Excel dates
//   (yyyy-mm-dd), DATETIME as date-times (yyyy-mm-dd hh:mm:ss), TIME as
//   times ([h]:mm:ss); dates before 1900-03-01, which Excel cannot show, as
//   their ISO text. With DataMode::Labels a value with a value label is its
//   label. A sheet holds 1,048,575 cases; the cases after that go on on
//   "Data 2", "Data 3", ... each with the header row again, and the export
//   says so in its warning.
// - "Variables": the rows of the variable properties export.
// - "Value labels": the rows of the value labels export.
#pragma once

#include <string>
#include <vector>

#include "export/CsvExport.h"
#include "export/ExportFile.h"
#include "variables/VarRecord.h"

namespace brindle {

class SystemFile;

// Whether this build can write workbooks (libxlsxwriter was found).
bool ExcelAvailable();

// Cases on one data sheet: Excel's 1,048,576 rows less the header.
inline constexpr std::int64_t kExcelSheetCases = 1048575;

// The data of the variables `vars` (all of them when empty) of the open
// file, and its dictionary's sheets (records: the dictionary in file order).
// sheetCases, when not 0, replaces kExcelSheetCases (for tests).
ExportResult ExportDataXlsx(SystemFile& file, const std::vector<int>& vars, DataMode mode,
                            const std::vector<VarRecord>& records, ExportFile& out,
                            const ExportProgress& progress, std::int64_t sheetCases = 0);

}  // namespace brindle
