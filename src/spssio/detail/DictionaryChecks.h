// Checks and repairs of single dictionary values that the reader applies
// while it builds the variables: whether a print or write format fits its
// variable, the lower-casing of names from writers without long names, and
// how a warning shows text from the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace brindle {

struct SavFormat;

// Empty when format can describe a variable of this width (0 numeric, else
// the string width in bytes); else why it cannot, in plain words
// ("format code 8 is a string format"). The codes are those a system file
// knows (1 A .. 41 YMDHMS, without the unused ones); a string variable
// takes A of its own width or AHEX of twice it, a number a numeric format
// 1 to 40 wide with no more decimals than fit.
std::string FormatFault(const SavFormat& format, int width);

// The format shown in place of one that does not fit: F8.2 for a number,
// A<width> for a string.
SavFormat DefaultFormat(int width);

// "F8.2", "A12", or "code 8 width 3 decimals 0" for a code without a name.
std::string FormatText(const SavFormat& format);

// A name or other short text from the file as a warning shows it: printable
// ASCII kept, every other byte as '?', cut at 64 bytes (then "..." follows).
std::string ShownText(std::string_view text);

// text (UTF-8) with every letter lower-cased, not only ASCII ones
// ("NUMÀÈÌ" gives "numàèì"); bytes that are not valid UTF-8 stay as they are.
std::string Utf8Lower(std::string_view text);

// A fixed-width field of the file without its padding: trailing blanks and
// zero bytes.
std::string TrimmedField(const std::uint8_t* bytes, std::size_t n);

// text without leading and trailing blanks, zero bytes and line ends.
std::string TrimmedText(std::string_view text);

}  // namespace brindle
