// Every indicator at the host's maximum of 65,500 bars.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "PriceData.h"
#include "host/MSXStruct.h"
#include "indicators/MSX_QMR_JMA.h"
#include "indicators/MSX_QMR_JTPO.h"
#include "indicators/MSX_QMR_NRTR.h"

namespace {

using msx::HostSeries;
using msx::kMaxBars;

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
  state.SetItemsProcessed(state.iterations() * kMaxBars);
  state.counters["ns_per_bar"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * kMaxBars,
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
// The percentage: a tight channel turns often, a wide one seldom.
BENCHMARK(BM_Nrtr)->Arg(2)->Arg(5)->Unit(benchmark::kMicrosecond);

void PerBar(benchmark::State& state) {
  state.SetItemsProcessed(state.iterations() * kMaxBars);
  state.counters["ns_per_bar"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * kMaxBars,
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

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
  PerBar(state);
}
BENCHMARK(BM_Jma)->Arg(14)->Arg(50)->Unit(benchmark::kMicrosecond);

// The window length: the rank step sorts the whole window on every bar, 300
// prices being the most a window holds.
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
  PerBar(state);
}
BENCHMARK(BM_Jtpo)->Arg(14)->Arg(100)->Arg(300)->Unit(benchmark::kMillisecond);

}  // namespace
