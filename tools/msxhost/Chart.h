// One security's bars as the tester holds them, and the host's data record
// built from them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "HostRecords.h"
#include "host/MSXStruct.h"

namespace msxhost {

// A column of the data beyond the price fields, named by its CSV header.
struct NamedSeries {
  std::string name;
  std::vector<float> values;
};

// The bars of one security. Every non-empty column holds one value per bar;
// open and volume are empty when the data has none.
struct Chart {
  std::vector<int32_t> dates;  // YYYYMMDD
  std::vector<int32_t> times;  // host form: HHMMSS followed by a 0 digit; 0 without a time column
  bool hasTime = false;
  std::vector<float> open;
  std::vector<float> high;
  std::vector<float> low;
  std::vector<float> close;
  std::vector<float> volume;
  std::vector<NamedSeries> extra;

  std::string symbol;
  std::string securityName;
  std::string folder;
  char period = 'D';  // D W M Q Y, or I for intraday
  int32_t interval = 0;

  // What reading the data changed, one line each, for the user to see
  // ("no open, high or low column: taken as the close").
  std::vector<std::string> notices;
  // Whether open, high and low are the data's own; false when any of them
  // was taken as the close (then a chart draws the price as a line).
  bool hasOhlc = true;

  int32_t barCount() const { return static_cast<int32_t>(dates.size()); }

  // The column a formula name stands for: O/OPEN, H/HIGH, L/LOW, C/CLOSE,
  // V/VOLUME or an extra column's name, all case-insensitive. Null when the
  // chart has no such column (PriceField tells a missing price column from
  // an unknown name).
  const std::vector<float>* FindSeries(std::string_view name) const;
};

// The long name of the price field a formula name stands for ("close" for
// C or Close), or empty when the name is no price field.
std::string_view PriceField(std::string_view name);

// The host's data record for one chart: the date array and every series as
// arrays of msx::kMaxBars entries, valid from 0 to bars - 1; open, volume
// (when the data has none), open interest and the indicator are empty
// (first 0, last -1) arrays of zeros. Texts: security name, symbol, folder
// and an empty online source. Period letter in the low byte, the interval.
class ChartRecords {
 public:
  // Throws HostError (kExitUsage) when the chart has more than msx::kMaxBars
  // bars or a column's length differs from the number of dates.
  explicit ChartRecords(const Chart& chart);

  const msx::HostDataRecord& data() const { return data_; }
  // For tests that want to change a field before a call.
  msx::HostDataRecord& data() { return data_; }

 private:
  std::vector<msx::HostDateTimeEntry> dates_;
  HostArray open_, high_, low_, close_, volume_, openInterest_, indicator_;
  HostText securityName_, symbol_, folder_, onlineSource_;
  msx::HostDataRecord data_{};
};

}  // namespace msxhost
