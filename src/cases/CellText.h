// The text of one value as the data page shows it: numbers by their print
// format, "." for the system-missing value, strings without trailing blanks,
// and with labels on the value's label where it has one. Also whether a
// value is one of its variable's user-missing values, which the page draws
// in another colour. The command line's `cases` writes the same texts.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>

#include "format/FormatValue.h"
#include "variables/VarRecord.h"

namespace brindle {

class SystemFile;

// What a cell shows: the value (formatted), or its label where it has one;
// Raw, for scripts, numbers as the shortest text that reads back to the same
// double (empty for the system-missing value).
enum class CellMode { Values, Labels, Raw };

struct CellOptions {
  bool fixedFormat = true;  // the "Fixed decimal format" option
  NumberSeparators seps;
  CellMode mode = CellMode::Values;
};

// One variable's rendering. Made on any thread from the open file's
// dictionary; afterwards it reads nothing but itself, so copies may render on
// several threads at once.
class CellFormat {
 public:
  CellFormat(const SystemFile& file, std::size_t var, const CellOptions& options);

  bool isString() const { return m_width != 0; }
  // The value as shown, appended to out.
  void appendNumber(double x, std::string& out) const;
  void appendText(std::string_view s, std::string& out) const;
  // The formatted value without its label (what Values mode shows).
  void appendNumberValue(double x, std::string& out) const;
  // The value's label, or null.
  const std::string* numberLabel(double x) const;
  const std::string* textLabel(std::string_view s) const;

  bool isUserMissing(double x) const;
  bool isUserMissing(std::string_view s) const;

  // The column's width in characters before the user changes it: the print
  // format's width (a string's own width up to 40), at least the name's.
  int widthInCharacters() const { return m_chars; }

 private:
  CellOptions m_options;
  int m_width = 0;
  PrintFormat m_format;
  VarRecord m_missing;  // the missing-value fields of the variable
  std::string m_missingTexts[3];
  int m_missingTextCount = 0;
  int m_chars = 8;
  std::unordered_map<double, std::string> m_numberLabels;
  std::unordered_map<std::string, std::string> m_textLabels;  // keys without trailing blanks
};

// s without trailing blanks.
std::string_view WithoutTrailingBlanks(std::string_view s);

}  // namespace brindle
