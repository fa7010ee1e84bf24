// The date-time pattern of WriteDataEx. Our own parser: letters are
// case-insensitive, and any text is safe.
//
//   d dd        day of month without / with leading zero
//   ddd dddd    short / long day name           (also aaa aaaa)
//   ddddd       the locale's short date format  (dddddd and more: long)
//   m mm        month; minutes right after an hour element
//   mmm mmmm    short / long month name
//   yy yyyy     two / four digit year (y: two, three or more: four)
//   h hh        hour; 12-hour clock when am/pm, a/p or ampm follows
//   n nn        minute          s ss  second      z zzz  milliseconds
//   e ee g gg   year and name of the era
//   t tt        the locale's short / long time format
//   c           short date, and unless the time is 00:00:00 a blank and the
//               long time
//   am/pm a/p   "am"/"pm", "a"/"p" in the letter case written
//   ampm        the locale's AM or PM text
//   / :         the locale's date and time separators
//   "..." '...' copied as they stand (an unclosed quote runs to the end)
//   anything else is copied
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Platform.h"

namespace msx {

struct DateTimeParts {
  int32_t year, month, day;  // a real calendar date
  int32_t hour, minute, second, millisecond;
  int32_t dayOfWeek;  // 0 Sunday to 6 Saturday
};

// The parts of a host date (YYYYMMDD) and time (HHMMSS and a digit of
// milliseconds). The caller has checked them (HostDateTime).
DateTimeParts HostDateTimeParts(int32_t date, int32_t time);

void AppendDateTime(std::string& out, std::string_view pattern, const DateTimeParts& t,
                    const platform::LocaleFormats& locale);

}  // namespace msx
