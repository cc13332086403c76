#include "datafile/MissingValueText.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>
#include <string>

namespace brindle {
namespace {

// The module's lowest value: the second-lowest double.
const double kLowest = std::nextafter(-DBL_MAX, 0.0);
const double kHighest = DBL_MAX;

struct NumericCase {
  int format;
  double m1, m2, m3;
  const char* decimal;
  const char* text;
};

class NumericMissingTextTest : public ::testing::TestWithParam<NumericCase> {};

TEST_P(NumericMissingTextTest, ComposesTheText) {
  const NumericCase& c = GetParam();
  const NumberSeparators seps{c.decimal, ""};
  EXPECT_EQ(NumericMissingText(c.format, c.m1, c.m2, c.m3, kLowest, kHighest, seps), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, NumericMissingTextTest,
    ::testing::Values(NumericCase{0, 1, 2, 3, ".", ""}, NumericCase{1, -9, 0, 0, ".", "-9"},
                      NumericCase{2, 7, 8.5, 0, ".", "7 8.5"},
                      NumericCase{3, 1, 2, 3, ".", "1 2 3"}, NumericCase{1, 1.5, 0, 0, ",", "1,5"},
                      NumericCase{-2, kLowest, kHighest, 0, ".", "lowest thru highest"},
                      NumericCase{-2, 90, 99, 0, ".", "90 thru 99"},
                      NumericCase{-3, kLowest, 0, 99, ".", "lowest thru 0 99"},
                      NumericCase{-3, 1, kHighest, kLowest, ".",
                                  "1 thru highest -1.79769313486232E308"},
                      // Only range ends become words, and only on exact equality.
                      NumericCase{-2, -DBL_MAX, 1e300, 0, ".", "-1.79769313486232E308 thru 1E300"},
                      NumericCase{4, 1, 2, 3, ".", "Invalid format code"},
                      NumericCase{14, 1, 2, 3, ".", "Invalid format code"}));

struct StringCase {
  int format;
  const char* v1;
  const char* v2;
  const char* v3;
  const char* text;
};

class StringMissingTextTest : public ::testing::TestWithParam<StringCase> {};

TEST_P(StringMissingTextTest, QuotesTrimmedValues) {
  const StringCase& c = GetParam();
  EXPECT_EQ(StringMissingText(c.format, c.v1, c.v2, c.v3), c.text);
}

INSTANTIATE_TEST_SUITE_P(Formats, StringMissingTextTest,
                         ::testing::Values(StringCase{1, "Y", "", "", "'Y'"},
                                           StringCase{2, "NA      ", "DK      ", "", "'NA' 'DK'"},
                                           StringCase{3, "a", "b ", "c\t\r\x7f ", "'a' 'b' 'c'"},
                                           StringCase{1, "O'K", "", "", "'O''K'"},
                                           StringCase{1, "''", "", "", "''''''"},
                                           StringCase{1, "        ", "", "", "''"},
                                           StringCase{1, "caf\xC3\xA9  ", "", "", "'caf\xC3\xA9'"},
                                           StringCase{0, "x", "", "", ""},
                                           StringCase{4, "x", "y", "z", ""}));

TEST(StringMissingTextEmbeddedZero, TrailingZeroBytesAreTrimmed) {
  EXPECT_EQ(StringMissingText(1, std::string("AB\0\0", 4), "", ""), "'AB'");
}

TEST(CutToCharactersTest, CutsOnCharacterBoundaries) {
  struct Case {
    std::string text;
    std::size_t max;
    std::string cut;
  };
  std::string e31;
  for (int i = 0; i < 31; ++i) e31 += "\xC3\xA9";  // é, two bytes each
  const Case cases[] = {
      {std::string(35, 'x'), 30, std::string(30, 'x')},
      {std::string(30, 'x'), 30, std::string(30, 'x')},
      {"short", 30, "short"},
      {e31, 30, e31.substr(0, 60)},
      {std::string(29, 'x') + "\xE2\x82\xAC" + "yz", 30, std::string(29, 'x') + "\xE2\x82\xAC"},
      {std::string(29, 'x') + "\xF0\x9F\x98\x80", 30, std::string(29, 'x') + "\xF0\x9F\x98\x80"},
      {"", 30, ""},
      {"abc", 0, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(CutToCharacters(c.text, c.max), c.cut) << c.text;
}

struct MissCase {
  int format;
  double m1, m2, m3;
  double x;
  bool missing;
};

class IsMissingValueTest : public ::testing::TestWithParam<MissCase> {};

TEST_P(IsMissingValueTest, FollowsTheFormat) {
  const MissCase& c = GetParam();
  VarRecord v;
  v.missingFormat = c.format;
  v.nMiss1 = c.m1;
  v.nMiss2 = c.m2;
  v.nMiss3 = c.m3;
  EXPECT_EQ(IsMissingValue(c.x, v), c.missing);
}

const double kNaN = std::numeric_limits<double>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(
    Formats, IsMissingValueTest,
    ::testing::Values(MissCase{0, 0, 0, 0, 0, false}, MissCase{1, 9, 0, 0, 9, true},
                      MissCase{1, 0.3, 0, 0, 0.1 + 0.2, false},  // exact comparison
                      MissCase{2, 9, 8, 0, 8, true}, MissCase{2, 9, 8, 7, 7, false},
                      MissCase{3, 9, 8, 7, 7, true}, MissCase{-2, 1, 5, 0, 1, true},
                      MissCase{-2, 1, 5, 9, 9, false}, MissCase{-2, 1, 5, 0, 5.000001, false},
                      MissCase{-3, 1, 5, 9, 9, true}, MissCase{-3, 1, 5, 9, 0, false},
                      MissCase{-2, -DBL_MAX, DBL_MAX, 0, kNaN, false},
                      MissCase{14, 0, 0, 0, 0, false}));

}  // namespace
}  // namespace brindle
