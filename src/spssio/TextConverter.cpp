#include "spssio/TextConverter.h"
#include "spssio/AsciiText.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <iconv.h>
#endif

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <iterator>
#include <vector>

namespace brindle {
namespace {

const char kReplacement[] = "\xEF\xBF\xBD";

// Declared names whose encodings are read as their Windows supersets, so that
// characters the narrower standard lacks still come through.
std::string supersetName(const std::string& declared) {
  std::string u = AsciiUpper(declared);
  if (u == "UTF8" || u == "UTF-8") return "UTF-8";
  if (u == "SHIFT_JIS" || u == "SHIFT-JIS" || u == "SJIS" || u == "WINDOWS-31J" || u == "CP932" ||
      u == "WINDOWS-932" || u == "MS_KANJI")
    return "CP932";
  if (u == "GB2312" || u == "GBK" || u == "CP936" || u == "WINDOWS-936" || u == "EUC-CN")
    return "GBK";
  if (u == "EUC-KR" || u == "KS_C_5601-1987" || u == "CP949" || u == "WINDOWS-949" || u == "UHC")
    return "CP949";
  if (u == "ISO-8859-1" || u == "ISO8859-1" || u == "LATIN1" || u == "US-ASCII" || u == "ASCII" ||
      u == "ANSI_X3.4-1968")
    return "WINDOWS-1252";
  return u;
}

bool isUtf8Continuation(std::uint8_t b) { return (b & 0xC0) == 0x80; }

// Length of the valid UTF-8 sequence starting at p (at most n bytes), 0 when
// the bytes there are not one.
std::size_t validSequence(const std::uint8_t* p, std::size_t n) {
  std::uint8_t b = p[0];
  if (b < 0x80) return 1;
  std::size_t len;
  std::uint32_t min;
  if ((b & 0xE0) == 0xC0) {
    len = 2;
    min = 0x80;
  } else if ((b & 0xF0) == 0xE0) {
    len = 3;
    min = 0x800;
  } else if ((b & 0xF8) == 0xF0) {
    len = 4;
    min = 0x10000;
  } else
    return 0;
  if (n < len) return 0;
  std::uint32_t cp = b & (0x7F >> len);
  for (std::size_t i = 1; i < len; ++i) {
    if (!isUtf8Continuation(p[i])) return 0;
    cp = (cp << 6) | (p[i] & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return len;
}

}  // namespace

void appendValidUtf8(std::string& out, const std::uint8_t* bytes, std::size_t n) {
  std::size_t i = 0;
  while (i < n) {
    std::size_t start = i;
    while (i < n && bytes[i] >= 0x01 && bytes[i] < 0x80) ++i;
    out.append(reinterpret_cast<const char*>(bytes + start), i - start);
    if (i == n) break;
    if (bytes[i] == 0) {
      out.push_back(' ');
      ++i;
      continue;
    }
    std::size_t len = validSequence(bytes + i, n - i);
    if (len == 0) {
      out.append(kReplacement);
      ++i;
      // A cut-off or broken sequence is one replacement, not one per byte.
      while (i < n && isUtf8Continuation(bytes[i])) ++i;
    } else {
      out.append(reinterpret_cast<const char*>(bytes + i), len);
      i += len;
    }
  }
}

std::size_t utf8PrefixLength(const char* text, std::size_t length, std::size_t cap) {
  if (length <= cap) return length;
  std::size_t k = cap;
  while (k > 0 && isUtf8Continuation(std::uint8_t(text[k]))) --k;
  return k;
}

#ifdef _WIN32
namespace {
unsigned windowsCodePageOf(const std::string& name);
}  // namespace

TextConverter::TextConverter() { open("WINDOWS-1252"); }

TextConverter::~TextConverter() = default;

bool TextConverter::open(const std::string& name) {
  if (name == "UTF-8") {
    m_codePage = 0;
    m_utf8 = true;
    m_name = name;
    return true;
  }
  const unsigned codePage = windowsCodePageOf(name);
  if (codePage == 0 || !IsValidCodePage(codePage)) return false;
  m_codePage = codePage;
  m_utf8 = false;
  m_name = name;
  return true;
}
#else
TextConverter::TextConverter() { open("WINDOWS-1252"); }

TextConverter::~TextConverter() {
  if (m_iconv) iconv_close(static_cast<iconv_t>(m_iconv));
}

bool TextConverter::open(const std::string& name) {
  if (name == "UTF-8") {
    if (m_iconv) iconv_close(static_cast<iconv_t>(m_iconv));
    m_iconv = nullptr;
    m_utf8 = true;
    m_name = name;
    return true;
  }
  iconv_t cd = iconv_open("UTF-8", name.c_str());
  if (cd == iconv_t(-1)) return false;
  if (m_iconv) iconv_close(static_cast<iconv_t>(m_iconv));
  m_iconv = cd;
  m_utf8 = false;
  m_name = name;
  return true;
}
#endif

bool TextConverter::setEncoding(const std::string& name) {
  std::string wanted = supersetName(name);
  if (open(wanted)) return true;
  open("WINDOWS-1252");
  return false;
}

namespace {

// Windows code page numbers and the encodings iconv knows them by. Files
// that name their encoding only by number carry these; iconv knows a few as
// "CP<number>", most not. Where a Windows superset of a standard exists the
// superset is read, as for declared names.
struct CodePageName {
  int codePage;
  const char* name;
};
constexpr CodePageName kCodePages[] = {
    // 2 (7-bit ASCII) and 3 (8-bit ASCII) were written by old versions
    // whatever the real encoding was; windows-1252 reads both.
    {1, "IBM037"},
    {2, "WINDOWS-1252"},
    {3, "WINDOWS-1252"},
    {37, "IBM037"},
    {437, "CP437"},
    {500, "IBM500"},
    {708, "ISO-8859-6"},
    {737, "CP737"},
    {775, "CP775"},
    {850, "CP850"},
    {852, "CP852"},
    {855, "CP855"},
    {857, "CP857"},
    {858, "CP858"},
    {860, "CP860"},
    {861, "CP861"},
    {862, "CP862"},
    {863, "CP863"},
    {864, "CP864"},
    {865, "CP865"},
    {866, "CP866"},
    {869, "CP869"},
    {870, "IBM870"},
    {874, "CP874"},
    {875, "IBM875"},
    {932, "CP932"},
    {936, "GBK"},
    {949, "CP949"},
    {950, "CP950"},
    {1026, "IBM1026"},
    {1047, "IBM1047"},
    {1140, "IBM1140"},
    {1250, "CP1250"},
    {1251, "CP1251"},
    {1252, "WINDOWS-1252"},
    {1253, "CP1253"},
    {1254, "CP1254"},
    {1255, "CP1255"},
    {1256, "CP1256"},
    {1257, "CP1257"},
    {1258, "CP1258"},
    {1361, "JOHAB"},
    {10000, "MACINTOSH"},
    {10007, "MAC-CYRILLIC"},
    {10017, "MAC-UK"},
    {10029, "MAC-CENTRALEUROPE"},
    {10079, "MAC-IS"},
    {20127, "WINDOWS-1252"},
    {20273, "IBM273"},
    {20277, "IBM277"},
    {20278, "IBM278"},
    {20280, "IBM280"},
    {20284, "IBM284"},
    {20285, "IBM285"},
    {20290, "IBM290"},
    {20297, "IBM297"},
    {20420, "IBM420"},
    {20424, "IBM424"},
    {20866, "KOI8-R"},
    {20871, "IBM871"},
    {20932, "EUC-JP"},
    {20936, "GBK"},
    {21025, "IBM1025"},
    {21866, "KOI8-U"},
    {28591, "WINDOWS-1252"},
    {28592, "ISO-8859-2"},
    {28593, "ISO-8859-3"},
    {28594, "ISO-8859-4"},
    {28595, "ISO-8859-5"},
    {28596, "ISO-8859-6"},
    {28597, "ISO-8859-7"},
    {28598, "ISO-8859-8"},
    {28599, "ISO-8859-9"},
    {28600, "ISO-8859-10"},
    {28601, "ISO-8859-11"},
    {28603, "ISO-8859-13"},
    {28604, "ISO-8859-14"},
    {28605, "ISO-8859-15"},
    {28606, "ISO-8859-16"},
    {38598, "ISO-8859-8"},
    {50220, "ISO-2022-JP"},
    {50221, "ISO-2022-JP"},
    {50222, "ISO-2022-JP"},
    {50225, "ISO-2022-KR"},
    {51932, "EUC-JP"},
    {51936, "GBK"},
    {51949, "CP949"},
    {51950, "EUC-TW"},
    {54936, "GB18030"},
    {65001, "UTF-8"},
};

#ifdef _WIN32
// The Windows code page that reads what iconv reads under name (an upper-case
// name from the list above, a declared name or "CP<number>"); 0 for none.
unsigned windowsCodePageOf(const std::string& name) {
  // Names listed under several numbers, or under none.
  static constexpr struct {
    const char* name;
    unsigned codePage;
  } kPreferred[] = {{"WINDOWS-1252", 1252}, {"ISO-8859-6", 28596}, {"EUC-JP", 20932},
                    {"ISO-2022-JP", 50220}, {"BIG5", 950},         {"EUC-KR", 949}};
  for (const auto& p : kPreferred)
    if (name == p.name) return p.codePage;
  for (const CodePageName& e : kCodePages)
    if (e.codePage > 3 && name == e.name) return unsigned(e.codePage);
  // "CP1250", "WINDOWS-1250", "IBM850": the number is the code page.
  for (const std::string prefix : {"CP", "WINDOWS-", "IBM"}) {
    if (name.size() <= prefix.size() || name.size() > prefix.size() + 5 ||
        name.compare(0, prefix.size(), prefix) != 0)
      continue;
    unsigned number = 0;
    for (std::size_t i = prefix.size(); i < name.size(); ++i) {
      if (name[i] < '0' || name[i] > '9') return 0;
      number = number * 10 + unsigned(name[i] - '0');
    }
    return number <= 65535 ? number : 0;
  }
  return 0;
}
#endif

}  // namespace

const char* codePageEncoding(int codePage) {
  const auto* end = std::end(kCodePages);
  const auto* it = std::lower_bound(std::begin(kCodePages), end, codePage,
                                    [](const CodePageName& e, int cp) { return e.codePage < cp; });
  return it != end && it->codePage == codePage ? it->name : nullptr;
}

bool TextConverter::setCodePage(int codePage) {
  if (const char* name = codePageEncoding(codePage); name && open(name)) return true;
  if (codePage > 0 && codePage < 100000 && open("CP" + std::to_string(codePage))) return true;
  open("WINDOWS-1252");
  return false;
}

std::string TextConverter::toUtf8(const std::uint8_t* bytes, std::size_t n) const {
  std::string out;
  out.reserve(n);
  std::size_t ascii = 0;
  while (ascii < n && bytes[ascii] >= 0x01 && bytes[ascii] < 0x80) ++ascii;
  if (ascii == n) {
    out.assign(reinterpret_cast<const char*>(bytes), n);
    return out;
  }
#ifdef _WIN32
  if (m_utf8 || m_codePage == 0) {
    appendValidUtf8(out, bytes, n);
    return out;
  }
  for (std::size_t i = 0; i < n;) {
    if (bytes[i] == 0) {
      out.push_back(' ');
      ++i;
      continue;
    }
    std::size_t stop = i;
    while (stop < n && bytes[stop] != 0) ++stop;
    out += convertCodePage(bytes + i, stop - i);
    i = stop;
  }
  return out;
#else
  if (m_utf8 || !m_iconv) {
    appendValidUtf8(out, bytes, n);
    return out;
  }
  iconv_t cd = static_cast<iconv_t>(m_iconv);
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  std::vector<char> buf(n * 4 + 16);
  std::size_t i = 0;
  while (i < n) {
    if (bytes[i] == 0) {
      out.push_back(' ');
      ++i;
      continue;
    }
    // Convert up to the next zero byte so zeros never reach iconv.
    std::size_t stop = i;
    while (stop < n && bytes[stop] != 0) ++stop;
    char* inPtr = const_cast<char*>(reinterpret_cast<const char*>(bytes + i));
    std::size_t inLeft = stop - i;
    char* outPtr = buf.data();
    std::size_t outLeft = buf.size();
    std::size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    const bool full = rc == std::size_t(-1) && errno == E2BIG;
    // windows-1255 and -1258 hold a character back in case a combining mark
    // follows: it goes out before a replacement, a blank or the end, or is lost.
    if (!full) iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
    out.append(buf.data(), std::size_t(outPtr - buf.data()));
    i = stop - inLeft;
    if (rc == std::size_t(-1)) {
      if (full) continue;
      // EILSEQ: an invalid byte; EINVAL: a sequence cut off at the field's end.
      out.append(kReplacement);
      ++i;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
  return out;
#endif
}

#ifdef _WIN32
namespace {

constexpr wchar_t kWideReplacement = 0xFFFD;

// MultiByteToWideChar refuses MB_ERR_INVALID_CHARS for these code pages.
bool takesStrictFlag(unsigned codePage) {
  return !(codePage >= 50220 && codePage <= 50229) && !(codePage >= 57002 && codePage <= 57011) &&
         codePage != 65000 && codePage != 42;
}

// Decodes n bytes (no zero among them); false when the system refuses them.
bool decode(unsigned codePage, DWORD flags, const std::uint8_t* bytes, std::size_t n,
            std::wstring& wide) {
  wide.clear();
  if (n == 0) return true;
  if (n > std::size_t(INT_MAX / 2)) return false;
  const char* text = reinterpret_cast<const char*>(bytes);
  const int length = MultiByteToWideChar(codePage, flags, text, int(n), nullptr, 0);
  if (length <= 0) return false;
  wide.resize(std::size_t(length));
  return MultiByteToWideChar(codePage, flags, text, int(n), wide.data(), length) == length;
}

// Windows gives every byte of a single-byte character a meaning: bytes the
// encoding leaves undefined come out in the private use area or, in the
// Windows code pages, as the C1 control of the same number. iconv refuses
// them, and so does the conversion here, so that both builds read a file
// alike. (The Mac code pages' Apple logo at U+F8FF is a real character.)
bool undefinedSingleByte(unsigned codePage, std::uint8_t byte, wchar_t decoded) {
  if (byte < 0x80) return false;
  const bool windowsCodePage = codePage == 874 || (codePage >= 1250 && codePage <= 1258);
  if (windowsCodePage && decoded == wchar_t(byte) && byte <= 0x9F) return true;
  const bool macCodePage = codePage >= 10000 && codePage < 11000;
  return !macCodePage && decoded >= 0xE000 && decoded <= 0xF8FF;
}

bool hasPrivateUse(const std::wstring& wide) {
  return std::any_of(wide.begin(), wide.end(),
                     [](wchar_t c) { return c >= 0xE000 && c <= 0xF8FF; });
}

void appendUtf8(std::string& out, const std::wstring& wide) {
  if (wide.empty()) return;
  const int length =
      WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), nullptr, 0, nullptr, nullptr);
  if (length <= 0) return;
  const std::size_t at = out.size();
  out.resize(at + std::size_t(length));
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), out.data() + at, length, nullptr,
                      nullptr);
}

}  // namespace

std::string TextConverter::convertCodePage(const std::uint8_t* bytes, std::size_t n) const {
  CPINFO info{};
  const unsigned maxChar = GetCPInfo(m_codePage, &info) ? info.MaxCharSize : 1;
  const DWORD strict = takesStrictFlag(m_codePage) ? MB_ERR_INVALID_CHARS : 0;
  std::wstring wide;
  std::string out;
  if (decode(m_codePage, strict, bytes, n, wide)) {
    if (maxChar == 1 && wide.size() == n) {
      for (std::size_t i = 0; i < n; ++i)
        if (undefinedSingleByte(m_codePage, bytes[i], wide[i])) wide[i] = kWideReplacement;
      appendUtf8(out, wide);
      return out;
    }
    if (maxChar != 2 || !hasPrivateUse(wide)) {
      appendUtf8(out, wide);
      return out;
    }
  } else if (maxChar > 2 || strict == 0) {
    // No character boundaries to go by: the system's own replacements.
    decode(m_codePage, 0, bytes, n, wide);
    appendUtf8(out, wide);
    return out;
  }
  // Character by character, as iconv reads: an invalid byte becomes U+FFFD
  // and reading goes on with the next byte; a character cut off at the end
  // is one U+FFFD.
  std::wstring all;
  std::wstring one;
  for (std::size_t i = 0; i < n;) {
    const std::size_t length = maxChar == 2 && IsDBCSLeadByteEx(m_codePage, bytes[i]) ? 2 : 1;
    if (i + length > n) {
      all.push_back(kWideReplacement);
      break;
    }
    if (decode(m_codePage, strict, bytes + i, length, one) &&
        !(length == 1 && one.size() == 1 && undefinedSingleByte(m_codePage, bytes[i], one[0]))) {
      all += one;
      i += length;
    } else {
      all.push_back(kWideReplacement);
      ++i;
    }
  }
  appendUtf8(out, all);
  return out;
}
#endif

}  // namespace brindle
