#include "cases/CellText.h"

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdint>

#include "datafile/MissingValueText.h"
#include "export/CsvExport.h"
#include "spssio/SystemFile.h"

namespace brindle {

std::string_view WithoutTrailingBlanks(std::string_view s) {
  const std::size_t end = s.find_last_not_of(' ');
  return end == std::string_view::npos ? std::string_view() : s.substr(0, end + 1);
}

CellFormat::CellFormat(const SystemFile& file, std::size_t var, const CellOptions& options)
    : m_options(options) {
  const Variable& v = file.variable(var);
  m_width = v.width;
  m_format = PrintFormat{v.print.type, v.print.width, v.print.decimals};
  m_chars = std::max<int>(int(v.name.size()), v.width ? std::min(v.width, 40) : v.print.width);
  m_chars = std::clamp(m_chars, 3, 60);
  if (v.width == 0) {
    m_missing.missingFormat = v.missing.format;
    m_missing.nMiss1 = v.missing.numbers[0];
    m_missing.nMiss2 = v.missing.numbers[1];
    m_missing.nMiss3 = v.missing.numbers[2];
    // The first label of a value is the one shown, as in the values pane.
    for (const NumericLabel& l : file.numericLabels(var)) m_numberLabels.emplace(l.value, l.label);
  } else {
    m_missingTextCount = std::clamp(v.missing.format, 0, 3);
    for (int k = 0; k < m_missingTextCount; ++k)
      m_missingTexts[k] = std::string(WithoutTrailingBlanks(v.missing.strings[k]));
    for (const StringLabel& l : file.stringLabels(var))
      m_textLabels.emplace(std::string(WithoutTrailingBlanks(l.value)), l.label);
  }
}

void CellFormat::appendNumberValue(double x, std::string& out) const {
  if (x == -DBL_MAX) {
    out += '.';
    return;
  }
  // Whole numbers in the fixed form, the most common cells by far, written
  // here without building the padded text first. Below 2^53 a whole number's
  // shortest decimal text is its integer digits, so rounding to any count of
  // decimals leaves it as it is: the digits, then the decimals as zeros.
  const bool fixed = m_format.Fmt == kFmtF || m_format.Fmt == kFmtPct;
  if (fixed && m_options.fixedFormat && std::fabs(x) < 9007199254740992.0 && x == std::trunc(x)) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, std::int64_t(x)).ptr;
    out.append(digits, end);
    const int decimals = std::clamp(m_format.Dec, 0, 18);
    if (decimals > 0) {
      out += m_options.seps.decimal;
      out.append(std::size_t(decimals), '0');
    }
    if (m_format.Fmt == kFmtPct) out += '%';
    return;
  }
  const std::string text = FormatValue(x, m_format, m_options.fixedFormat, m_options.seps);
  const std::size_t start = text.find_first_not_of(' ');
  if (start != std::string::npos) out.append(text, start, std::string::npos);
}

const std::string* CellFormat::numberLabel(double x) const {
  const auto it = m_numberLabels.find(x);
  return it == m_numberLabels.end() ? nullptr : &it->second;
}

const std::string* CellFormat::textLabel(std::string_view s) const {
  if (m_textLabels.empty()) return nullptr;
  const auto it = m_textLabels.find(std::string(WithoutTrailingBlanks(s)));
  return it == m_textLabels.end() ? nullptr : &it->second;
}

void CellFormat::appendNumber(double x, std::string& out) const {
  if (m_options.mode == CellMode::Raw) {
    AppendNumberField(out, x, -DBL_MAX);
    return;
  }
  if (m_options.mode == CellMode::Labels)
    if (const std::string* label = numberLabel(x)) {
      out += *label;
      return;
    }
  appendNumberValue(x, out);
}

void CellFormat::appendText(std::string_view s, std::string& out) const {
  if (m_options.mode == CellMode::Labels)
    if (const std::string* label = textLabel(s)) {
      out += *label;
      return;
    }
  out += WithoutTrailingBlanks(s);
}

bool CellFormat::isUserMissing(double x) const {
  return x != -DBL_MAX && IsMissingValue(x, m_missing);
}

bool CellFormat::isUserMissing(std::string_view s) const {
  const std::string_view t = WithoutTrailingBlanks(s);
  for (int k = 0; k < m_missingTextCount; ++k)
    if (t == m_missingTexts[k]) return true;
  return false;
}

}  // namespace brindle
