#include "format/FormatValue.h"

#include <climits>
#include <limits>

#include <gtest/gtest.h>

namespace brindle {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// 5 March 2001 at midnight and 14:05:30, as SPSS stores them.
constexpr double kMarch5 = 13203129600;
constexpr double kTime = 14 * 3600 + 5 * 60 + 30;
constexpr double k1d2h3m = 86400 + 2 * 3600 + 3 * 60;

const NumberSeparators kPoint;
const NumberSeparators kComma{",", "."};
const NumberSeparators kFrench{",", "\xC2\xA0"};

TEST(FormatTypeName, NamesEveryCodeOfTheTable) {
  const char* names[] = {"",       "A",        "AHEX",  "F",     "DOLLAR", "F",     "IB",
                         "PIBHEX", "P",        "PIB",   "PK",    "RB",     "RBHEX", "",
                         "",       "Z",        "N",     "E",     "",       "",      "DATE",
                         "TIME",   "DATETIME", "ADATE", "JDATE", "DTIME",  "WKDAY", "MONTH",
                         "MOYR",   "QYR",      "WKYR",  "PCT",   "DOT",    "CCA",   "CCB",
                         "CCC",    "CCD",      "CCE",   "EDATE", "SDATE",  ""};
  for (int code = 0; code <= 40; ++code) EXPECT_EQ(FormatTypeName(code), names[code]) << code;
  EXPECT_EQ(FormatTypeName(-1), "");
  EXPECT_EQ(FormatTypeName(INT_MIN), "");
  EXPECT_EQ(FormatTypeName(INT_MAX), "");
}

TEST(PrintFormatText, NameWidthAndDecimalsCutTo12) {
  EXPECT_EQ(PrintFormatText({5, 8, 2}), "F8.2");
  EXPECT_EQ(PrintFormatText({1, 20, 0}), "A20");
  EXPECT_EQ(PrintFormatText({22, 20, 0}), "DATETIME20");
  EXPECT_EQ(PrintFormatText({3, 8, 2}), "F8.2");
  EXPECT_EQ(PrintFormatText({4, 10, -1}), "DOLLAR10");
  EXPECT_EQ(PrintFormatText({13, 8, 2}), "8.2");
  EXPECT_EQ(PrintFormatText({22, 40, 5}), "DATETIME40.5");
  EXPECT_EQ(PrintFormatText({22, 400, 16}), "DATETIME400.");
  EXPECT_EQ(PrintFormatText({5, INT_MIN, INT_MAX}), "F-2147483648");
}

struct ValueCase {
  int fmt, wid, dec;
  bool on;
  double value;
  const char* text;
};

void PrintTo(const ValueCase& c, std::ostream* os) {
  *os << c.fmt << "/" << c.wid << "." << c.dec << (c.on ? " on " : " off ") << c.text;
}

class FormatValueTest : public ::testing::TestWithParam<ValueCase> {};

TEST_P(FormatValueTest, Renders) {
  const ValueCase& c = GetParam();
  EXPECT_EQ(FormatValue(c.value, {c.fmt, c.wid, c.dec}, c.on, kPoint), c.text);
}

INSTANTIATE_TEST_SUITE_P(Examples, FormatValueTest,
                         ::testing::Values(ValueCase{20, 11, 0, true, kMarch5, "5-03-2001"},
                                           ValueCase{23, 10, 0, true, kMarch5, "3/05/2001"},
                                           ValueCase{38, 10, 0, true, kMarch5, "5.03.2001"},
                                           ValueCase{39, 10, 0, true, kMarch5, "2001.03.05"},
                                           ValueCase{24, 7, 0, true, kMarch5, "2001064"},
                                           ValueCase{28, 8, 0, true, kMarch5, "3 2001"},
                                           ValueCase{29, 8, 0, true, kMarch5, "1 Q 2001"},
                                           ValueCase{30, 10, 0, true, kMarch5, "10 WK 2001"},
                                           ValueCase{5, 8, 2, true, 3.14159, "     3.14"},
                                           ValueCase{4, 10, 2, true, 1234.5, "$1,234.50"},
                                           ValueCase{4, 10, 2, true, -1234.5, "$-1,234.50"},
                                           ValueCase{21, 5, 0, true, kTime, "14:05"},
                                           ValueCase{21, 11, 2, true, kTime, "14:05:30.00"},
                                           ValueCase{21, 10, 1, true, kTime - 24.5, "14:05:5.5"},
                                           ValueCase{22, 20, 0, false, kMarch5 + kTime,
                                                     "5-3-2001 14:5:30"}));

INSTANTIATE_TEST_SUITE_P(
    EdgeCases, FormatValueTest,
    ::testing::Values(
        // TIME counts hours past 24 and ignores the width.
        ValueCase{21, 5, 0, true, k1d2h3m, "26:03"},
        ValueCase{21, 40, 0, true, k1d2h3m + 59, "26:03"},
        // 1 January is day 001 and week 1; weeks 53 and 54 at the year's end.
        ValueCase{24, 7, 0, true, 13197686400, "2001001"},
        ValueCase{30, 10, 0, true, 13197686400, "1 WK 2001"},
        ValueCase{30, 10, 0, true, 13544668800, "53 WK 2011"},
        ValueCase{30, 10, 0, true, 13197600000, "54 WK 2000"},
        ValueCase{24, 7, 0, true, 13197600000, "2000366"},
        ValueCase{29, 8, 0, true, 13197600000, "4 Q 2000"}, ValueCase{24, 7, 0, true, 0, "1582287"},
        // Code 3 is general text without grouping, whatever the option.
        ValueCase{3, 8, 2, true, 1234567.5, "1234567.5"},
        ValueCase{3, 8, 2, false, 1234567.5, "1234567.5"},
        ValueCase{31, 6, 2, false, 12.34, "12.34%"}, ValueCase{31, 6, 2, true, 12.34, "  12.34%"},
        // F pads to Wid + 1 and never cuts.
        ValueCase{5, 3, 0, true, 5, "   5"}, ValueCase{5, 5, 2, true, 123456.789, "123456.79"},
        ValueCase{5, 8, 2, true, 2.675, "     2.68"}, ValueCase{5, 8, 2, false, 3.14159, "3.14159"},
        ValueCase{4, 10, 2, false, 1234.5, "$1234.5"}, ValueCase{4, 10, 0, true, -0.4, "$0"},
        // The date families look the same with the option off.
        ValueCase{20, 11, 0, false, kMarch5 + kTime, "5-03-2001"},
        ValueCase{39, 10, 0, false, kMarch5, "2001.03.05"},
        ValueCase{20, 11, 0, true, 0, "14-10-1582"},
        ValueCase{20, 11, 0, true, 265621593600, "31-12-9999"},
        // DTIME and DATETIME.
        ValueCase{25, 9, 0, true, k1d2h3m, "1 2:03"},
        ValueCase{25, 12, 2, true, k1d2h3m + 4.5, "1 2:03:4.50"},
        ValueCase{25, 12, 2, false, k1d2h3m + 4.5, "1 2:3:4.5"},
        ValueCase{22, 17, 0, true, kMarch5 + kTime, "5-03-2001 14:05"},
        ValueCase{22, 23, 2, true, kMarch5 + kTime, "5-03-2001 14:05:30.00"},
        ValueCase{21, 8, 0, false, kTime, "14:5:30"},
        ValueCase{21, 8, 0, false, k1d2h3m + 4.5, "26:3:4.5"},
        // Negative times and durations: the size with a leading "-".
        ValueCase{21, 5, 0, true, -5000, "-1:23"}, ValueCase{21, 11, 2, true, -5000, "-1:23:20.00"},
        ValueCase{21, 8, 0, false, -90061.25, "-25:1:1.25"},
        ValueCase{25, 14, 2, true, -90061.25, "-1 1:01:1.25"},
        ValueCase{21, 11, 2, true, -59.996, "-0:01:0.00"},
        // Seconds round into the minute and the day, never to 60.
        ValueCase{21, 11, 2, true, kTime + 29.996, "14:06:0.00"},
        ValueCase{22, 23, 2, true, kMarch5 + 86399.996, "6-03-2001 0:00:0.00"},
        ValueCase{21, 8, 0, false, kTime + 29.9999999999999, "14:6:0"},
        // With Dec 0 the seconds are not shown, nor rounded into the minute.
        ValueCase{21, 5, 0, true, kTime + 29.9, "14:05"},
        // Seconds carry no digits beyond what the value itself holds.
        ValueCase{21, 8, 0, false, kTime + 0.1, "14:5:30.1"},
        ValueCase{22, 20, 0, false, kMarch5 + kTime + 0.1, "5-3-2001 14:5:30.1"},
        ValueCase{22, 30, 6, true, kMarch5 + kTime + 0.1, "5-03-2001 14:05:30.100000"},
        // Types without a rendering of their own: general text.
        ValueCase{1, 8, 0, true, 3.5, "3.5"}, ValueCase{26, 9, 0, true, 3, "3"},
        ValueCase{27, 9, 0, true, 1E20, "1E20"}, ValueCase{99, 8, 2, true, -1.5E-7, "-1.5E-7"},
        ValueCase{-1, 8, 2, true, 0.25, "0.25"},
        // Values that are not dates or times.
        ValueCase{20, 11, 0, true, -1, "ERROR"}, ValueCase{30, 10, 0, true, -86400, "ERROR"},
        ValueCase{20, 11, 0, true, kNaN, "ERROR"},
        ValueCase{24, 7, 0, true, 265621593600 + 86400, "ERROR"},
        ValueCase{21, 5, 0, true, -kInf, "ERROR"}, ValueCase{22, 20, 0, true, -60, "ERROR"},
        ValueCase{25, 5, 2, false, 1e300, "ERROR"},
        ValueCase{22, 20, 0, true, 265621593600 + 86400, "ERROR"},
        ValueCase{22, 20, 2, false, kInf, "ERROR"}, ValueCase{5, 8, 2, true, kNaN, "      NAN"},
        ValueCase{4, 8, 2, true, -kInf, "$-INF"}));

TEST(FormatValue, AbsurdWidthAndDecimalsAreBounded) {
  const std::string expected = std::string(236, ' ') + "1." + std::string(18, '0');
  EXPECT_EQ(FormatValue(1, {5, INT_MAX, INT_MAX}, true, kPoint), expected);
  EXPECT_EQ(FormatValue(1, {31, INT_MIN, INT_MIN}, true, kPoint), "1%");
}

TEST(FormatValue, UsesTheGivenSeparators) {
  EXPECT_EQ(FormatValue(-1234.5, {4, 10, 2}, true, kComma), "$-1.234,50");
  EXPECT_EQ(FormatValue(-1234.5, {4, 10, 2}, true, kFrench),
            "$-1\xC2\xA0"
            "234,50");
  EXPECT_EQ(FormatValue(3.14159, {5, 8, 2}, true, kComma), "     3,14");
  EXPECT_EQ(FormatValue(12.34, {31, 6, 2}, false, kComma), "12,34%");
  EXPECT_EQ(FormatValue(kTime, {21, 11, 2}, true, kComma), "14:05:30,00");
  EXPECT_EQ(FormatValue(kTime + 0.5, {21, 11, 2}, false, kComma), "14:5:30,5");
}

TEST(FormatValue, NeverEmpty) {
  const double values[] = {0, -0.0, 1, -1, 0.5, kMarch5, 1e300, -1e300, kInf, -kInf, kNaN};
  for (int fmt = -2; fmt <= 42; ++fmt)
    for (int dec : {INT_MIN, -1, 0, 2, 40, INT_MAX})
      for (bool on : {true, false})
        for (double v : values)
          EXPECT_FALSE(FormatValue(v, {fmt, 8, dec}, on, kPoint).empty())
              << fmt << " " << dec << " " << on << " " << v;
}

struct StatisticCase {
  int fmt, wid, dec;
  bool on;
  double value;
  const char* text;
};

class FormatStatisticTest : public ::testing::TestWithParam<StatisticCase> {};

TEST_P(FormatStatisticTest, Renders) {
  const StatisticCase& c = GetParam();
  std::string target = "stale";
  FormatStatistic(c.value, {c.fmt, c.wid, c.dec}, c.on, kPoint, target);
  EXPECT_EQ(target, c.text);
}

INSTANTIATE_TEST_SUITE_P(Cases, FormatStatisticTest,
                         ::testing::Values(
                             // F: two more decimals than the variable's own, in its width + 1.
                             StatisticCase{5, 8, 2, true, 3.14159, "   3.1416"},
                             StatisticCase{5, 4, 0, true, 2.675, " 2.68"},
                             StatisticCase{5, 8, 2, false, 3.14159, "3.14159"},
                             StatisticCase{5, 8, INT_MAX, true, 0.5, "0.500000000000000000"},
                             // Other types follow FormatValue with the option on, and get the
                             // general number text with it off.
                             StatisticCase{20, 11, 0, true, kMarch5 + 43200, "5-03-2001"},
                             StatisticCase{20, 11, 0, false, kMarch5, "13203129600"},
                             StatisticCase{4, 10, 2, true, 1234.567, "$1,234.57"},
                             StatisticCase{4, 10, 2, false, 1234.567, "1234.567"},
                             StatisticCase{3, 8, 2, true, 1234.567, "1234.567"},
                             StatisticCase{21, 5, 0, true, -1, "-0:00"},
                             StatisticCase{22, 17, 0, true, -1, "ERROR"}));

}  // namespace
}  // namespace brindle
