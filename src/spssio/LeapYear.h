// The Gregorian calendar's leap years, for SPSS dates and the calendar's
// arithmetic above them.
#pragma once

namespace brindle {

constexpr bool IsLeapYear(long long year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

}  // namespace brindle
