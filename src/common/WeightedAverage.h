// The linearly weighted average over a window of a series, the average true
// range of NRTR_WATR and RENKO_WATR.
#pragma once

#include <cstdint>

#include "common/Checked.h"

namespace msx {

// The weighted averages of kBars consecutive bars i, i + 1, ... with one
// window length n: out[b] is the average of the n values of x ending at
// index i + b, X[i + b] weighing n and the oldest value 1. Each is 0 when
// n < 1 or the bar is below n (the oldest value used must have index 1 or
// more). Products are formed in extended precision and each sum is stored
// as a double after every step. An index beyond 65499 is a range fault.
//
// Every bar's sum is a chain of additions that each wait for the last
// rounding; summing several bars side by side overlaps their chains without
// changing any of them.
template <int kBars>
void WeightedAverages(const float* x, int32_t i, int64_t n, double* out) {
  if (n < 1 || i < n) {
    if constexpr (kBars == 1) {
      *out = 0;
    } else {  // a window that fits only for the later bars: one bar at a time
      for (int b = 0; b < kBars; ++b) WeightedAverages<1>(x, i + b, n, out + b);
    }
    return;
  }
  CheckedIndex(int64_t{i} + kBars - 1);
  const int32_t length = static_cast<int32_t>(n);
  const float* w = x + (i - length);
  double sum[kBars] = {};
  for (int32_t j = 1; j <= length; ++j) {
    const long double weight = j;
    for (int b = 0; b < kBars; ++b) sum[b] = static_cast<double>(sum[b] + weight * w[j + b]);
  }
  // 1 + 2 + ... + n; at most 2,145,092,250 for the longest window.
  const auto weights = static_cast<uint32_t>(uint64_t(length) * (uint64_t(length) + 1) / 2);
  for (int b = 0; b < kBars; ++b)
    out[b] = static_cast<double>(sum[b] / static_cast<long double>(weights));
}

inline double WeightedAverage(const float* x, int32_t i, int64_t n) {
  double average;
  WeightedAverages<1>(x, i, n, &average);
  return average;
}

// Calls step(i, average) for every bar i from first to last in order, with
// the weighted average of x over bar i's window. windowOf(i) gives bar i's
// window length and is asked when the bar's turn comes, so that a length it
// refuses fails that bar and no earlier one; sameWindow(i, j) tells, without
// asking windowOf, that bar j has bar i's window length. Runs of bars with
// one length have their averages formed eight at a time.
template <class WindowOf, class SameWindow, class Step>
void ForEachWeightedAverage(const float* x, int32_t first, int32_t last, WindowOf windowOf,
                            SameWindow sameWindow, Step step) {
  constexpr int kBlock = 8;
  double averages[kBlock];
  for (int32_t i = first; i <= last;) {
    const int64_t n = windowOf(i);
    int count = 1;
    if (last - i >= kBlock - 1) {
      while (count < kBlock && sameWindow(i, i + count)) ++count;
    }
    if (count == kBlock) {
      WeightedAverages<kBlock>(x, i, n, averages);
    } else {
      count = 1;
      WeightedAverages<1>(x, i, n, averages);
    }
    for (int b = 0; b < count; ++b, ++i) step(i, averages[b]);
  }
}

}  // namespace msx
