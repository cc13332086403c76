// Small text helpers shared by the core: ASCII-only case folding (names in
// system files compare without regard to ASCII letter case, whatever the
// encoding), the padding trim of stored values, and the Gregorian leap rule.
#pragma once

#include <string>
#include <string_view>

namespace brindle {

// c with a-z turned into A-Z; every other byte, UTF-8 included, unchanged.
constexpr unsigned char AsciiUpper(unsigned char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - ('a' - 'A')) : c;
}

inline std::string AsciiUpper(std::string_view s) {
  std::string u(s);
  for (char& c : u) c = char(AsciiUpper(static_cast<unsigned char>(c)));
  return u;
}

// s without its trailing blanks, control bytes and DEL: the padding and
// terminator junk of a stored value. Bytes above 0x7F are UTF-8 and stay.
inline std::string_view TrimTrailingControls(std::string_view s) {
  std::size_t n = s.size();
  while (n > 0) {
    const unsigned char c = static_cast<unsigned char>(s[n - 1]);
    if (c > 0x20 && c != 0x7F) break;
    --n;
  }
  return s.substr(0, n);
}

constexpr bool IsLeapYear(long long year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

}  // namespace brindle
