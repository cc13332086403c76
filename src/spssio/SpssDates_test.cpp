// Date and time splitting of the I/O module. The expected dates were worked
// out independently of the module (proleptic Gregorian day counts).
#include <cfloat>
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "spssio/Spssio.h"

namespace {

constexpr double kDay = 86400.0;

struct DateCase {
  double value;
  int day, month, year;
};

class SpssDateTest : public ::testing::TestWithParam<DateCase> {};

TEST_P(SpssDateTest, SplitsIntoCalendarDate) {
  const DateCase& c = GetParam();
  int d = 0, m = 0, y = 0;
  ASSERT_EQ(spssConvertSPSSDate(&d, &m, &y, c.value), SPSS_OK);
  EXPECT_EQ(d, c.day);
  EXPECT_EQ(m, c.month);
  EXPECT_EQ(y, c.year);
}

INSTANTIATE_TEST_SUITE_P(
    Boundaries, SpssDateTest,
    ::testing::Values(
        DateCase{0, 14, 10, 1582},             // the first day itself
        DateCase{kDay - 0.001, 14, 10, 1582},  // its last moment
        DateCase{kDay, 15, 10, 1582}, DateCase{6739200, 31, 12, 1582},
        DateCase{6825600, 1, 1, 1583}, DateCase{548380800, 29, 2, 1600},  // leap century
        DateCase{10015401600, 28, 2, 1900},
        DateCase{10015488000, 1, 3, 1900},  // 1900 has no 29 February
        DateCase{13165977600, 31, 12, 1999}, DateCase{13166064000, 1, 1, 2000},
        DateCase{13171075200, 28, 2, 2000}, DateCase{13171161600, 29, 2, 2000},
        DateCase{13171248000, 1, 3, 2000},
        DateCase{13197600000, 31, 12, 2000},  // day 366 of a leap year
        DateCase{13197686400, 1, 1, 2001}, DateCase{13203129600, 5, 3, 2001},
        DateCase{13203129600 + 50730, 5, 3, 2001},  // date and time of day
        DateCase{13203129600 - 0.001, 4, 3, 2001},  // a real fraction stays before midnight
        DateCase{13203129600 - 2e-6, 5, 3, 2001},   // binary noise is midnight
        DateCase{265621593600, 31, 12, 9999}, DateCase{265621593600 + kDay - 1, 31, 12, 9999},
        DateCase{-0.0, 14, 10, 1582}));

TEST(SpssDate, EveryDayFollowsThePreviousOne) {
  // Walks all 3,074,325 days from 14 October 1582 to 31 December 9999 and
  // checks each against the one before: catches every month, leap-year and
  // century fault of the splitting in one pass.
  static constexpr int kLengths[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  int pd = 0, pm = 0, py = 0;
  ASSERT_EQ(spssConvertSPSSDate(&pd, &pm, &py, 0), SPSS_OK);
  long long days = 1;
  for (;; ++days) {
    int d = 0, m = 0, y = 0;
    if (spssConvertSPSSDate(&d, &m, &y, days * kDay + 43200) != SPSS_OK) break;
    const bool leap = (py % 4 == 0 && py % 100 != 0) || py % 400 == 0;
    const int length = kLengths[pm - 1] + (pm == 2 && leap ? 1 : 0);
    if (pd < length) {
      ASSERT_TRUE(d == pd + 1 && m == pm && y == py) << days;
    } else if (pm < 12) {
      ASSERT_TRUE(d == 1 && m == pm + 1 && y == py) << days;
    } else {
      ASSERT_TRUE(d == 1 && m == 1 && y == py + 1) << days;
    }
    pd = d, pm = m, py = y;
  }
  EXPECT_EQ(days, 3074325);
  EXPECT_EQ(pd, 31);
  EXPECT_EQ(pm, 12);
  EXPECT_EQ(py, 9999);
}

class SpssDateRejectTest : public ::testing::TestWithParam<double> {};

TEST_P(SpssDateRejectTest, FailsAndLeavesOutputsAlone) {
  int d = -7, m = -7, y = -7;
  EXPECT_EQ(spssConvertSPSSDate(&d, &m, &y, GetParam()), SPSS_INVALID_DATE);
  EXPECT_EQ(d, -7);
  EXPECT_EQ(m, -7);
  EXPECT_EQ(y, -7);
}

INSTANTIATE_TEST_SUITE_P(BadValues, SpssDateRejectTest,
                         ::testing::Values(-1e-3, -kDay, -DBL_MAX, 265621593600 + kDay, 1e300,
                                           DBL_MAX, std::numeric_limits<double>::infinity(),
                                           -std::numeric_limits<double>::infinity(),
                                           std::numeric_limits<double>::quiet_NaN()));

TEST(SpssDate, NullOutputsAreRejected) {
  int d = 0, m = 0;
  EXPECT_EQ(spssConvertSPSSDate(&d, &m, nullptr, 0), SPSS_INVALID_DATE);
  EXPECT_EQ(spssConvertSPSSDate(nullptr, &m, &d, 0), SPSS_INVALID_DATE);
}

struct TimeCase {
  double value;
  int days, hours, minutes;
  double seconds;
};

class SpssTimeTest : public ::testing::TestWithParam<TimeCase> {};

TEST_P(SpssTimeTest, SplitsIntoDaysHoursMinutesSeconds) {
  const TimeCase& c = GetParam();
  int d = -1, h = -1, mi = -1;
  double s = -1;
  ASSERT_EQ(spssConvertSPSSTime(&d, &h, &mi, &s, c.value), SPSS_OK);
  EXPECT_EQ(d, c.days);
  EXPECT_EQ(h, c.hours);
  EXPECT_EQ(mi, c.minutes);
  EXPECT_EQ(s, c.seconds);  // exact: no stray binary fraction
}

INSTANTIATE_TEST_SUITE_P(
    Values, SpssTimeTest,
    ::testing::Values(TimeCase{0, 0, 0, 0, 0}, TimeCase{50730, 0, 14, 5, 30},
                      TimeCase{50705.5, 0, 14, 5, 5.5}, TimeCase{93780, 1, 2, 3, 0},
                      TimeCase{86399.5, 0, 23, 59, 59.5}, TimeCase{86400, 1, 0, 0, 0},
                      // Built by arithmetic, a few units in the last place off the second.
                      TimeCase{(14 + 5 / 60.0 + 30 / 3600.0) * 3600, 0, 14, 5, 30},
                      TimeCase{std::nextafter(50730.0, 0.0), 0, 14, 5, 30},
                      TimeCase{std::nextafter(50760.0, 0.0), 0, 14, 6, 0},
                      TimeCase{std::nextafter(86400.0, 0.0), 1, 0, 0, 0},
                      // A whole date-time value: days counted from 14 October 1582.
                      TimeCase{13203129600 + 50730, 152814, 14, 5, 30},
                      TimeCase{2147483647.0 * 86400 + 86399, 2147483647, 23, 59, 59}));

TEST(SpssTime, RealFractionsAreKept) {
  int d = 0, h = 0, mi = 0;
  double s = 0;
  ASSERT_EQ(spssConvertSPSSTime(&d, &h, &mi, &s, 50729.9), SPSS_OK);
  EXPECT_EQ(mi, 5);
  EXPECT_NEAR(s, 29.9, 1e-9);
}

class SpssTimeRejectTest : public ::testing::TestWithParam<double> {};

TEST_P(SpssTimeRejectTest, FailsAndLeavesOutputsAlone) {
  int d = -7, h = -7, mi = -7;
  double s = -7;
  EXPECT_EQ(spssConvertSPSSTime(&d, &h, &mi, &s, GetParam()), SPSS_INVALID_TIME);
  EXPECT_EQ(d, -7);
  EXPECT_EQ(h, -7);
  EXPECT_EQ(mi, -7);
  EXPECT_EQ(s, -7);
}

INSTANTIATE_TEST_SUITE_P(BadValues, SpssTimeRejectTest,
                         ::testing::Values(-1, -0.5, -DBL_MAX, 2147483648.0 * 86400, 1e300, DBL_MAX,
                                           std::numeric_limits<double>::infinity(),
                                           std::numeric_limits<double>::quiet_NaN()));

TEST(SpssTime, NullOutputsAreRejected) {
  int d = 0, h = 0;
  double s = 0;
  EXPECT_EQ(spssConvertSPSSTime(&d, &h, nullptr, &s, 0), SPSS_INVALID_TIME);
  EXPECT_EQ(spssConvertSPSSTime(&d, &h, &h, nullptr, 0), SPSS_INVALID_TIME);
}

}  // namespace
