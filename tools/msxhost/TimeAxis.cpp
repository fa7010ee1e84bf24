#include "TimeAxis.h"

#include "Text.h"

namespace msxhost {
namespace {

enum class Label { kYear, kMonth, kDate, kTime };

// One way to cut time into steps: the key of a bar's step (a tick where it
// changes from one bar to the next) and how the tick is labelled.
struct Step {
  int64_t (*key)(int32_t date, int32_t time, int size);
  int size;
  Label label;
  bool intraday;
};

int Year(int32_t date) { return date / 10000; }
int Month(int32_t date) { return date / 100 % 100; }
int Day(int32_t date) { return date % 100; }
int MinuteOfDay(int32_t hostTime) { return hostTime / 100000 * 60 + hostTime / 1000 % 100; }

// Days since 1970-01-01 of a proleptic Gregorian date.
int64_t DaysFromCivil(int32_t date) {
  int64_t y = Year(date);
  const int64_t m = Month(date);
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + Day(date) - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

int64_t YearKey(int32_t date, int32_t, int size) { return Year(date) / size; }
int64_t MonthKey(int32_t date, int32_t, int size) {
  return (int64_t{Year(date)} * 12 + Month(date) - 1) / size;
}
int64_t HalfMonthKey(int32_t date, int32_t, int) {
  return (int64_t{Year(date)} * 12 + Month(date)) * 2 + (Day(date) >= 16);
}
// Weeks start on Monday; 1970-01-01 was a Thursday.
int64_t WeekKey(int32_t date, int32_t, int) {
  const int64_t days = DaysFromCivil(date) + 3;
  return days >= 0 ? days / 7 : (days - 6) / 7;
}
int64_t DayKey(int32_t date, int32_t, int) { return date; }
int64_t MinuteKey(int32_t date, int32_t time, int size) {
  return int64_t{date} * 10000 + MinuteOfDay(time) / size;
}

// Finest first; the first whose ticks fit is taken.
constexpr Step kSteps[] = {
    {MinuteKey, 1, Label::kTime, true},     {MinuteKey, 2, Label::kTime, true},
    {MinuteKey, 5, Label::kTime, true},     {MinuteKey, 10, Label::kTime, true},
    {MinuteKey, 15, Label::kTime, true},    {MinuteKey, 30, Label::kTime, true},
    {MinuteKey, 60, Label::kTime, true},    {MinuteKey, 120, Label::kTime, true},
    {MinuteKey, 180, Label::kTime, true},   {MinuteKey, 360, Label::kTime, true},
    {DayKey, 1, Label::kDate, false},       {WeekKey, 1, Label::kDate, false},
    {HalfMonthKey, 1, Label::kDate, false}, {MonthKey, 1, Label::kMonth, false},
    {MonthKey, 3, Label::kMonth, false},    {MonthKey, 6, Label::kMonth, false},
    {YearKey, 1, Label::kYear, false},      {YearKey, 2, Label::kYear, false},
    {YearKey, 5, Label::kYear, false},      {YearKey, 10, Label::kYear, false},
    {YearKey, 100, Label::kYear, false},
};

// The room a label needs, in pixels (12-pixel text and a gap).
double LabelRoom(Label label) {
  switch (label) {
    case Label::kYear:
      return 50;
    case Label::kMonth:
      return 72;
    case Label::kDate:
      return 96;
    case Label::kTime:
      return 86;  // the date under it
  }
  return 96;
}

constexpr const char* kMonthNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

std::string TwoDigits(int n) {
  const char digits[2] = {static_cast<char>('0' + n / 10), static_cast<char>('0' + n % 10)};
  return std::string(digits, 2);
}

int32_t TimeOf(const Chart& chart, int32_t bar) {
  return chart.times.empty() ? 0 : chart.times[static_cast<std::size_t>(bar)];
}

// The bars where the step's key changes (the chart's first bar counts as a
// change).
std::vector<int32_t> StepBars(const Chart& chart, const Step& step, int32_t first, int32_t last) {
  std::vector<int32_t> bars;
  for (int32_t i = first; i <= last; ++i) {
    const auto at = static_cast<std::size_t>(i);
    const int64_t key = step.key(chart.dates[at], TimeOf(chart, i), step.size);
    const bool starts = i == 0 || key != step.key(chart.dates[at - 1], TimeOf(chart, i - 1),
                                                  step.size);
    if (starts) bars.push_back(i);
  }
  return bars;
}

// Whether the bar starts a new day on a time axis, a new year on a month axis.
bool Major(const Chart& chart, int32_t bar, Label label) {
  if (bar == 0) return true;
  const int32_t date = chart.dates[static_cast<std::size_t>(bar)];
  const int32_t before = chart.dates[static_cast<std::size_t>(bar) - 1];
  if (label == Label::kTime) return date != before;
  if (label == Label::kMonth) return Year(date) != Year(before);
  return false;
}

bool Intraday(const Chart& chart, int32_t first, int32_t last) {
  if (!chart.hasTime) return false;
  for (int32_t i = first + 1; i <= last; ++i)
    if (chart.dates[static_cast<std::size_t>(i)] == chart.dates[static_cast<std::size_t>(i) - 1])
      return true;
  return false;
}

std::vector<TimeTick> Labelled(const Chart& chart, const std::vector<int32_t>& bars, Label label) {
  std::vector<TimeTick> ticks;
  int32_t previousDate = 0;
  for (int32_t bar : bars) {
    const int32_t date = chart.dates[static_cast<std::size_t>(bar)];
    TimeTick tick{bar, {}, {}};
    switch (label) {
      case Label::kYear:
        tick.label = FormatInt(Year(date));
        break;
      case Label::kMonth:
        tick.label = kMonthNames[Month(date) - 1];
        if (ticks.empty() || Month(date) == 1 || Year(date) != Year(previousDate))
          tick.label = Cat(tick.label, " ", FormatInt(Year(date)));
        break;
      case Label::kDate:
        tick.label = FormatDate(date);
        break;
      case Label::kTime: {
        const int minute = MinuteOfDay(TimeOf(chart, bar));
        tick.label = Cat(TwoDigits(minute / 60), ":", TwoDigits(minute % 60));
        if (date != previousDate) tick.subLabel = FormatDate(date);
        break;
      }
    }
    previousDate = date;
    ticks.push_back(std::move(tick));
  }
  return ticks;
}

}  // namespace

std::vector<TimeTick> TimeTicks(const Chart& chart, int32_t first, int32_t last, double barWidth) {
  const bool intraday = Intraday(chart, first, last);
  const double width = (last - first + 1) * barWidth;
  for (const Step& step : kSteps) {
    if (step.intraday && !intraday) continue;
    const double room = LabelRoom(step.label);
    const std::vector<int32_t> bars = StepBars(chart, step, first, last);
    if (bars.empty() || static_cast<double>(bars.size()) * room > width) continue;
    // Steps of uneven length (months, a session's first minutes) may still
    // bring two ticks too close: the later one goes.
    // A tick that starts a new day (times) or year (months) wins over the one before it.
    std::vector<int32_t> spaced;
    for (int32_t bar : bars) {
      if (spaced.empty() || (bar - spaced.back()) * barWidth >= room * 0.75)
        spaced.push_back(bar);
      else if (Major(chart, bar, step.label) && !Major(chart, spaced.back(), step.label))
        spaced.back() = bar;
    }
    return Labelled(chart, spaced, step.label);
  }
  return Labelled(chart, {first}, intraday ? Label::kTime : Label::kDate);
}

}  // namespace msxhost
