#include "format/Calendar.h"
#include "spssio/AsciiText.h"

namespace brindle {
namespace {

constexpr int kDaysBeforeMonth[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};

int MonthLength(int year, int month) {
  static constexpr int kLengths[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return kLengths[month - 1] + (month == 2 && IsLeapYear(year) ? 1 : 0);
}

}  // namespace

bool IsCalendarDate(int year, int month, int day) {
  return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
         day <= MonthLength(year, month);
}

int DayOfYear(int year, int month, int day) {
  if (!IsCalendarDate(year, month, day)) return 0;
  return kDaysBeforeMonth[month - 1] + (month > 2 && IsLeapYear(year) ? 1 : 0) + day;
}

int NewYearWeekday(int year) {
  if (year < 1 || year > 9999) return -1;
  // 1 January of year 1 (proleptic Gregorian) was a Monday; count the days
  // since then. At most about 3.65 million, well inside int.
  const int y = year - 1;
  const int daysBefore = 365 * y + y / 4 - y / 100 + y / 400;
  return (1 + daysBefore) % 7;
}

int WeekOfYear(int year, int month, int day) {
  const int n = DayOfYear(year, month, day);
  if (n == 0) return 0;
  return 1 + (n - 1 + NewYearWeekday(year)) / 7;
}

}  // namespace brindle
