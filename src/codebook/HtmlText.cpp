#include "codebook/HtmlText.h"

#include <charconv>
#include <cmath>

namespace brindle {

void AppendEscaped(std::string_view text, std::string& out) {
  for (const char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      case '\0':
        // No character reference stands for it in HTML or XML.
        out += "\xEF\xBF\xBD";
        break;
      default:
        out += c;
    }
  }
}

std::string Escaped(std::string_view text) {
  std::string out;
  AppendEscaped(text, out);
  return out;
}

std::string SvgNumber(double x) {
  if (!std::isfinite(x)) return "0";
  // Not printf: the locale's decimal comma has no place in SVG.
  char buffer[64];
  const auto end = std::to_chars(buffer, buffer + sizeof buffer, x, std::chars_format::fixed, 2);
  std::string s(buffer, end.ec == std::errc() ? end.ptr : buffer);
  while (!s.empty() && s.back() == '0') s.pop_back();
  if (!s.empty() && s.back() == '.') s.pop_back();
  if (s == "-0") s = "0";
  return s;
}

}  // namespace brindle
