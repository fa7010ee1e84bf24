#include "BarSelection.h"

#include <algorithm>

#include "Csv.h"
#include "HostError.h"
#include "Text.h"

namespace msxhost {
namespace {

std::optional<int32_t> DateOption(const std::optional<std::string>& text, const char* option) {
  if (!text) return std::nullopt;
  const std::optional<int32_t> date = ParseDate(*text);
  if (!date)
    throw HostError(kExitUsage,
                    Cat("bad ", option, " value: ", *text, " (expected a date ", kDateForms, ")"));
  return date;
}

template <typename T>
void Cut(std::vector<T>& column, BarIndexes bars) {
  if (column.empty()) return;
  column.erase(column.begin() + bars.last + 1, column.end());
  column.erase(column.begin(), column.begin() + bars.first);
}

}  // namespace

BarSelection ParseBarSelection(const std::optional<std::string>& from,
                               const std::optional<std::string>& to,
                               const std::optional<std::string>& last) {
  BarSelection selection;
  selection.from = DateOption(from, "--from");
  selection.to = DateOption(to, "--to");
  if (selection.from && selection.to && *selection.from > *selection.to)
    throw HostError(kExitUsage, Cat("--from ", *from, " is after --to ", *to));
  if (last) {
    selection.last = ParseInt(*last);
    if (!selection.last || *selection.last < 1)
      throw HostError(kExitUsage,
                      "bad --last value: " + *last + " (expected a count of bars, 1 or more)");
  }
  return selection;
}

BarIndexes SelectedBars(const Chart& chart, const BarSelection& selection) {
  const std::vector<int32_t>& dates = chart.dates;
  BarIndexes bars;
  bars.first = static_cast<int32_t>(
      selection.from ? std::lower_bound(dates.begin(), dates.end(), *selection.from) - dates.begin()
                     : 0);
  bars.last = static_cast<int32_t>(
      (selection.to ? std::upper_bound(dates.begin(), dates.end(), *selection.to) - dates.begin()
                    : static_cast<std::ptrdiff_t>(dates.size())) -
      1);
  if (selection.last) bars.first = std::max(bars.first, bars.last - *selection.last + 1);
  if (bars.first > bars.last) {
    if (dates.empty()) throw HostError(kExitUsage, "the data has no bars");
    throw HostError(
        kExitUsage,
        Cat("no bars from ", selection.from ? FormatDate(*selection.from) : "the start", " to ",
            selection.to ? FormatDate(*selection.to) : "the end", ": the data runs from ",
            FormatDate(dates.front()), " to ", FormatDate(dates.back())));
  }
  return bars;
}

void SelectBars(Chart& chart, const BarSelection& selection) {
  if (!selection.from && !selection.to && !selection.last) return;
  const BarIndexes bars = SelectedBars(chart, selection);
  Cut(chart.dates, bars);
  Cut(chart.times, bars);
  for (std::vector<float>* column :
       {&chart.open, &chart.high, &chart.low, &chart.close, &chart.volume})
    Cut(*column, bars);
  for (NamedSeries& column : chart.extra) Cut(column.values, bars);
}

}  // namespace msxhost
