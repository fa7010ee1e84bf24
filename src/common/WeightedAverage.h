// The linearly weighted average over a window of a series, the average true
// range of NRTR_WATR and RENKO_WATR.
#pragma once

#include <algorithm>
#include <bit>
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
// The average from a window's sum: the sum over 1 + 2 + ... + n in extended
// precision, stored as a double.
//
// Below 2^11 weights (windows up to 63 bars) a double division gives the
// same bits. The extended quotient rounds twice, to 64 bits and then to 53,
// and differs from the quotient rounded once only when the exact quotient q
// is not a halfway point h between two doubles but lies within 2^-64 of one
// (half a unit of its 64th bit). Yet q - h = (sum - w h) / w, and sum and
// w h are multiples of the smaller of sum's last bit and h's (h has 54
// bits): |q - h| is at least that unit over w, more than 2^-64 of h while
// w < 2^11. The sum is a finite double or the same infinity or NaN either
// way.
inline double AverageOfSum(double sum, int32_t length) {
  // At most 2,145,092,250 for the longest window.
  const auto weights = static_cast<uint32_t>(uint64_t(length) * (uint64_t(length) + 1) / 2);
  if (weights < 2048) return sum / static_cast<double>(weights);
  return static_cast<double>(sum / static_cast<long double>(weights));
}

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
  for (int b = 0; b < kBars; ++b) out[b] = AverageOfSum(sum[b], length);
}

inline double WeightedAverage(const float* x, int32_t i, int64_t n) {
  double average;
  WeightedAverages<1>(x, i, n, &average);
  return average;
}

// The common grid of the values x[from..to]: the largest power of two u
// that divides every one of them, and the largest magnitude in units of u.
// The window sums need it to be done in O(1) a bar.
//
// Why a running sum gives the chain's very double: every term j * x[k] of a
// window is a multiple of u (j is whole), and so is every partial sum of the
// chain. While n (n + 1) / 2 times the largest magnitude stays below 2^53 u,
// every partial sum lies below 2^53 u in magnitude: it is a double exactly,
// and the chain, formed in extended precision and stored as a double after
// every step, never rounds. The sum W of a window and the plain sum S of its
// terms are then exact, and so are W - S + n x[new] (the next bar's W) and
// S - x[old] + x[new], each formed in double: every intermediate is again a
// multiple of u below 2^53 u (u is at least 2^-149, far inside the double
// range). A value that is not finite gives no grid.
class ExactGrid {
 public:
  // The grid gathered one value at a time, so that the pass that writes
  // the values can take it on the way.
  class Scan {
   public:
    void Add(float value) {
      const uint32_t bits = std::bit_cast<uint32_t>(value) & 0x7FFFFFFFu;
      if (bits == 0) return;
      const uint32_t biased = bits >> 23;
      if (biased == 0xFF) [[unlikely]] {  // an infinity or a NaN
        finite_ = false;
        return;
      }
      largest_ = std::max(largest_, bits);
      const uint32_t mantissa = biased ? (bits & 0x7FFFFFu) | 0x800000u : bits;
      const int32_t exponent = static_cast<int32_t>(biased ? biased : 1) - 150;
      lowest_ = std::min(lowest_, exponent + std::countr_zero(mantissa));
    }

    ExactGrid Grid() const {
      ExactGrid grid;
      if (!finite_) return grid;
      if (largest_ == 0) {  // every value 0: every sum is 0, exactly
        grid.maxUnits_ = 0;
        return grid;
      }
      const uint32_t biased = largest_ >> 23;
      uint32_t mantissa = biased ? (largest_ & 0x7FFFFFu) | 0x800000u : largest_;
      int32_t shift = static_cast<int32_t>(biased ? biased : 1) - 150 - lowest_;
      const int zeros = std::countr_zero(mantissa);
      mantissa >>= zeros;
      shift += zeros;  // not below 0: u divides the largest value too
      if (shift + static_cast<int32_t>(std::bit_width(mantissa)) > 53) return grid;
      grid.maxUnits_ = static_cast<int64_t>(uint64_t{mantissa} << shift);
      return grid;
    }

   private:
    int32_t lowest_ = 1000;  // exponent of u
    uint32_t largest_ = 0;   // bits of the largest magnitude
    bool finite_ = true;
  };

  ExactGrid() = default;  // no grid
  ExactGrid(const float* x, int32_t from, int32_t to) {
    Scan scan;
    for (int32_t k = from; k <= to; ++k) scan.Add(x[k]);
    *this = scan.Grid();
  }

  // Whether every window of n terms of the scanned values sums exactly.
  bool Holds(int64_t n) const {
    if (maxUnits_ < 0) return false;
    const uint64_t weights = uint64_t(n) * (uint64_t(n) + 1) / 2;  // n below 2^31
    return static_cast<uint64_t>(maxUnits_) <= ((uint64_t{1} << 53) - 1) / weights;
  }

 private:
  int64_t maxUnits_ = -1;  // no grid
};

// The window sum of ForEachWeightedAverage kept from bar to bar while the
// window length stays, exact by ExactGrid's proof.
class RunningWindowSum {
 public:
  // Bar i's weighted average; i - n + 1 is 1 or more.
  double Next(const float* x, int32_t i, int32_t n) {
    if (i == bar_ + 1 && n == length_) {
      const double newest = x[i];
      weighted_ = weighted_ - plain_ + static_cast<double>(n) * newest;
      plain_ = plain_ - x[i - n] + newest;
    } else {  // a new run: the chain once, and the plain sum beside it
      const float* w = x + (i - n);
      double sum = 0;
      double plain = 0;
      for (int32_t j = 1; j <= n; ++j) {
        sum = static_cast<double>(sum + static_cast<long double>(j) * w[j]);
        plain += w[j];
      }
      weighted_ = sum;
      plain_ = plain;
      length_ = n;
    }
    bar_ = i;
    return AverageOfSum(weighted_, n);
  }

  // Bars i to i + kBars - 1 at once, one window length: the same sums as
  // Next's, kept in locals from bar to bar.
  template <int kBars>
  void NextBlock(const float* x, int32_t i, int32_t n, double* out) {
    out[0] = Next(x, i, n);
    double weighted = weighted_;
    double plain = plain_;
    const double weight = n;
    for (int b = 1; b < kBars; ++b) {
      const double newest = x[i + b];
      weighted = weighted - plain + weight * newest;
      plain = plain - x[i + b - n] + newest;
      out[b] = AverageOfSum(weighted, n);
    }
    weighted_ = weighted;
    plain_ = plain;
    bar_ = i + kBars - 1;
  }

 private:
  int32_t bar_ = -2;
  int32_t length_ = 0;
  double weighted_ = 0;  // sum of j x[i - n + j]
  double plain_ = 0;     // sum of x[i - n + j]
};

// How ForEachWeightedAverage forms its sums: the running sum wherever
// ExactGrid proves it exact, or every window's chain (the plain way, which
// the tests compare it with).
enum class WindowSums { kRunningWhereExact, kChainOnly };

// Calls step(i, average) for every bar i from first to last in order, with
// the weighted average of x over bar i's window. windowOf(i) gives bar i's
// window length and is asked when the bar's turn comes, so that a length it
// refuses fails that bar and no earlier one; sameWindow(i, j) tells, without
// asking windowOf, that bar j has bar i's window length. Where the values
// x[1..last] share a grid fine enough for a window length, its bars take the
// running sum in O(1); elsewhere runs of bars with one length have their
// chains formed eight at a time, their averages worked out before their
// steps. Returns the number of bars that took the running sum.
//
// The grid, when given, must be ExactGrid(x, 1, last) (a caller that wrote
// x may have gathered it on the way). With kRunningBlock 8, runs of eight
// bars with one length take their running sums before their steps too,
// which pays where the steps are light (NRTR_WATR) and not where they are
// not (RENKO_WATR).
template <int kRunningBlock = 1, class WindowOf, class SameWindow, class Step>
int32_t ForEachWeightedAverage(const ExactGrid& grid, const float* x, int32_t first, int32_t last,
                               WindowOf windowOf, SameWindow sameWindow, Step step) {
  static_assert(kRunningBlock == 1 || kRunningBlock == 8);
  RunningWindowSum running;
  int32_t runningBars = 0;
  int64_t checkedLength = -1;  // the last length asked of the grid, and its answer
  bool exact = false;
  constexpr int kBlock = 8;
  double averages[kBlock];
  for (int32_t i = first; i <= last;) {
    const int64_t n = windowOf(i);
    if (n >= 1 && i >= n) {
      if (n != checkedLength) {
        checkedLength = n;
        exact = grid.Holds(n);
      }
      if (exact) {
        // Eight bars of one length inside the arrays: their sums one after
        // the other in a loop of their own, where the running sums stay in
        // registers and the divisions overlap, then their steps.
        int count = 0;
        if (kRunningBlock == kBlock && last - i >= kBlock - 1 && i <= kMaxIndex - (kBlock - 1)) {
          count = 1;
          while (count < kBlock && sameWindow(i, i + count)) ++count;
        }
        if (count == kBlock) {
          running.NextBlock<kBlock>(x, i, static_cast<int32_t>(n), averages);
          for (int b = 0; b < kBlock; ++b, ++i) step(i, averages[b]);
          runningBars += kBlock;
          continue;
        }
        CheckedIndex(i);
        step(i, running.Next(x, i, static_cast<int32_t>(n)));
        ++runningBars;
        ++i;
        continue;
      }
    }
    int count = 1;
    if (last - i >= kBlock - 1 && n >= 1 && i >= n) {  // no window: one bar of 0
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
  return runningBars;
}

template <class WindowOf, class SameWindow, class Step>
int32_t ForEachWeightedAverage(const float* x, int32_t first, int32_t last, WindowOf windowOf,
                               SameWindow sameWindow, Step step,
                               WindowSums sums = WindowSums::kRunningWhereExact) {
  const ExactGrid grid = sums == WindowSums::kRunningWhereExact && first <= last
                             ? ExactGrid(x, 1, std::min(last, kMaxIndex))
                             : ExactGrid();
  return ForEachWeightedAverage(grid, x, first, last, windowOf, sameWindow, step);
}

}  // namespace msx
