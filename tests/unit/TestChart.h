// A chart as the host hands it to a function: the data record's price
// arrays, the argument records, and a result array with guard values on both
// sides, so that a write outside the host's 65,500 bars shows.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <deque>
#include <vector>

#include "host/MSXStruct.h"

namespace msx {

// A reproducible random walk on a 0.01 grid from start, each step between
// -step and +7/8 step, never below 1.
inline std::vector<float> RandomWalk(size_t n, uint32_t seed, float start = 50, float step = 2) {
  std::vector<float> prices;
  uint32_t state = seed;
  float price = start;
  for (size_t i = 0; i < n; ++i) {
    state = state * 1664525u + 1013904223u;
    const float move = static_cast<float>(static_cast<int>(state >> 28) - 8) * step / 8;
    price = std::max(1.0f, std::round((price + move) * 100) / 100);
    prices.push_back(price);
  }
  return prices;
}

class TestChart {
 public:
  static constexpr float kPoison = -12345.0f;
  static constexpr size_t kGuard = 64;

  // Bars 0 to closes.size() - 1; high and low spread above and below the
  // close. Every array is the host's full length.
  explicit TestChart(const std::vector<float>& closes, float spread = 0) {
    for (size_t i = 0; i < closes.size(); ++i) {
      close_[i] = closes[i];
      high_[i] = closes[i] + spread;
      low_[i] = closes[i] - spread;
    }
    result.values = out_.data() + kGuard;
    std::strcpy(rec.szExtendedError, "poison");
    data.close = {close_.data(), 0, static_cast<int32_t>(closes.size()) - 1};
    data.high = {high_.data(), 0, data.close.last};
    data.low = {low_.data(), 0, data.close.last};
  }

  // The records point into the chart: it stays where it was made.
  TestChart(const TestChart&) = delete;
  TestChart& operator=(const TestChart&) = delete;

  // The chart's own series.
  float& Close(size_t i) { return close_[i]; }
  float& High(size_t i) { return high_[i]; }
  float& Low(size_t i) { return low_[i]; }
  // Sets the valid range of the chart's close, high and low.
  void SetRange(int32_t first, int32_t last) {
    for (HostSeries* s : {&data.close, &data.high, &data.low}) {
      s->first = first;
      s->last = last;
    }
  }

  // A series argument over the given bars, or a constant over first..last.
  HostSeries& AddSeries(const std::vector<float>& values, int32_t first = 0) {
    std::vector<float>& a = arrays_.emplace_back(kMaxBars, 0.0f);
    std::copy(values.begin(), values.end(), a.begin() + first);
    return Add({a.data(), first, first + static_cast<int32_t>(values.size()) - 1});
  }
  HostSeries& AddConstant(float value, int32_t first, int32_t last) {
    std::vector<float>& a = arrays_.emplace_back(kMaxBars, value);
    return Add({a.data(), first, last});
  }
  // The chart's close array as a series argument, with its range.
  HostSeries& AddClose() { return Add(data.close); }
  void AddNumber(float v) { numeric.items[numeric.count++] = v; }
  void AddCustom(int32_t id) { custom.items[custom.count++] = id; }

  int32_t Call(HostFunction f) { return f(&data, &series, &numeric, &strings, &custom, &rec); }

  float R(int32_t i) const { return out_[kGuard + static_cast<size_t>(i)]; }
  // The bars written, first to last, poison left out.
  std::vector<int32_t> Written() const {
    std::vector<int32_t> bars;
    for (int32_t i = 0; i < kMaxBars; ++i)
      if (R(i) != kPoison) bars.push_back(i);
    return bars;
  }
  bool GuardsIntact() const {
    for (size_t g = 0; g < kGuard; ++g)
      if (out_[g] != kPoison || out_[kGuard + kMaxBars + g] != kPoison) return false;
    return true;
  }
  const char* Error() const { return rec.szExtendedError; }

  HostDataRecord data{};
  HostSeriesArgs series{};
  HostNumericArgs numeric{};
  HostStringArgs strings{};
  HostCustomArgs custom{};
  HostSeries result{nullptr, -77, -77};
  ResultRec rec{&result, {}};

 private:
  HostSeries& Add(HostSeries s) {
    HostSeries& added = series_.emplace_back(s);
    series.items[series.count++] = &added;
    return added;
  }

  std::vector<float> close_ = std::vector<float>(kMaxBars, 0.0f);
  std::vector<float> high_ = std::vector<float>(kMaxBars, 0.0f);
  std::vector<float> low_ = std::vector<float>(kMaxBars, 0.0f);
  std::vector<float> out_ = std::vector<float>(kMaxBars + 2 * kGuard, kPoison);
  std::deque<std::vector<float>> arrays_;
  std::deque<HostSeries> series_;
};

}  // namespace msx
