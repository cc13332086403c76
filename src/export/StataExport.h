// Data export as a Stata .dta file, format 118 (Stata 14 and later: UTF-8,
// long strings), written with ReadStat's writer (libreadstat):
// - names made valid for Stata (ASCII letters, digits and _, at most 32
//   characters, not starting with a digit, no reserved word, each once);
//   the export's note lists the renames;
// - variable labels (cut to Stata's 80 bytes); value labels of numeric
//   variables whose values are whole numbers (others, and those of string
//   variables, which Stata cannot have, are dropped and the note says so);
// - system-missing as Stata's missing value "."; user-missing values as the
//   extended missing values .a, .b, .c (the discrete codes in order, a range
//   as one code), their labels kept;
// - display formats: F w.d as %w.df, other numbers %9.0g, date formats as
//   %td dates, DATETIME as %tc date-times, TIME as %tcHH:MM:SS; strings of
//   up to 2,045 bytes as str#, longer ones as strL.
// The case count goes into the header first, so data that ends before the
// file's count fails the export (nothing is left behind).
#pragma once

#include <vector>

#include "export/CsvExport.h"
#include "export/ExportFile.h"

namespace brindle {

class SystemFile;

// Whether this build can write .dta files (libreadstat was found).
bool StataAvailable();

// The data of the variables `vars` (all of them when empty) of the open file.
ExportResult ExportDataDta(SystemFile& file, const std::vector<int>& vars, ExportFile& out,
                           const ExportProgress& progress);

// The name for Stata made of name (see above), not one of taken (the names
// given so far), which it joins.
std::string StataName(const std::string& name, std::vector<std::string>& taken);

}  // namespace brindle
