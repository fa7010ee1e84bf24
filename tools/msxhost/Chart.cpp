#include "Chart.h"

#include "HostError.h"
#include "Text.h"

namespace msxhost {
namespace {

struct FieldAlias {
  const char* shortName;
  const char* longName;
};

constexpr FieldAlias kPriceFields[] = {
    {"o", "open"}, {"h", "high"}, {"l", "low"}, {"c", "close"}, {"v", "volume"},
};

void CheckLength(const std::vector<float>& column, std::string_view name, std::size_t bars,
                 bool mayBeEmpty) {
  if (column.size() == bars || (mayBeEmpty && column.empty())) return;
  throw HostError(kExitUsage, Cat("the chart's ", name, " column has ",
                                  FormatInt(static_cast<int64_t>(column.size())), " values for ",
                                  FormatInt(static_cast<int64_t>(bars)), " bars"));
}

// The data record's series: the column when there is one, else an empty array.
HostArray SeriesOrEmpty(const std::vector<float>& column) {
  return column.empty() ? HostArray() : MakeSeries(column);
}

// The date array of the data record, after checking that the chart fits the
// host's arrays and that its columns are as long as its dates.
std::vector<msx::HostDateTimeEntry> DateArray(const Chart& chart) {
  const std::size_t bars = chart.dates.size();
  if (bars > static_cast<std::size_t>(msx::kMaxBars))
    throw HostError(kExitUsage, Cat("the chart has ", FormatInt(static_cast<int64_t>(bars)),
                                    " bars; the host holds at most ", FormatInt(msx::kMaxBars)));
  if (chart.times.size() != bars && !chart.times.empty())
    throw HostError(kExitUsage,
                    Cat("the chart has ", FormatInt(static_cast<int64_t>(bars)), " dates but ",
                        FormatInt(static_cast<int64_t>(chart.times.size())), " times"));
  CheckLength(chart.open, "open", bars, true);
  CheckLength(chart.high, "high", bars, false);
  CheckLength(chart.low, "low", bars, false);
  CheckLength(chart.close, "close", bars, false);
  CheckLength(chart.volume, "volume", bars, true);
  for (const NamedSeries& column : chart.extra)
    CheckLength(column.values, column.name, bars, false);

  std::vector<msx::HostDateTimeEntry> dates(static_cast<std::size_t>(msx::kMaxBars));
  for (std::size_t i = 0; i < bars; ++i)
    dates[i] = {chart.dates[i], chart.times.empty() ? 0 : chart.times[i]};
  return dates;
}

}  // namespace

std::string_view PriceField(std::string_view name) {
  for (const FieldAlias& field : kPriceFields)
    if (EqualsIgnoreCase(name, field.shortName) || EqualsIgnoreCase(name, field.longName))
      return field.longName;
  return {};
}

const std::vector<float>* Chart::FindSeries(std::string_view name) const {
  const std::string_view field = PriceField(name);
  const std::vector<float>* column = nullptr;
  if (field == "open") column = &open;
  if (field == "high") column = &high;
  if (field == "low") column = &low;
  if (field == "close") column = &close;
  if (field == "volume") column = &volume;
  if (column != nullptr) return column->empty() && !dates.empty() ? nullptr : column;
  for (const NamedSeries& series : extra)
    if (EqualsIgnoreCase(series.name, name)) return &series.values;
  return nullptr;
}

ChartRecords::ChartRecords(const Chart& chart)
    : dates_(DateArray(chart)),
      open_(SeriesOrEmpty(chart.open)),
      high_(MakeSeries(chart.high)),
      low_(MakeSeries(chart.low)),
      close_(MakeSeries(chart.close)),
      volume_(SeriesOrEmpty(chart.volume)),
      securityName_(chart.securityName),
      symbol_(chart.symbol),
      folder_(chart.folder),
      onlineSource_("") {
  data_.dates = dates_.data();
  data_.open = *open_.series();
  data_.high = *high_.series();
  data_.low = *low_.series();
  data_.close = *close_.series();
  data_.volume = *volume_.series();
  data_.openInterest = *openInterest_.series();
  data_.indicator = *indicator_.series();
  data_.securityName = securityName_.data();
  data_.symbol = symbol_.data();
  data_.securityPath = folder_.data();
  data_.onlineSource = onlineSource_.data();
  data_.period = static_cast<unsigned char>(chart.period);
  data_.interval = chart.interval;
}

}  // namespace msxhost
