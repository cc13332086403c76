// Rendering of numeric values by their SPSS print format, and the table of
// format type names. The number texts it builds on are in NumberText.h.
//
// All functions are pure: no locale object, no global state, safe to call
// from any thread.
#pragma once

#include <string>

#include "format/NumberText.h"

namespace brindle {

// A variable's print format: type code as the file stores it, field width,
// decimals.
struct PrintFormat {
  int Fmt = 5;
  int Wid = 8;
  int Dec = 2;
};

// Format type codes the renderer branches on.
enum FormatCode : int {
  kFmtDollar = 4,
  kFmtF = 5,
  kFmtDate = 20,
  kFmtTime = 21,
  kFmtDateTime = 22,
  kFmtADate = 23,
  kFmtJDate = 24,
  kFmtDTime = 25,
  kFmtMoYr = 28,
  kFmtQYr = 29,
  kFmtWkYr = 30,
  kFmtPct = 31,
  kFmtEDate = 38,
  kFmtSDate = 39,
};

// The name of a format type code ("F", "DATETIME", ...); empty for a code
// that has no name (13, 14, 18, 19, anything outside 1..39).
std::string FormatTypeName(int code);

// The print-format text of a variable: name, width, and "." plus decimals
// when Dec > 0 ("F8.2", "A20", "DATETIME20"), cut to 12 characters.
std::string PrintFormatText(const PrintFormat& f);

// Whether the format code is one of the date formats (a day, month, quarter
// or week of a year; not TIME, DTIME or DATETIME).
bool IsDateFormat(int fmt);

// A value rendered by print format f. usePrintFormat is the "Fixed decimal
// format" option. Never empty; "ERROR" when the value cannot be split into a
// date or time, "ERROR!" when JDATE or WKYR cannot rebuild the calendar date.
// The caller handles the system-missing value before calling.
std::string FormatValue(double value, const PrintFormat& f, bool usePrintFormat,
                        const NumberSeparators& seps);

// A derived statistic (mean, standard deviation, variance) of a variable with
// print format f, written into target: F with the option on gets two more
// decimals than the variable's own; F with the option off and every other
// type with the option off get the general number text; other types with the
// option on are rendered as FormatValue renders them.
void FormatStatistic(double value, const PrintFormat& f, bool usePrintFormat,
                     const NumberSeparators& seps, std::string& target);

}  // namespace brindle
