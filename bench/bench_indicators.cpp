// Every indicator at the host's maximum of 65,500 bars.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "PriceData.h"
#include "Rates.h"
#include "host/MSXStruct.h"
#include "indicators/MSX_QMR_CER.h"
#include "indicators/MSX_QMR_JMA.h"
#include "indicators/MSX_QMR_JTPO.h"
#include "indicators/MSX_QMR_NRTR.h"
#include "indicators/MSX_QMR_NRTR_WATR.h"
#include "indicators/MSX_QMR_RENKO_WATR.h"

namespace {

using msx::HostSeries;
using msx::kMaxBars;

using msxbench::Rates;

HostSeries Whole(std::vector<float>& v) { return {v.data(), 0, kMaxBars - 1}; }

void BM_Nrtr(benchmark::State& state) {
  const msxbench::Bars& bars = msxbench::RealBars();
  std::vector<float> close = bars.close;
  std::vector<float> k(kMaxBars, static_cast<float>(state.range(0)));
  std::vector<float> out(kMaxBars);
  const HostSeries p{close.data(), 0, kMaxBars - 1};
  const HostSeries kk{k.data(), 0, kMaxBars - 1};
  for (auto _ : state) {
    msx::BarRange r = msx::ComputeNrtr(p, kk, p, p, out.data());
    benchmark::DoNotOptimize(r);
    benchmark::DoNotOptimize(out.data());
  }
  Rates(state);
}
// The percentage: a tight channel turns often, a wide one seldom.
BENCHMARK(BM_Nrtr)->Arg(2)->Arg(5)->Unit(benchmark::kMicrosecond);

void BM_NrtrWatr(benchmark::State& state) {
  msxbench::Bars bars = msxbench::RealBars();
  std::vector<float> length(kMaxBars, static_cast<float>(state.range(0)));
  std::vector<float> multiplier(kMaxBars, 2.0f);
  std::vector<float> out(kMaxBars);
  const HostSeries p = Whole(bars.close), n = Whole(length), m = Whole(multiplier);
  const HostSeries h = Whole(bars.high), l = Whole(bars.low);
  for (auto _ : state) {
    msx::BarRange r = msx::ComputeNrtrWatr(p, n, m, h, l, out.data());
    benchmark::DoNotOptimize(r);
    benchmark::DoNotOptimize(out.data());
  }
  Rates(state, state.range(0));
}
// Window lengths: on prices the running sum makes them cost alike.
BENCHMARK(BM_NrtrWatr)->Arg(10)->Arg(14)->Arg(50)->Arg(200)->Unit(benchmark::kMicrosecond);

void BM_Cer(benchmark::State& state) {
  msxbench::Bars bars = msxbench::RealBars();
  std::vector<float> out(kMaxBars);
  const HostSeries p = Whole(bars.close);
  const auto length = static_cast<float>(state.range(0));
  for (auto _ : state) {
    msx::BarRange r = msx::ComputeCer(p, length, p, out.data());
    benchmark::DoNotOptimize(r);
    benchmark::DoNotOptimize(out.data());
  }
  Rates(state, state.range(0));
}
BENCHMARK(BM_Cer)->Arg(10)->Unit(benchmark::kMicrosecond);

void BM_RenkoWatr(benchmark::State& state) {
  msxbench::Bars bars = msxbench::RealBars();
  std::vector<float> out(kMaxBars);
  msx::HostDataRecord chart{};
  chart.high = Whole(bars.high);
  chart.low = Whole(bars.low);
  chart.close = Whole(bars.close);
  const auto mode = static_cast<int32_t>(state.range(0));
  for (auto _ : state) {
    msx::BarRange r = msx::ComputeRenkoWatr(chart.close, 2.0f, 10.0f, mode, chart, out.data());
    benchmark::DoNotOptimize(r);
    benchmark::DoNotOptimize(out.data());
  }
  Rates(state, 10);
}
// Smoothing length 10 in every mode: Up, Dn, Auto, Long, Short, Both.
BENCHMARK(BM_RenkoWatr)->DenseRange(0, 5)->Unit(benchmark::kMicrosecond);

void BM_Jma(benchmark::State& state) {
  std::vector<float> close = msxbench::RealBars().close;
  std::vector<float> out(kMaxBars);
  const HostSeries p{close.data(), 0, kMaxBars - 1};
  const float length = static_cast<float>(state.range(0));
  for (auto _ : state) {
    msx::BarRange r = msx::ComputeJma(p, p, length, 0.0f, out.data());
    benchmark::DoNotOptimize(r);
    benchmark::DoNotOptimize(out.data());
  }
  Rates(state);
}
BENCHMARK(BM_Jma)->Arg(14)->Arg(50)->Unit(benchmark::kMicrosecond);

// The window length: windows below 5 prices correct each slot's rank (bars
// times length), from 5 prices on a rank tree keeps the sums (bars times log
// of the distinct prices); 300 prices are the most a window holds.
void BM_Jtpo(benchmark::State& state) {
  std::vector<float> close = msxbench::RealBars().close;
  std::vector<float> out(kMaxBars);
  const HostSeries p{close.data(), 0, kMaxBars - 1};
  const float length = static_cast<float>(state.range(0));
  for (auto _ : state) {
    msx::BarRange r = msx::ComputeJtpo(p, p, length, out.data());
    benchmark::DoNotOptimize(r);
    benchmark::DoNotOptimize(out.data());
  }
  Rates(state, state.range(0));
}
BENCHMARK(BM_Jtpo)->Arg(14)->Arg(100)->Arg(300)->Unit(benchmark::kMillisecond);

}  // namespace
