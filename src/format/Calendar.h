// Gregorian calendar facts the date formats need (years 1 to 9999).
#pragma once

namespace brindle {

// True when year-month-day is a date of the Gregorian calendar with a year
// from 1 to 9999.
bool IsCalendarDate(int year, int month, int day);

// Day of the year, 1 for 1 January; 0 when the date is not a calendar date.
int DayOfYear(int year, int month, int day);

// Weekday of 1 January of the year, Sunday 0 to Saturday 6; -1 for a year
// outside 1 to 9999.
int NewYearWeekday(int year);

// Week of the year: weeks begin on Sunday and week 1 is the week that holds
// 1 January, so 31 December can be in week 53 or 54. 0 when the date is not
// a calendar date.
int WeekOfYear(int year, int month, int day);

}  // namespace brindle
