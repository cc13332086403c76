#include "format/NumberText.h"

#include <cfloat>
#include <climits>
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

namespace brindle {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

const NumberSeparators kPoint;  // "." and ","
const NumberSeparators kComma{",", "."};
const NumberSeparators kArabic{"\xD9\xAB", "\xD9\xAC"};  // U+066B, U+066C
const NumberSeparators kSwiss{".", "\xE2\x80\x99"};      // U+2019
const NumberSeparators kFrench{",", "\xC2\xA0"};         // no-break space

struct GeneralCase {
  double x;
  const char* text;
};

class GeneralNumberTextTest : public ::testing::TestWithParam<GeneralCase> {};

TEST_P(GeneralNumberTextTest, Renders) {
  EXPECT_EQ(GeneralNumberText(GetParam().x, kPoint), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GeneralNumberTextTest,
    ::testing::Values(GeneralCase{0, "0"}, GeneralCase{-0.0, "0"}, GeneralCase{3, "3"},
                      GeneralCase{-12.5, "-12.5"}, GeneralCase{0.5, "0.5"}, GeneralCase{100, "100"},
                      GeneralCase{1234567, "1234567"},  // never grouped
                      GeneralCase{0.1 + 0.2, "0.3"}, GeneralCase{2.675, "2.675"},
                      GeneralCase{1E20, "1E20"}, GeneralCase{1.5E-7, "1.5E-7"},
                      GeneralCase{-1.5E-7, "-1.5E-7"}, GeneralCase{-2.5E20, "-2.5E20"},
                      GeneralCase{0.0001, "0.0001"}, GeneralCase{0.00009999, "9.999E-5"},
                      GeneralCase{1E15, "1E15"}, GeneralCase{999999999999999, "999999999999999"},
                      GeneralCase{100000000000000, "100000000000000"},
                      // Rounded to 15 significant digits, half away from zero.
                      GeneralCase{123456789.123456789, "123456789.123457"},
                      GeneralCase{-123456789.123456789, "-123456789.123457"},
                      GeneralCase{0.1234567890123455, "0.123456789012346"},
                      GeneralCase{1.23456789012345678E30, "1.23456789012346E30"},
                      // Rounding decides the notation: these become 1E15 and 0.0001.
                      GeneralCase{999999999999999.9, "1E15"},
                      GeneralCase{0.000099999999999999999, "0.0001"},
                      GeneralCase{DBL_MAX, "1.79769313486232E308"},
                      GeneralCase{-DBL_MAX, "-1.79769313486232E308"}, GeneralCase{5e-324, "5E-324"},
                      GeneralCase{kInf, "INF"}, GeneralCase{-kInf, "-INF"},
                      GeneralCase{kNaN, "NAN"}, GeneralCase{-kNaN, "NAN"}));

TEST(GeneralNumberText, UsesTheDecimalSeparatorOnly) {
  EXPECT_EQ(GeneralNumberText(1234.5, kComma), "1234,5");
  EXPECT_EQ(GeneralNumberText(1.5E-7, kComma), "1,5E-7");
  EXPECT_EQ(GeneralNumberText(-0.25, kArabic),
            "-0\xD9\xAB"
            "25");
  EXPECT_EQ(GeneralNumberText(1E20, kComma), "1E20");
  EXPECT_EQ(GeneralNumberText(12345678, kFrench), "12345678");
}

struct FixedCase {
  double x;
  int width;
  int decimals;
  const char* text;
};

class FixedTextTest : public ::testing::TestWithParam<FixedCase> {};

TEST_P(FixedTextTest, Renders) {
  const FixedCase& c = GetParam();
  EXPECT_EQ(FixedText(c.x, c.width, c.decimals, kPoint), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FixedTextTest,
    ::testing::Values(FixedCase{3.14159, 9, 2, "     3.14"},
                      FixedCase{123456.789, 3, 1, "123456.8"},  // never cut
                      FixedCase{1234.5, 0, 2, "1234.50"},       // never grouped
                      // Half away from zero on the decimal text the user sees, where the
                      // binary value lies just below (2.675, 1.005) or is an exact tie.
                      FixedCase{2.675, 0, 2, "2.68"}, FixedCase{-2.675, 0, 2, "-2.68"},
                      FixedCase{1.005, 0, 2, "1.01"}, FixedCase{0.125, 0, 2, "0.13"},
                      FixedCase{0.5, 0, 0, "1"}, FixedCase{-0.5, 0, 0, "-1"},
                      FixedCase{1.5, 0, 0, "2"}, FixedCase{2.5, 0, 0, "3"},
                      FixedCase{0.005, 0, 2, "0.01"}, FixedCase{0.004999, 0, 2, "0.00"},
                      FixedCase{9.995, 0, 2, "10.00"}, FixedCase{99.96, 6, 1, " 100.0"},
                      FixedCase{999999.5, 0, 0, "1000000"},
                      // No minus sign on a value that rounds to zero.
                      FixedCase{-0.001, 0, 2, "0.00"}, FixedCase{-0.0, 5, 2, " 0.00"},
                      FixedCase{1e-20, 0, 2, "0.00"},
                      // Big values keep all their digits.
                      FixedCase{1e20, 0, 2, "100000000000000000000.00"},
                      FixedCase{-123456789012345678.0, 0, 0, "-123456789012345680"},
                      FixedCase{0.1, 0, 18, "0.100000000000000000"},
                      FixedCase{0.1, 0, 25, "0.100000000000000000"},  // decimals clamped to 18
                      FixedCase{2.5, 0, -3, "3"},                     // negative decimals read as 0
                      FixedCase{kNaN, 5, 2, "  NAN"}, FixedCase{-kInf, 0, 2, "-INF"}));

TEST(FixedText, PadsByCharactersNotBytes) {
  EXPECT_EQ(FixedText(3.14, 6, 2, kArabic),
            "  3\xD9\xAB"
            "14");
  EXPECT_EQ(FixedText(-1234.5, 9, 1, kComma), "  -1234,5");
}

TEST(FixedText, PaddingOfAnAbsurdWidthIsCapped) {
  const std::string text = FixedText(1, INT_MAX, 0, kPoint);
  EXPECT_EQ(text.size(), 256u);
  EXPECT_EQ(text.back(), '1');
  EXPECT_EQ(FixedText(1, INT_MIN, 0, kPoint), "1");
}

TEST(FixedText, LargestValueIsWrittenInFull) {
  const std::string text = FixedText(DBL_MAX, 0, 18, kPoint);
  EXPECT_EQ(text.size(), 309u + 1 + 18);
  EXPECT_EQ(text.substr(0, 17), "17976931348623157");
}

struct GroupedCase {
  double x;
  int decimals;
  const NumberSeparators* seps;
  const char* text;
};

class GroupedTextTest : public ::testing::TestWithParam<GroupedCase> {};

TEST_P(GroupedTextTest, Renders) {
  const GroupedCase& c = GetParam();
  EXPECT_EQ(GroupedText(c.x, c.decimals, *c.seps), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GroupedTextTest,
    ::testing::Values(
        GroupedCase{1234.5, 2, &kPoint, "1,234.50"}, GroupedCase{-1234.5, 2, &kPoint, "-1,234.50"},
        GroupedCase{123, 0, &kPoint, "123"}, GroupedCase{-123, 1, &kPoint, "-123.0"},
        GroupedCase{999.5, 0, &kPoint, "1,000"}, GroupedCase{0.5, 2, &kPoint, "0.50"},
        GroupedCase{1234567.891, 2, &kPoint, "1,234,567.89"},
        GroupedCase{999999999999999, 0, &kPoint, "999,999,999,999,999"},
        // More than 15 integer digits, before or after rounding: general text.
        GroupedCase{1e15, 0, &kPoint, "1E15"}, GroupedCase{999999999999999.6, 0, &kPoint, "1E15"},
        GroupedCase{-12345678901234567.0, 2, &kPoint, "-1.23456789012346E16"},
        GroupedCase{kInf, 2, &kPoint, "INF"}, GroupedCase{1234.5, 2, &kComma, "1.234,50"},
        GroupedCase{-1234567.5, 1, &kFrench,
                    "-1\xC2\xA0"
                    "234\xC2\xA0"
                    "567,5"},
        GroupedCase{1234567.5, 1, &kSwiss,
                    "1\xE2\x80\x99"
                    "234\xE2\x80\x99"
                    "567.5"},
        GroupedCase{1234.5, 2, &kArabic,
                    "1\xD9\xAC"
                    "234\xD9\xAB"
                    "50"}));

struct RoundCase {
  double x;
  int decimals;
  double rounded;
};

class RoundHalfAwayTest : public ::testing::TestWithParam<RoundCase> {};

TEST_P(RoundHalfAwayTest, Rounds) {
  const RoundCase& c = GetParam();
  EXPECT_EQ(RoundHalfAway(c.x, c.decimals), c.rounded);
}

INSTANTIATE_TEST_SUITE_P(Cases, RoundHalfAwayTest,
                         ::testing::Values(RoundCase{2.675, 2, 2.68}, RoundCase{-2.675, 2, -2.68},
                                           RoundCase{0.5, 0, 1}, RoundCase{-0.4, 0, 0},
                                           RoundCase{50759.996, 2, 50760},
                                           RoundCase{1e300, 2, 1e300},
                                           RoundCase{13203180330.1, 4, 13203180330.1},
                                           RoundCase{0.123456789, 30, 0.123456789}));

TEST(RoundHalfAway, ZeroIsPositiveAndNonFiniteUnchanged) {
  EXPECT_FALSE(std::signbit(RoundHalfAway(-0.001, 2)));
  EXPECT_TRUE(std::isnan(RoundHalfAway(kNaN, 2)));
  EXPECT_EQ(RoundHalfAway(-kInf, 2), -kInf);
}

TEST(DecimalExponent, IsThePlaceOfTheLeadingDigit) {
  EXPECT_EQ(DecimalExponent(123.4), 2);
  EXPECT_EQ(DecimalExponent(-123.4), 2);
  EXPECT_EQ(DecimalExponent(1.5E-7), -7);
  EXPECT_EQ(DecimalExponent(5), 0);
  EXPECT_EQ(DecimalExponent(9.99), 0);
  EXPECT_EQ(DecimalExponent(1000), 3);
  EXPECT_EQ(DecimalExponent(0), 0);
  EXPECT_EQ(DecimalExponent(kNaN), 0);
}

}  // namespace
}  // namespace brindle
