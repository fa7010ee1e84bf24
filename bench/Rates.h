// The counters every benchmark reports: items and nanoseconds per bar of a
// run over the host's 65,500 bars, and, where a window is averaged on every
// bar, nanoseconds per window step (bars times length).
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>

#include "host/MSXStruct.h"

namespace msxbench {

inline void Rates(benchmark::State& state, int64_t windowLength = 0) {
  const double bars = static_cast<double>(state.iterations()) * msx::kMaxBars;
  state.SetItemsProcessed(state.iterations() * msx::kMaxBars);
  state.counters["ns_per_bar"] =
      benchmark::Counter(bars, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  if (windowLength > 0)
    state.counters["ns_per_step"] =
        benchmark::Counter(bars * static_cast<double>(windowLength),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

}  // namespace msxbench
