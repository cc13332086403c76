// Date and time splitting of SPSS values (seconds since 14 October 1582).
//
// Accepted range: a date must lie from 14 October 1582 00:00 (value 0) up to
// the end of 31 December 9999; a time or duration must be at least 0 and its
// whole days must fit an int. Negative values, NaN and infinities fail with
// SPSS_INVALID_DATE / SPSS_INVALID_TIME, as do null out pointers; on failure
// the out parameters are left untouched. Days before the calendar's start are
// rejected rather than projected backwards, and a negative duration has no
// split into hours 0-23 and minutes 0-59 that would read correctly.
#include <cfloat>
#include <climits>
#include <cmath>

#include "spssio/AsciiText.h"
#include "spssio/Spssio.h"

namespace {

constexpr double kSecondsPerDay = 86400.0;

constexpr long long DaysBeforeYear(long long year) {
  const long long y = year - 1;
  return 365 * y + y / 4 - y / 100 + y / 400;
}

// Day 0 of SPSS dates, counted from 1 January of year 1 (day 0 there):
// 1582 is a common year and 14 October is its 287th day.
constexpr long long kEpochDay = DaysBeforeYear(1582) + 286;
// First day that is no longer representable: 1 January 10000.
constexpr long long kEndDay = DaysBeforeYear(10000) - kEpochDay;

// Values computed by arithmetic (a time built from hours times 3600, a sum of
// a date and a time) can land a few units in the last place below a whole
// second; splitting those exactly would give 14:05:29.99999... for 14:05:30,
// or 59.9999... seconds that a caller rounds up to 60. Such values are taken
// as the whole second they stand for. The tolerance is a few units of the
// double's own precision, far below anything the value can carry.
double SnapToWholeSecond(double v) {
  const double whole = std::nearbyint(v);
  if (std::fabs(v - whole) <= 8.0 * DBL_EPSILON * std::fmax(std::fabs(v), 1.0)) return whole;
  return v;
}

// Splits v >= 0 into whole units of `unit` seconds and the rest. fmod is
// exact, and so is the subtraction, so the rest is never negative and never
// reaches `unit`, which a division and floor could not promise.
double SplitOff(double v, double unit, double* rest) {
  *rest = std::fmod(v, unit);
  return (v - *rest) / unit;
}

}  // namespace

int spssConvertSPSSDate(int* day, int* month, int* year, double spssDate) {
  if (!day || !month || !year || !std::isfinite(spssDate) || spssDate < 0) return SPSS_INVALID_DATE;
  const double v = SnapToWholeSecond(spssDate);
  if (v >= static_cast<double>(kEndDay) * kSecondsPerDay) return SPSS_INVALID_DATE;

  double secondsOfDay = 0;
  long long n = static_cast<long long>(SplitOff(v, kSecondsPerDay, &secondsOfDay)) + kEpochDay;

  // n counts days from 1 January of year 1; peel off 400-, 100-, 4- and
  // 1-year blocks. The last day of a 400- or 4-year block is the leap day,
  // which the caps on the 100- and 1-year counts keep inside the block.
  long long y = 1 + 400 * (n / 146097);
  n %= 146097;
  long long centuries = n / 36524;
  if (centuries == 4) centuries = 3;
  y += 100 * centuries;
  n -= 36524 * centuries;
  y += 4 * (n / 1461);
  n %= 1461;
  long long years = n / 365;
  if (years == 4) years = 3;
  y += years;
  n -= 365 * years;

  static constexpr int kMonthDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  int m = 0;
  while (true) {
    const int length = kMonthDays[m] + (m == 1 && brindle::IsLeapYear(y) ? 1 : 0);
    if (n < length) break;
    n -= length;
    ++m;
  }
  *day = static_cast<int>(n) + 1;
  *month = m + 1;
  *year = static_cast<int>(y);
  return SPSS_OK;
}

int spssConvertSPSSTime(int* day, int* hour, int* minute, double* second, double spssTime) {
  if (!day || !hour || !minute || !second || !std::isfinite(spssTime) || spssTime < 0)
    return SPSS_INVALID_TIME;
  const double v = SnapToWholeSecond(spssTime);
  double secondsOfDay = 0;
  const double days = SplitOff(v, kSecondsPerDay, &secondsOfDay);
  if (days > static_cast<double>(INT_MAX)) return SPSS_INVALID_TIME;

  double secondsOfHour = 0;
  const double hours = SplitOff(secondsOfDay, 3600.0, &secondsOfHour);
  double seconds = 0;
  const double minutes = SplitOff(secondsOfHour, 60.0, &seconds);
  *day = static_cast<int>(days);
  *hour = static_cast<int>(hours);
  *minute = static_cast<int>(minutes);
  *second = seconds;
  return SPSS_OK;
}
