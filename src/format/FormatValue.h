// Rendering of numeric values by their SPSS print format, and the number texts
// the rest of the program shares (general number text, fixed and grouped
// forms), with the user's decimal and thousands separators passed in.
//
// All functions are pure: no locale object, no global state, safe to call
// from any thread. Rounding is done on the shortest decimal text that reads
// back as the same double, half away from zero, so 2.675 with two decimals is
// 2.68 (as the user reads the value), not 2.67 (as its binary value would give).
#pragma once

#include <string>

namespace brindle {

// The regional separators. Either may be several bytes of UTF-8 (for example
// a no-break space as thousands separator) or empty.
struct NumberSeparators {
  std::string decimal = ".";
  std::string thousands = ",";
};

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

// The general number text: at most 15 significant digits, rounded half away
// from zero, trailing zeros dropped; "0" for zero (also negative zero); plain
// notation for 0.0001 <= |x| < 1E15 (judged after rounding), else one digit,
// the decimal separator and the remaining digits if any, "E" and the exponent
// ("1E20", "1.5E-7"). Non-finite values give "INF", "-INF" and "NAN".
// No thousands separator is ever written.
std::string GeneralNumberText(double x, const NumberSeparators& seps);

// The fixed form: x rounded half away from zero to `decimals` decimals
// (clamped to 0..18), always that many decimals, no grouping, right-aligned
// with blanks to `width` characters (counted as characters, not bytes; the
// padding is capped at 256), never cut. A value that rounds to zero carries no
// minus sign. Non-finite values are written as the general number text.
std::string FixedText(double x, int width, int decimals,
                      const NumberSeparators& seps);

// The grouped form: as FixedText without padding, with the thousands
// separator between groups of three integer digits. A value whose rounded
// integer part has more than 15 digits, and a non-finite value, give the
// general number text instead.
std::string GroupedText(double x, int decimals, const NumberSeparators& seps);

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
