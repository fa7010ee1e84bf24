// The proleptic Gregorian calendar of host dates, years 1 to 9999.
#pragma once

#include <cstdint>

namespace msx {

constexpr bool IsLeapYear(int32_t year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

// Days in a month 1 to 12 of a year.
constexpr int32_t DaysInMonth(int32_t year, int32_t month) {
  constexpr int32_t kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// True for a real calendar date in the years 1 to 9999.
constexpr bool IsCalendarDate(int32_t year, int32_t month, int32_t day) {
  return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
         day <= DaysInMonth(year, month);
}

}  // namespace msx
