// Benchmark input: 65,500 bars made from the bundled real daily prices. The
// file's daily moves are replayed one after the other, forwards and then
// backwards, so the series keeps the real data's character (trends, gaps,
// volatility) at the host's maximum length within the real price range
// (compounding the file's fourfold growth pass after pass would reach
// 1e37). Prices are kept on a 0.01 grid as real quotes are.
#pragma once

#include <cstdint>
#include <vector>

#include "host/MSXStruct.h"

namespace msxbench {

struct Bars {
  std::vector<float> high, low, close;
};

// Bars 0 to 65499 (the host's arrays), from data/goog-daily.csv.
const Bars& RealBars();

// The stamps of five-minute bars, 78 a day from 10:00 to 16:25, one day
// after another from 2000-01-03: each call gives the next bar's stamp.
class IntradayClock {
 public:
  msx::HostDateTimeEntry Next();

 private:
  int32_t year_ = 2000, month_ = 1, day_ = 3;
  int32_t slot_ = 0;  // the bar of the day, 0 to 77
};

// A five-minute chart of symbol BENCH at the host's maximum of 65,500 bars,
// the real closes on intraday stamps (so that times are parsed too).
struct IntradayChart {
  IntradayClock clock;  // left at the bar after the chart's last
  std::vector<msx::HostDateTimeEntry> dates;
  std::vector<float> close;
  std::vector<float> out = std::vector<float>(msx::kMaxBars);
  char symbol[8] = "BENCH";
  msx::HostDataRecord data{};

  IntradayChart();
  msx::HostSeries Close() { return {close.data(), 0, msx::kMaxBars - 1}; }
};

}  // namespace msxbench
