// ASCII text rules shared by the reader and the layers over it: SPSS names
// compare without regard to ASCII letter case, and stored strings end in
// padding.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace brindle {

// a-z as A-Z; every other byte (UTF-8 sequences included) as it is.
constexpr char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

inline std::string AsciiUpper(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = AsciiUpper(c);
  return out;
}

// s without its trailing blanks, control characters and DEL, which are
// padding or terminator junk from the file; bytes above 0x7F belong to
// UTF-8 characters and stay.
constexpr std::string_view WithoutTrailingControls(std::string_view s) {
  std::size_t n = s.size();
  while (n > 0) {
    const auto c = static_cast<unsigned char>(s[n - 1]);
    if (c > 0x20 && c != 0x7F) break;
    --n;
  }
  return s.substr(0, n);
}

}  // namespace brindle
