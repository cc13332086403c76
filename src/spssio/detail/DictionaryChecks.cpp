#include "spssio/detail/DictionaryChecks.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <locale.h>
#include <wctype.h>
#endif

#include "spssio/detail/SavReader.h"

namespace brindle {
namespace {

// Indexed by format code; null where the code is no format.
constexpr const char* kFormatNames[] = {
    nullptr, "A",     "AHEX",  "COMMA", "DOLLAR",   "F",     "IB",    "PIBHEX", "P",
    "PIB",   "PK",    "RB",    "RBHEX", nullptr,    nullptr, "Z",     "N",      "E",
    nullptr, nullptr, "DATE",  "TIME",  "DATETIME", "ADATE", "JDATE", "DTIME",  "WKDAY",
    "MONTH", "MOYR",  "QYR",   "WKYR",  "PCT",      "DOT",   "CCA",   "CCB",    "CCC",
    "CCD",   "CCE",   "EDATE", "SDATE", "MTIME",    "YMDHMS"};
constexpr int kFormatCount = sizeof kFormatNames / sizeof kFormatNames[0];
constexpr int kFormatA = 1;
constexpr int kFormatAHex = 2;
constexpr int kFormatF = 5;
constexpr int kWidestNumber = 40;
constexpr int kMostDecimals = 16;

const char* FormatName(int type) {
  return type >= 0 && type < kFormatCount ? kFormatNames[type] : nullptr;
}

#ifdef _WIN32
// The system's invariant case mapping, for all of Unicode.
char32_t LowerCodePoint(char32_t c) {
  if (c < 0x80) return c >= 'A' && c <= 'Z' ? c + 32 : c;
  wchar_t in[2];
  int n = 1;
  if (c >= 0x10000) {
    in[0] = wchar_t(0xD800 + ((c - 0x10000) >> 10));
    in[1] = wchar_t(0xDC00 + ((c - 0x10000) & 0x3FF));
    n = 2;
  } else {
    in[0] = wchar_t(c);
  }
  wchar_t out[2];
  if (LCMapStringW(LOCALE_INVARIANT, LCMAP_LOWERCASE, in, n, out, 2) != n) return c;
  if (n == 1) return out[0] >= 0xD800 && out[0] <= 0xDFFF ? c : char32_t(out[0]);
  return 0x10000 + ((char32_t(out[0]) - 0xD800) << 10) + (char32_t(out[1]) - 0xDC00);
}
#else
// The C library's case mapping for all of Unicode; null when the UTF-8
// locale is not there (then only ASCII and Latin-1 letters are mapped).
locale_t Utf8Locale() {
  static const locale_t loc = [] {
    locale_t l = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(0));
    return l ? l : newlocale(LC_CTYPE_MASK, "C.utf8", locale_t(0));
  }();
  return loc;
}

char32_t LowerCodePoint(char32_t c) {
  if (c < 0x80) return c >= 'A' && c <= 'Z' ? c + 32 : c;
  if (locale_t loc = Utf8Locale()) {
    const wint_t lower = towlower_l(wint_t(c), loc);
    return lower > 0 && lower < 0x110000 ? char32_t(lower) : c;
  }
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;
  return c;
}
#endif

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += char(c);
  } else if (c < 0x800) {
    out += char(0xC0 | (c >> 6));
    out += char(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += char(0xE0 | (c >> 12));
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  } else {
    out += char(0xF0 | (c >> 18));
    out += char(0x80 | ((c >> 12) & 0x3F));
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  }
}

// The code point of the sequence at text[i], its length in n; 0 bytes when
// the bytes there are no valid sequence.
char32_t DecodeUtf8(std::string_view text, std::size_t i, std::size_t& n) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  char32_t c;
  char32_t least;
  if (lead >= 0xC2 && lead <= 0xDF) {
    n = 2, c = lead & 0x1F, least = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    n = 3, c = lead & 0x0F, least = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    n = 4, c = lead & 0x07, least = 0x10000;
  } else {
    n = 0;
    return 0;
  }
  if (i + n > text.size()) {
    n = 0;
    return 0;
  }
  for (std::size_t k = 1; k < n; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) {
      n = 0;
      return 0;
    }
    c = (c << 6) | (byte(i + k) & 0x3F);
  }
  if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
    n = 0;
    return 0;
  }
  return c;
}

}  // namespace

std::string FormatFault(const SavFormat& format, int width) {
  const char* name = FormatName(format.type);
  if (!name) return "format code " + std::to_string(format.type) + " is no format";
  const bool stringFormat = format.type == kFormatA || format.type == kFormatAHex;
  if (width == 0) {
    if (stringFormat) return std::string(name) + " is a string format on a numeric variable";
    if (format.width < 1 || format.width > kWidestNumber)
      return "width " + std::to_string(format.width) + " does not fit " + name;
    if (format.decimals > kMostDecimals || (format.decimals > 0 && format.decimals >= format.width))
      return std::to_string(format.decimals) + " decimals do not fit " + name +
             std::to_string(format.width);
    return {};
  }
  if (!stringFormat) return std::string(name) + " is a numeric format on a string variable";
  const int wanted = format.type == kFormatA ? width : 2 * width;
  if (format.width != wanted)
    return std::string(name) + std::to_string(format.width) + " does not fit a string of width " +
           std::to_string(width);
  return {};
}

SavFormat DefaultFormat(int width) {
  SavFormat f;
  if (width == 0) {
    f.type = kFormatF;
    f.width = 8;
    f.decimals = 2;
  } else {
    f.type = kFormatA;
    f.width = width;
    f.decimals = 0;
  }
  return f;
}

std::string FormatText(const SavFormat& format) {
  const char* name = FormatName(format.type);
  if (!name)
    return "code " + std::to_string(format.type) + " width " + std::to_string(format.width) +
           " decimals " + std::to_string(format.decimals);
  std::string text = name + std::to_string(format.width);
  if (format.type != kFormatA && format.type != kFormatAHex && format.decimals > 0) {
    text += '.';
    text += std::to_string(format.decimals);
  }
  return text;
}

std::string ShownText(std::string_view text) {
  std::string out;
  for (char ch : text.substr(0, 64)) out += ch >= 0x20 && ch < 0x7f ? ch : '?';
  if (text.size() > 64) out += "...";
  return out;
}

std::string Utf8Lower(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    std::size_t n = 0;
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) {
      out += char(LowerCodePoint(lead));
      ++i;
      continue;
    }
    const char32_t c = DecodeUtf8(text, i, n);
    if (n == 0) {
      out += text[i];
      ++i;
      continue;
    }
    AppendUtf8(out, LowerCodePoint(c));
    i += n;
  }
  return out;
}

std::string TrimmedField(const std::uint8_t* bytes, std::size_t n) {
  while (n > 0 && (bytes[n - 1] == ' ' || bytes[n - 1] == 0)) --n;
  return std::string(reinterpret_cast<const char*>(bytes), n);
}

std::string TrimmedText(std::string_view s) {
  std::size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == 0 || s[b] == '\r' || s[b] == '\n')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == 0 || s[e - 1] == '\r' || s[e - 1] == '\n')) --e;
  return std::string(s.substr(b, e - b));
}

}  // namespace brindle
