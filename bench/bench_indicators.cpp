// Every indicator at the host's maximum of 65,500 bars.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "host/MSXStruct.h"
#include "indicators/MSX_QMR_NRTR.h"

namespace {

using msx::HostSeries;
using msx::kMaxBars;

// A reproducible random walk on a 0.01 tick grid, like real prices.
std::vector<float> RandomWalk(uint32_t seed) {
  std::vector<float> v(kMaxBars);
  uint32_t state = seed;
  int64_t ticks = 10000;
  for (float& x : v) {
    state = state * 1664525u + 1013904223u;
    ticks += static_cast<int64_t>(state >> 28) - 8;
    if (ticks < 100) ticks = 100;
    x = static_cast<float>(static_cast<double>(ticks) / 100.0);
  }
  return v;
}

void BM_Nrtr(benchmark::State& state) {
  std::vector<float> close = RandomWalk(1);
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
  state.counters["ns_per_bar"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * kMaxBars,
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_Nrtr)->Arg(2)->Unit(benchmark::kMicrosecond);

}  // namespace
