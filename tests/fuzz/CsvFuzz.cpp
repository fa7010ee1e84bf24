// The tester's CSV reader over any text: a bad file is one error that
// names the file and a line of it; a good one gives columns of one length,
// real dates and times, a chart the host records can hold, and written out
// again with the tester's own number, date and time texts it reads back as
// the same chart.
#include <cmath>
#include <cstring>

#include "Chart.h"
#include "Csv.h"
#include "FuzzInput.h"
#include "HostError.h"
#include "Text.h"
#include "common/Calendar.h"

namespace {

using msxhost::Chart;
constexpr const char* kName = "fuzz.csv";

bool SameValues(const std::vector<float>& a, const std::vector<float>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::memcmp(&a[i], &b[i], sizeof(float)) != 0 && !(std::isnan(a[i]) && std::isnan(b[i])))
      return false;
  return true;
}

bool SameChart(const Chart& a, const Chart& b) {
  if (a.dates != b.dates || a.times != b.times || a.hasTime != b.hasTime ||
      !SameValues(a.open, b.open) || !SameValues(a.high, b.high) || !SameValues(a.low, b.low) ||
      !SameValues(a.close, b.close) || !SameValues(a.volume, b.volume) ||
      a.extra.size() != b.extra.size())
    return false;
  for (std::size_t k = 0; k < a.extra.size(); ++k)
    if (a.extra[k].name != b.extra[k].name || !SameValues(a.extra[k].values, b.extra[k].values))
      return false;
  return true;
}

// The chart as a CSV file: date first, the extra columns, then the rest.
std::string Write(const Chart& chart) {
  std::vector<std::pair<std::string, const std::vector<float>*>> columns;
  // Extra names in angle brackets, which the reader takes off again, so that
  // a name that is itself bracketed keeps its brackets.
  for (const msxhost::NamedSeries& s : chart.extra)
    columns.push_back({"<" + s.name + ">", &s.values});
  // A name may hold a comma only where ";" separates the fields.
  bool comma = false;
  for (const msxhost::NamedSeries& s : chart.extra)
    comma = comma || s.name.find(',') != std::string::npos;
  const std::string separator = comma ? ";" : ",";
  if (!chart.open.empty()) columns.push_back({"open", &chart.open});
  columns.push_back({"high", &chart.high});
  columns.push_back({"low", &chart.low});
  columns.push_back({"close", &chart.close});
  if (!chart.volume.empty()) columns.push_back({"volume", &chart.volume});
  std::string text = "date";
  if (chart.hasTime) text += separator + "time";
  for (const auto& c : columns) text += separator + c.first;
  text += "\r\n";
  for (std::size_t i = 0; i < chart.dates.size(); ++i) {
    text += msxhost::FormatDate(chart.dates[i]);
    if (chart.hasTime) text += separator + msxhost::FormatTime(chart.times[i]);
    for (const auto& c : columns) text += separator + msxhost::FormatFloat((*c.second)[i]);
    text += "\n";
  }
  return text;
}

void CheckChart(const Chart& chart, std::string_view text) {
  const auto shown = [&] { return fuzz::Printable(text); };
  const std::size_t bars = chart.dates.size();
  bool lengths = chart.times.size() == bars && chart.high.size() == bars &&
                 chart.low.size() == bars && chart.close.size() == bars &&
                 (chart.open.empty() || chart.open.size() == bars) &&
                 (chart.volume.empty() || chart.volume.size() == bars);
  for (const msxhost::NamedSeries& s : chart.extra)
    lengths = lengths && s.values.size() == bars && !s.name.empty();
  if (!lengths) fuzz::Fail("columns of different lengths from " + shown());
  for (std::size_t i = 0; i < bars; ++i) {
    const int32_t d = chart.dates[i];
    const int32_t t = chart.times[i];
    if (!msx::IsCalendarDate(d / 10000, d / 100 % 100, d % 100))
      fuzz::Fail("no calendar date: " + std::to_string(d) + " from " + shown());
    if (t < 0 || t % 10 != 0 || t / 100000 > 23 || t / 1000 % 100 > 59 || t / 10 % 100 > 59 ||
        (!chart.hasTime && t != 0))
      fuzz::Fail("no time of day: " + std::to_string(t) + " from " + shown());
  }

  const msxhost::ChartRecords records(chart);
  const msx::HostDataRecord& data = records.data();
  const auto last = static_cast<int32_t>(bars) - 1;
  if (data.close.first != 0 || data.close.last != last || data.high.last != last ||
      data.low.last != last || data.open.last != (chart.open.empty() ? -1 : last) ||
      data.volume.last != (chart.volume.empty() ? -1 : last))
    fuzz::Fail("the host records' ranges are not the bars of " + shown());
  for (std::size_t i = 0; i < bars; ++i)
    if (data.dates[i].date != chart.dates[i] || data.dates[i].time != chart.times[i] ||
        std::memcmp(&data.close.values[i], &chart.close[i], sizeof(float)) != 0)
      fuzz::Fail("the host records' bar " + std::to_string(i) + " differs from " + shown());
  for (const msxhost::NamedSeries& s : chart.extra)
    if (chart.FindSeries(s.name) != &s.values)
      fuzz::Fail("the column " + fuzz::Printable(s.name) + " is not found by its name");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  Chart chart;
  try {
    chart = msxhost::ParseCsv(text, kName);
  } catch (const msxhost::HostError& e) {
    const std::string message = e.what();
    long long line = 0;
    const std::size_t lines = msxhost::SplitLines(text).size();
    if (e.exitCode() != msxhost::kExitUsage || message.rfind(std::string(kName) + ": ", 0) != 0 ||
        (std::sscanf(message.c_str(), "fuzz.csv: line %lld: ", &line) == 1 &&
         (line < 1 || static_cast<std::size_t>(line) > lines)))
      fuzz::Fail("an error that names no line of the file: " + message);
    return 0;
  }
  CheckChart(chart, text);

  const std::string written = Write(chart);
  try {
    if (!SameChart(msxhost::ParseCsv(written, kName), chart))
      fuzz::Fail("written out, the chart reads back otherwise: " + fuzz::Printable(written));
  } catch (const msxhost::HostError& e) {
    fuzz::Fail("written out, the chart does not read back: " + std::string(e.what()) + ": " +
               fuzz::Printable(written));
  }
  return 0;
}
