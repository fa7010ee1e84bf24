// WriteDataEx's date-time pattern over any pattern text and any locale
// formats (which are patterns themselves and may name one another): the
// text is appended after what the line holds, its length stays within what
// two levels of formats can give, quoted text comes out as it stands, and
// the parts of any date and time the host may pass index the name tables.
#include <algorithm>
#include <exception>

#include "FuzzInput.h"
#include "common/Fault.h"
#include "common/MSX_QMR_CommonFunc.h"
#include "exchange/DateTimePattern.h"

namespace {

// The longest text one element gives without following a format: a name,
// a separator, an era or am/pm text, or a number.
std::size_t LongestElement(const msx::platform::LocaleFormats& l) {
  std::size_t longest = 11;  // a 32-bit number and its sign
  for (const auto* names : {l.shortDayNames, l.longDayNames})
    for (int k = 0; k < 7; ++k) longest = std::max(longest, names[k].size());
  for (const auto* names : {l.shortMonthNames, l.longMonthNames})
    for (int k = 0; k < 12; ++k) longest = std::max(longest, names[k].size());
  for (const std::string* s :
       {&l.amText, &l.pmText, &l.dateSeparator, &l.timeSeparator, &l.eraName})
    longest = std::max(longest, s->size());
  return longest;
}

std::size_t LongestFormat(const msx::platform::LocaleFormats& l) {
  return std::max({l.shortDateFormat.size(), l.longDateFormat.size(), l.shortTimeFormat.size(),
                   l.longTimeFormat.size()});
}

std::string Stamp(std::string_view pattern, const msx::DateTimeParts& t,
                  const msx::platform::LocaleFormats& locale) {
  std::string out;
  msx::AppendDateTime(out, pattern, t, locale);
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::vector<std::string_view> parts = fuzz::Parts(data, size, 6);
  const std::string_view pattern = parts[0];
  const auto nuls = static_cast<std::size_t>(std::count(data, data + size, 0));
  msx::platform::LocaleFormats locale;
  std::string* const formats[] = {&locale.shortDateFormat, &locale.longDateFormat,
                                  &locale.shortTimeFormat, &locale.longTimeFormat};
  for (std::size_t k = 0; k < 4 && k < nuls; ++k) *formats[k] = std::string(parts[k + 1]);
  std::string_view raw = parts[5];
  const auto date = fuzz::Take<int32_t>(raw);
  const auto time = fuzz::Take<int32_t>(raw);

  std::vector<msx::DateTimeParts> stamps = {msx::HostDateTimeParts(20040302, 1030000),
                                            msx::HostDateTimeParts(19991231, 2359599),
                                            msx::HostDateTimeParts(20240101, 0)};
  try {
    (void)msx::HostDateTime(date, time);  // what WriteDataEx checks first
    const msx::DateTimeParts t = msx::HostDateTimeParts(date, time);
    if (t.month < 1 || t.month > 12 || t.dayOfWeek < 0 || t.dayOfWeek > 6 || t.hour > 23 ||
        t.minute > 59 || t.second > 59 || t.millisecond > 9 || t.millisecond < 0)
      fuzz::Fail("parts out of range for the host's date " + std::to_string(date) + " and time " +
                 std::to_string(time));
    stamps.push_back(t);
  } catch (const msx::Fault&) {
    // not a date and time the pattern is ever asked to format
  }

  const auto shown = [&] { return fuzz::Printable(pattern); };
  const std::size_t element = LongestElement(locale);
  const std::size_t format = LongestFormat(locale);
  // Per pattern character: an element, or (for "c") two formats and a blank
  // whose characters are elements or, one level down, two formats again.
  const std::size_t level1 = std::max(element, 2 * format * element + 1);
  const std::size_t level0 = std::max(element, 2 * format * level1 + 1);
  for (const msx::DateTimeParts& t : stamps) {
    std::string out = "line so far,";
    msx::AppendDateTime(out, pattern, t, locale);
    if (out.rfind("line so far,", 0) != 0) fuzz::Fail("the line's start changed: " + shown());
    if (out.size() - 12 > pattern.size() * level0)
      fuzz::Fail("the text is longer than two levels of formats give: " + shown());
  }

  // Quoted text stands as it is, in either quotes.
  for (const char quote : {'"', '\''}) {
    std::string text(pattern);
    text.erase(std::remove(text.begin(), text.end(), quote), text.end());
    const std::string quoted = quote + text + quote;
    if (Stamp(quoted, stamps[0], locale) != text)
      fuzz::Fail("quoted text does not stand as it is: " + fuzz::Printable(quoted));
  }
  return 0;
}
