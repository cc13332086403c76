#include "format/Calendar.h"

#include <gtest/gtest.h>

namespace brindle {
namespace {

struct CalendarCase {
  int year, month, day;
  int dayOfYear;
  int week;
};

class CalendarTest : public ::testing::TestWithParam<CalendarCase> {};

TEST_P(CalendarTest, DayAndWeekOfYear) {
  const CalendarCase& c = GetParam();
  EXPECT_EQ(IsCalendarDate(c.year, c.month, c.day), c.dayOfYear != 0);
  EXPECT_EQ(DayOfYear(c.year, c.month, c.day), c.dayOfYear);
  EXPECT_EQ(WeekOfYear(c.year, c.month, c.day), c.week);
}

INSTANTIATE_TEST_SUITE_P(
    Dates, CalendarTest,
    ::testing::Values(CalendarCase{2001, 1, 1, 1, 1}, CalendarCase{2000, 1, 1, 1, 1},
                      CalendarCase{2006, 1, 1, 1, 1}, CalendarCase{1, 1, 1, 1, 1},
                      CalendarCase{9999, 1, 1, 1, 1}, CalendarCase{2001, 3, 5, 64, 10},
                      // 2006 begins on a Sunday: week 2 begins on 8 January.
                      CalendarCase{2006, 1, 7, 7, 1}, CalendarCase{2006, 1, 8, 8, 2},
                      // 2001 begins on a Monday: week 2 begins on Sunday 7 January.
                      CalendarCase{2001, 1, 6, 6, 1}, CalendarCase{2001, 1, 7, 7, 2},
                      // Common year beginning on a Saturday (2011), leap year (2000).
                      CalendarCase{2011, 12, 31, 365, 53}, CalendarCase{2000, 12, 31, 366, 54},
                      CalendarCase{2000, 2, 29, 60, 10}, CalendarCase{2000, 3, 1, 61, 10},
                      CalendarCase{2001, 12, 31, 365, 53}, CalendarCase{1582, 10, 14, 287, 42},
                      // Not calendar dates.
                      CalendarCase{0, 1, 1, 0, 0}, CalendarCase{10000, 1, 1, 0, 0},
                      CalendarCase{-5, 1, 1, 0, 0}, CalendarCase{2001, 2, 29, 0, 0},
                      CalendarCase{1900, 2, 29, 0, 0}, CalendarCase{2001, 13, 1, 0, 0},
                      CalendarCase{2001, 0, 1, 0, 0}, CalendarCase{2001, 4, 31, 0, 0},
                      CalendarCase{2001, 4, 0, 0, 0}));

TEST(Calendar, NewYearWeekday) {
  EXPECT_EQ(NewYearWeekday(1), 1);     // Monday
  EXPECT_EQ(NewYearWeekday(2000), 6);  // Saturday
  EXPECT_EQ(NewYearWeekday(2001), 1);
  EXPECT_EQ(NewYearWeekday(2006), 0);  // Sunday
  EXPECT_EQ(NewYearWeekday(2024), 1);
  EXPECT_EQ(NewYearWeekday(9999), 5);  // Friday
  EXPECT_EQ(NewYearWeekday(0), -1);
  EXPECT_EQ(NewYearWeekday(10000), -1);
}

}  // namespace
}  // namespace brindle
