#include "exchange/DateTimePattern.h"

#include "common/NumberText.h"

namespace msx {
namespace {

// The locale's formats are patterns themselves and may name one another
// ("c" in a short date format): they are followed two levels deep.
constexpr int32_t kMaxNesting = 2;

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool StartsWithIgnoreCase(std::string_view text, std::size_t at, std::string_view what) {
  if (text.size() - at < what.size()) return false;
  for (std::size_t k = 0; k < what.size(); ++k)
    if (Upper(text[at + k]) != Upper(what[k])) return false;
  return true;
}

// Whether the hour element ending at `from` is on the 12-hour clock: an
// am/pm, a/p or ampm element follows before the next hour element. The
// first "a" outside quotes decides.
bool TwelveHourClock(std::string_view pattern, std::size_t from) {
  char quote = 0;
  for (std::size_t i = from; i < pattern.size(); ++i) {
    const char c = pattern[i];
    if (quote != 0) {
      if (c == quote) quote = 0;
      continue;
    }
    if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == 'h' || c == 'H') {
      return false;
    } else if (c == 'a' || c == 'A') {
      return StartsWithIgnoreCase(pattern, i, "am/pm") || StartsWithIgnoreCase(pattern, i, "a/p") ||
             StartsWithIgnoreCase(pattern, i, "ampm");
    }
  }
  return false;
}

void Number(std::string& out, int32_t v, bool padded, int32_t width = 2) {
  AppendPaddedInt(out, v, padded ? width : 1);
}

void Append(std::string& out, std::string_view pattern, const DateTimeParts& t,
            const platform::LocaleFormats& locale, int32_t nesting) {
  char last = 0;  // the last letter element, for "m" after "h"
  std::size_t i = 0;
  while (i < pattern.size()) {
    const char starter = pattern[i];
    char token = Upper(starter);
    std::size_t count = 1;
    while (i + count < pattern.size() && Upper(pattern[i + count]) == token && IsLetter(starter))
      ++count;
    if (IsLetter(starter)) {
      if (token == 'M' && last == 'H') token = 'N';
      last = token;
    }
    switch (token) {
      case 'Y':
        if (count <= 2)
          Number(out, t.year % 100, true);
        else
          Number(out, t.year, true, 4);
        break;
      case 'M':
        if (count <= 2)
          Number(out, t.month, count == 2);
        else
          out += (count == 3 ? locale.shortMonthNames : locale.longMonthNames)[t.month - 1];
        break;
      case 'D':
        if (count <= 2)
          Number(out, t.day, count == 2);
        else if (count <= 4)
          out += (count == 3 ? locale.shortDayNames : locale.longDayNames)[t.dayOfWeek];
        else if (nesting < kMaxNesting)
          Append(out, count == 5 ? locale.shortDateFormat : locale.longDateFormat, t, locale,
                 nesting + 1);
        break;
      case 'E':
        Number(out, t.year, count >= 2);
        break;
      case 'G':
        out += locale.eraName;
        break;
      case 'H': {
        int32_t hour = t.hour;
        if (TwelveHourClock(pattern, i + count)) {
          hour %= 12;
          if (hour == 0) hour = 12;
        }
        Number(out, hour, count >= 2);
        break;
      }
      case 'N':
        Number(out, t.minute, count >= 2);
        break;
      case 'S':
        Number(out, t.second, count >= 2);
        break;
      case 'Z':
        Number(out, t.millisecond, count >= 3, 3);
        break;
      case 'T':
        if (nesting < kMaxNesting)
          Append(out, count == 1 ? locale.shortTimeFormat : locale.longTimeFormat, t, locale,
                 nesting + 1);
        break;
      case 'C':
        if (nesting < kMaxNesting) {
          Append(out, locale.shortDateFormat, t, locale, nesting + 1);
          if (t.hour != 0 || t.minute != 0 || t.second != 0) {
            out += ' ';
            Append(out, locale.longTimeFormat, t, locale, nesting + 1);
          }
        }
        break;
      case 'A': {
        const bool pm = t.hour >= 12;
        count = 1;
        if (StartsWithIgnoreCase(pattern, i, "am/pm")) {
          out.append(pattern.substr(i + (pm ? 3 : 0), 2));
          count = 5;
        } else if (StartsWithIgnoreCase(pattern, i, "a/p")) {
          out += pattern[i + (pm ? 2 : 0)];
          count = 3;
        } else if (StartsWithIgnoreCase(pattern, i, "ampm")) {
          out += pm ? locale.pmText : locale.amText;
          count = 4;
        } else if (StartsWithIgnoreCase(pattern, i, "aaaa")) {
          out += locale.longDayNames[t.dayOfWeek];
          count = 4;
        } else if (StartsWithIgnoreCase(pattern, i, "aaa")) {
          out += locale.shortDayNames[t.dayOfWeek];
          count = 3;
        } else {
          out += starter;
        }
        break;
      }
      case '/':
        out += locale.dateSeparator;
        break;
      case ':':
        out += locale.timeSeparator;
        break;
      case '"':
      case '\'': {
        const std::size_t close = pattern.find(starter, i + 1);
        const std::size_t end = close == std::string_view::npos ? pattern.size() : close;
        out.append(pattern.substr(i + 1, end - i - 1));
        count = (close == std::string_view::npos ? end : end + 1) - i;
        break;
      }
      default:  // other characters, other letters included, stand as they are
        out.append(pattern.substr(i, count));
        break;
    }
    i += count;
  }
}

}  // namespace

DateTimeParts HostDateTimeParts(int32_t date, int32_t time) {
  DateTimeParts t{};
  t.day = date % 100;
  t.month = (date / 100) % 100;
  t.year = date / 10000;
  t.millisecond = time % 10;
  t.second = (time / 10) % 100;
  t.minute = (time / 1000) % 100;
  t.hour = time / 100000;
  // Sakamoto's rule for the day of the week of a Gregorian date.
  static constexpr int32_t kMonthOffset[12] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
  const int32_t y = t.month < 3 ? t.year - 1 : t.year;
  t.dayOfWeek = (y + y / 4 - y / 100 + y / 400 + kMonthOffset[(t.month + 11) % 12] + t.day) % 7;
  return t;
}

void AppendDateTime(std::string& out, std::string_view pattern, const DateTimeParts& t,
                    const platform::LocaleFormats& locale) {
  Append(out, pattern, t, locale, 0);
}

}  // namespace msx
