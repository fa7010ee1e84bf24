// TradeFile at the host's maximum of 65,500 bars with about 1,000 trades:
// the walk over the bars and the trade file written line by line (each line
// with its own open, append and close).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "PriceData.h"
#include "Rates.h"
#include "host/MSXStruct.h"
#include "trading/MSX_QMR_TradeFile.h"

namespace {

using msx::kMaxBars;

void BM_TradeFile(benchmark::State& state) {
  const msxbench::Bars& bars = msxbench::RealBars();
  std::vector<float> close = bars.close;
  const int32_t every = static_cast<int32_t>(state.range(0));
  std::vector<float> signal(kMaxBars);
  for (int32_t i = 0; i < kMaxBars; ++i)
    signal[static_cast<size_t>(i)] = (i / every) % 2 ? -1.0f : 1.0f;
  std::vector<msx::HostDateTimeEntry> dates(kMaxBars);
  for (int32_t i = 0; i < kMaxBars; ++i) dates[static_cast<size_t>(i)] = {19000101 + i, 0};
  std::vector<float> out(kMaxBars);
  char name[] = "SEC1";
  msx::HostDataRecord data{};
  data.dates = dates.data();
  data.close = {close.data(), 0, kMaxBars - 1};
  data.securityName = name;
  data.period = 'D';
  const msx::HostSeries price{close.data(), 0, kMaxBars - 1};
  const msx::HostSeries buySell{signal.data(), 0, kMaxBars - 1};
  const std::string folder =
      (std::filesystem::temp_directory_path() / "msx_bench_tradefile").string();
  std::filesystem::create_directories(folder);
  const msx::TradeFileSettings settings{"bench", folder, true};
  for (auto _ : state) {
    msx::BarRange r = msx::ComputeTradeFile(data, price, buySell, msx::kLongAndShort, "flip",
                                            settings, out.data());
    benchmark::DoNotOptimize(r);
  }
  state.counters["trades"] = static_cast<double>(kMaxBars / every);
  msxbench::Rates(state);
  std::filesystem::remove_all(folder);
}
// A position change every 65 bars: 1,007 trades.
BENCHMARK(BM_TradeFile)->Arg(65)->Unit(benchmark::kMillisecond);

}  // namespace
