// Conversion of the file's texts to UTF-8. Never fails: bytes invalid in the
// source encoding and a multi-byte sequence cut off at the end of a field
// become U+FFFD, zero bytes become blanks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace brindle {

class TextConverter {
 public:
  // Converts from windows-1252 until setEncoding is called.
  TextConverter();
  ~TextConverter();
  TextConverter(const TextConverter&) = delete;
  TextConverter& operator=(const TextConverter&) = delete;

  // Chooses the source encoding by name (an IANA name as a file declares it).
  // Names the converter does not know fall back to windows-1252; returns
  // false then.
  bool setEncoding(const std::string& name);
  // Chooses the source encoding by Windows code page number (the integer
  // info record's character code); unknown numbers give windows-1252.
  bool setCodePage(int codePage);
  const std::string& encoding() const { return m_name; }

  std::string toUtf8(const std::uint8_t* bytes, std::size_t n) const;
  std::string toUtf8(const std::string& bytes) const {
    return toUtf8(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  }

 private:
  bool open(const std::string& name);

#ifdef _WIN32
  // Windows converts through the system's code pages: the one that reads
  // what iconv reads under the encoding's name; 0 for UTF-8 sources.
  unsigned m_codePage = 0;
  std::string convertCodePage(const std::uint8_t* bytes, std::size_t n) const;
#else
  void* m_iconv = nullptr;  // iconv_t; null for UTF-8 sources
#endif
  bool m_utf8 = false;
  std::string m_name;
};

// The encoding name a Windows code page number stands for, as iconv knows
// it (a Windows superset where one exists); null for numbers not listed.
const char* codePageEncoding(int codePage);

// Appends bytes that claim to be UTF-8, replacing every invalid or cut-off
// sequence with U+FFFD and zero bytes with blanks.
void appendValidUtf8(std::string& out, const std::uint8_t* bytes, std::size_t n);

// The length of the longest prefix of the UTF-8 text[0..length) that has at
// most cap bytes and does not split a sequence.
std::size_t utf8PrefixLength(const char* text, std::size_t length, std::size_t cap);

}  // namespace brindle
