#include "datafile/MissingValueText.h"
#include "spssio/AsciiText.h"

namespace brindle {

namespace {

std::string RangeEnd(double x, double lowest, double highest, const NumberSeparators& seps) {
  if (x == lowest) return "lowest";
  if (x == highest) return "highest";
  return GeneralNumberText(x, seps);
}

std::string Quoted(std::string_view value) {
  const std::size_t n = TrimTrailingControls(value).size();
  std::string out = "'";
  for (std::size_t i = 0; i < n; ++i) {
    if (value[i] == '\'') out += '\'';
    out += value[i];
  }
  out += '\'';
  return out;
}

}  // namespace

std::string NumericMissingText(int missingFormat, double miss1, double miss2, double miss3,
                               double lowest, double highest, const NumberSeparators& seps) {
  const auto n = [&seps](double x) { return GeneralNumberText(x, seps); };
  switch (missingFormat) {
    case 0:
      return {};
    case 1:
      return n(miss1);
    case 2:
      return n(miss1) + " " + n(miss2);
    case 3:
      return n(miss1) + " " + n(miss2) + " " + n(miss3);
    case -2:
      return RangeEnd(miss1, lowest, highest, seps) + " thru " +
             RangeEnd(miss2, lowest, highest, seps);
    case -3:
      return RangeEnd(miss1, lowest, highest, seps) + " thru " +
             RangeEnd(miss2, lowest, highest, seps) + " " + n(miss3);
    default:
      return "Invalid format code";
  }
}

std::string StringMissingText(int missingFormat, std::string_view v1, std::string_view v2,
                              std::string_view v3) {
  if (missingFormat < 1 || missingFormat > 3) return {};
  std::string out = Quoted(v1);
  if (missingFormat >= 2) out += " " + Quoted(v2);
  if (missingFormat >= 3) out += " " + Quoted(v3);
  return out;
}

std::string CutToCharacters(std::string_view text, std::size_t maxChars) {
  std::size_t chars = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    // Every byte that is not a continuation byte (10xxxxxx) starts a character.
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
      if (chars == maxChars) return std::string(text.substr(0, i));
      ++chars;
    }
  }
  return std::string(text);
}

bool IsMissingValue(double x, const VarRecord& var) {
  switch (var.missingFormat) {
    case 1:
      return x == var.nMiss1;
    case 2:
      return x == var.nMiss1 || x == var.nMiss2;
    case 3:
      return x == var.nMiss1 || x == var.nMiss2 || x == var.nMiss3;
    case -2:
      return var.nMiss1 <= x && x <= var.nMiss2;
    case -3:
      return (var.nMiss1 <= x && x <= var.nMiss2) || x == var.nMiss3;
    default:
      return false;
  }
}

}  // namespace brindle
