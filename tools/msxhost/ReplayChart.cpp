#include "ReplayChart.h"

#include <algorithm>

#include "Csv.h"
#include "HostError.h"
#include "Text.h"

namespace msxhost {
namespace {

constexpr int32_t kDefaultLiveBars = 20;
[[noreturn]] void UsageError(const std::string& message) {
  throw HostError(kExitUsage, message + " (see msxhost --help)");
}

int32_t ParseDateOption(const std::string& text, const char* option) {
  const std::optional<int32_t> date = ParseDate(text);
  if (!date)
    UsageError(Cat("bad ", option, " value: ", text, " (expected a date ", kDateForms, ")"));
  return *date;
}

}  // namespace

LivePart ParseLivePart(const Chart& chart, const ReplayRequest& request) {
  const int32_t bars = chart.barCount();
  LivePart live;
  if (request.live && request.liveFrom) UsageError("give --live or --live-from, not both");
  if (request.liveFrom) {
    const int32_t date = ParseDateOption(*request.liveFrom, "--live-from");
    live.first = static_cast<int32_t>(
        std::lower_bound(chart.dates.begin(), chart.dates.end(), date) - chart.dates.begin());
    if (live.first == bars)
      UsageError(Cat("--live-from ", *request.liveFrom, " is after the chart's last bar (",
                     FormatDate(chart.dates.back()), ")"));
  } else {
    int32_t count = kDefaultLiveBars;
    if (request.live) {
      const std::optional<int32_t> value = ParseInt(*request.live);
      if (!value || *value < 1)
        UsageError("bad --live value: " + *request.live + " (expected a count of bars, 1 or more)");
      count = *value;
    }
    live.first = bars - std::min(count, bars);
  }
  if (live.first == 0)
    UsageError(Cat("the live part leaves no bar before it to arm TradeQuik on: the chart has ",
                   FormatInt(bars), " bars"));
  if (request.ticks && *request.ticks != "open" && *request.ticks != "close")
    UsageError("bad --ticks value: " + *request.ticks + " (open or close)");
  live.opening = !request.ticks || *request.ticks == "open";
  live.skipped.assign(static_cast<std::size_t>(bars - live.first), false);
  for (const std::string& text : request.skip) {
    const int32_t date = ParseDateOption(text, "--skip");
    bool found = false;
    for (int32_t i = live.first; i < bars; ++i)
      if (chart.dates[static_cast<std::size_t>(i)] == date)
        found = live.skipped[static_cast<std::size_t>(i - live.first)] = true;
    if (!found)
      UsageError(Cat("--skip ", text, " is no bar of the live part (",
                     FormatDate(chart.dates[static_cast<std::size_t>(live.first)]), " to ",
                     FormatDate(chart.dates.back()), ")"));
  }
  return live;
}

std::string SecuritySection(const Chart& chart) {
  std::string tag;
  if (std::string_view("DWMQY").find(chart.period) != std::string_view::npos)
    tag = std::string(1, chart.period);
  else if (chart.period == 'I')
    tag = chart.interval == 0 ? "T" : FormatInt(chart.interval);
  else
    return {};
  return Cat(chart.folder, "\\", chart.symbol, "(", tag, ")");
}

std::string BarText(const Chart& chart, int32_t bar) {
  const auto i = static_cast<std::size_t>(bar);
  std::string text = FormatDate(chart.dates[i]);
  if (!chart.hasTime) return text;
  const std::string time = FormatTime(chart.times[i]);
  text += Cat(" ", time.substr(0, 2), ":", time.substr(2, 2));
  if (time.substr(4) != "00") text += Cat(":", time.substr(4));
  return text;
}

Chart GrownChart(const Chart& chart, int32_t last, bool opening) {
  Chart grown = chart;
  const auto bars = static_cast<std::size_t>(last) + 1;
  for (std::vector<int32_t>* column : {&grown.dates, &grown.times})
    if (!column->empty()) column->resize(bars);
  for (std::vector<float>* column :
       {&grown.open, &grown.high, &grown.low, &grown.close, &grown.volume})
    if (!column->empty()) column->resize(bars);
  for (NamedSeries& column : grown.extra) column.values.resize(bars);
  if (!opening) return grown;
  const std::size_t i = bars - 1;
  const float open = chart.open.empty() ? chart.close[i - 1] : chart.open[i];
  for (std::vector<float>* column : {&grown.open, &grown.high, &grown.low, &grown.close})
    if (!column->empty()) (*column)[i] = open;
  if (!grown.volume.empty()) grown.volume[i] = 0;
  for (NamedSeries& column : grown.extra) column.values[i] = column.values[i - 1];
  return grown;
}

}  // namespace msxhost
