// Number texts shared by the whole program: the general number text, the
// fixed and the grouped form, with the user's separators passed in.
//
// Rounding is done on the shortest decimal text that reads back as the same
// double, half away from zero: 2.675 with two decimals is 2.68, as the user
// reads the value, not 2.67, as its binary value (2.67499999...) would give.
// All functions are pure and allocate nothing but their result.
#pragma once

#include <string>

namespace brindle {

// The regional separators. Either may be several bytes of UTF-8 (for example
// a no-break space as thousands separator) or empty.
struct NumberSeparators {
  std::string decimal = ".";
  std::string thousands = ",";
};

// The general number text: at most 15 significant digits, rounded half away
// from zero, trailing zeros dropped; "0" for zero (also negative zero); plain
// notation for 0.0001 <= |x| < 1E15 (judged after rounding), else one digit,
// the decimal separator and the remaining digits if any, "E" and the exponent
// ("1E20", "1.5E-7"). Non-finite values give "INF", "-INF" and "NAN".
// No thousands separator is ever written.
std::string GeneralNumberText(double x, const NumberSeparators& seps);

// The fixed form: x rounded half away from zero to `decimals` decimals
// (clamped to 0..18), always that many decimals, no grouping, right-aligned
// with blanks to `width` characters (counted as characters, not bytes; the
// padding is capped at 256), never cut. A value that rounds to zero carries no
// minus sign. Non-finite values are written as the general number text.
std::string FixedText(double x, int width, int decimals, const NumberSeparators& seps);

// The grouped form: as FixedText without padding, with the thousands
// separator between groups of three integer digits. A value whose rounded
// integer part has more than 15 digits, and a non-finite value, give the
// general number text instead.
std::string GroupedText(double x, int decimals, const NumberSeparators& seps);

// x rounded half away from zero to `decimals` decimals (clamped to 0..18), as
// the fixed form rounds it; the nearest double to the rounded decimal value.
// Non-finite values are returned unchanged; a result of zero is +0.
double RoundHalfAway(double x, int decimals);

// The power of ten of x's leading significant digit (2 for 123.4, -7 for
// 1.5E-7, 0 for 5), taken from its shortest decimal text; 0 for zero and for
// non-finite values.
int DecimalExponent(double x);

}  // namespace brindle
