// The declared missing values of a variable as the variables grid shows
// it, and the user-missing test of a numeric value.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "format/FormatValue.h"
#include "variables/VarRecord.h"

namespace brindle {

// The longest missing-value text the table keeps, in characters.
inline constexpr std::size_t kMissingTextChars = 30;

// The text of a numeric variable's missing values by missingFormat:
//   0: empty; 1..3: the values' general number texts joined by one blank;
//   -2: "a thru b"; -3: "a thru b c"; anything else: "Invalid format code".
// Range ends exactly equal to lowest / highest read "lowest" / "highest".
// Not yet cut to kMissingTextChars.
std::string NumericMissingText(int missingFormat, double miss1, double miss2, double miss3,
                               double lowest, double highest, const NumberSeparators& seps);

// The text of a short string variable's missing values: the first
// missingFormat (1..3) values, each without trailing blanks and control
// characters, in single quotes with inner quotes doubled, joined by one
// blank ('NA' 'DK', 'O''K'). Any other missingFormat gives an empty text.
std::string StringMissingText(int missingFormat, std::string_view v1, std::string_view v2,
                              std::string_view v3);

// The first maxChars characters of UTF-8 text, never splitting a character.
std::string CutToCharacters(std::string_view text, std::size_t maxChars);

// Whether x is a user-missing value of the variable: an exact match of a
// discrete value, or within the range (ends included) for -2 and -3.
// Records with any other missingFormat (0, 14, ...) have none.
bool IsMissingValue(double x, const VarRecord& var);

}  // namespace brindle
