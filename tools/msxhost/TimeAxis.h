// The labels of a chart's time axis, chosen to suit the bars on view:
// times (with the date under the first and at each new day) for intraday
// bars, dates for daily bars, months or years for long spans.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Chart.h"

namespace msxhost {

struct TimeTick {
  int32_t bar = 0;
  std::string label;     // "2008", "Mar 2008", "Apr", "2008-03-14", "10:30"
  std::string subLabel;  // under an intraday time: its date, where the date changes
};

// The ticks for the bars first to last (valid indexes of the chart, first <=
// last) drawn `barWidth` pixels apart. A tick marks the first bar of a new
// year, month, half month, week, day, hour or minutes step: of the finest of
// these steps whose labels do not crowd one another. Intraday steps are
// used only when some two bars on view share a date.
std::vector<TimeTick> TimeTicks(const Chart& chart, int32_t first, int32_t last, double barWidth);

}  // namespace msxhost
