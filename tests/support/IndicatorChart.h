// A chart for the indicators that take one price series and numbers: the
// Close range, the price argument and the numbers as the host passes them,
// the result poisoned before the call.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <vector>

#include "Poison.h"
#include "host/Export.h"
#include "host/MSXStruct.h"

namespace msx {

using ExportedFunction = HostFunction;

inline constexpr int32_t kUnsetIndex = -77;

struct IndicatorChart {
  std::vector<float> prices = std::vector<float>(kMaxBars, 0.0f);
  std::vector<float> out = std::vector<float>(kMaxBars, kPoison);
  HostSeries price{prices.data(), 0, -1};
  HostSeries result{out.data(), kUnsetIndex, kUnsetIndex};
  HostDataRecord data{};
  HostSeriesArgs series{};
  HostNumericArgs numeric{};
  HostStringArgs strings{};
  HostCustomArgs custom{};
  ResultRec rec{&result, {}};

  IndicatorChart(const std::vector<float>& values, std::initializer_list<float> numbers) {
    std::copy(values.begin(), values.end(), prices.begin());
    const int32_t last = static_cast<int32_t>(values.size()) - 1;
    price = {prices.data(), 0, last};
    data.close = {prices.data(), 0, last};
    series.items[0] = &price;
    series.count = 1;
    for (float n : numbers) numeric.items[numeric.count++] = n;
    std::strcpy(rec.szExtendedError, "poison");
  }
  IndicatorChart(const IndicatorChart&) = delete;
  IndicatorChart& operator=(const IndicatorChart&) = delete;

  // Both ranges at once.
  void SetRange(int32_t first, int32_t last) {
    price.first = data.close.first = first;
    price.last = data.close.last = last;
  }
  int32_t Call(ExportedFunction f) { return f(&data, &series, &numeric, &strings, &custom, &rec); }
  float R(int32_t i) const { return out[static_cast<std::size_t>(i)]; }
};

}  // namespace msx
