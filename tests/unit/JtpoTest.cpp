// JTPO: worked cases, the window's restarts, the valid range and the fault
// paths through the exported function, and the module's incremental ranks
// against the plain selection sort, bit for bit.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "Exports.h"
#include "PriceSeries.h"
#include "TestChart.h"
#include "common/MSX_QMR_CommonFunc.h"
#include "indicators/MSX_QMR_JTPO.h"

namespace msx {
namespace {

class Jtpo : public ::testing::Test {
 protected:
  void SetUp() override { SetCodePageFlag(true); }
  void TearDown() override { SetCodePageFlag(false); }
};

std::vector<float> Ramp(int n, float start, float step) {
  std::vector<float> p;
  for (int i = 0; i < n; ++i) p.push_back(start + step * static_cast<float>(i));
  return p;
}

// The fault text of a call, or "no fault".
std::string FaultOf(TestChart& c) {
  if (c.Call(JTPO) == 0) return "no fault";
  EXPECT_EQ(c.result.first, kUnsetIndex);
  return c.Error();
}

TEST_F(Jtpo, StrictlyRisingIsOneAndFallingMinusOneOnceTheWindowIsFull) {
  for (const auto& [step, value] : {std::pair{1.5f, 1.0f}, std::pair{-0.25f, -1.0f}}) {
    TestChart c(Ramp(12, 50, step), {5});
    ASSERT_EQ(c.Call(JTPO), 0);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(c.R(i), 0.0f) << i;
    for (int i = 4; i < 12; ++i) EXPECT_EQ(c.R(i), value) << i;
    EXPECT_EQ(c.result.first, 5);
    EXPECT_EQ(c.result.last, 11);
  }
}

TEST_F(Jtpo, AConstantPriceRestartsTheWindowAndGivesZeros) {
  TestChart c(std::vector<float>(40, 7.0f), {5});
  ASSERT_EQ(c.Call(JTPO), 0);
  for (int i = 0; i < 40; ++i) EXPECT_EQ(c.R(i), 0.0f) << i;
}

TEST_F(Jtpo, EqualPricesShareTheirAverageRank) {
  TestChart c({1, 2, 2, 3}, {4});
  ASSERT_EQ(c.Call(JTPO), 0);
  EXPECT_EQ(c.R(3), 0.9f);  // t = 4.5, rankScale = 12 / 60
  EXPECT_EQ(c.result.first, 4);
  EXPECT_EQ(c.result.last, 3);

  // Ties that only appear as the window slides: 4, 1, 4, 1, 4 then 1 ...
  TestChart sliding({4, 1, 4, 1, 4, 1, 4}, {4});
  ASSERT_EQ(sliding.Call(JTPO), 0);
  // 4 1 4 1: ranks 3.5 1.5 3.5 1.5 against 1..4, t = -2, x 0.2; 1 4 1 4: +2.
  EXPECT_EQ(sliding.R(3), -0.4f);
  EXPECT_EQ(sliding.R(4), 0.4f);
  EXPECT_EQ(sliding.R(5), -0.4f);
  EXPECT_EQ(sliding.R(6), 0.4f);
}

TEST_F(Jtpo, LengthsOneAndTwoUseAWindowOfThree) {
  TestChart one({1, 3, 2, 2.5f}, {1});
  ASSERT_EQ(one.Call(JTPO), 0);
  EXPECT_EQ(one.result.first, 1);
  EXPECT_EQ(one.R(1), 0.0f);  // still filling at the result's first bar
  EXPECT_EQ(one.R(2), 0.5f);
  EXPECT_EQ(one.R(3), -0.5f);
  TestChart two({1, 3, 2, 2.5f}, {2});
  ASSERT_EQ(two.Call(JTPO), 0);
  EXPECT_EQ(two.result.first, 2);
  EXPECT_EQ(two.R(2), 0.5f);
}

TEST_F(Jtpo, LengthIsRoundedToEven) {
  for (const auto& [length, first] : {std::pair{2.5f, 2}, std::pair{3.5f, 4}, std::pair{0.5f, 0}}) {
    TestChart c(Ramp(10, 1, 1), {length});
    ASSERT_EQ(FaultOf(c), length == 0.5f ? "Integer overflow" : "no fault") << length;
    if (length != 0.5f) {
      EXPECT_EQ(c.result.first, first) << length;
    }
  }
}

TEST_F(Jtpo, EqualFirstPricesRestartTheWindow) {
  // Length 4: 5, 5, 5 restarts on bar 2; the window 6, 7, 8, 9 fills on bar 6.
  TestChart c({5, 5, 5, 6, 7, 8, 9, 1}, {4});
  ASSERT_EQ(c.Call(JTPO), 0);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(c.R(i), 0.0f) << i;
  EXPECT_EQ(c.R(6), 1.0f);
  EXPECT_EQ(c.R(7), -0.2f);  // 7, 8, 9, 1: ranks 2, 3, 4, 1, t = -1
  // A change on the last filling bar keeps the window: 5, 5, 6 fills at 3.
  TestChart kept({5, 5, 6, 7}, {4});
  ASSERT_EQ(kept.Call(JTPO), 0);
  EXPECT_NE(kept.R(3), 0.0f);
}

TEST_F(Jtpo, TheValidRangeFollowsCloseAndTheArgument) {
  TestChart c(Ramp(30, 1, 1), {3});
  c.data.close = {&c.Close(0), 2, 25};
  c.Arg(0) = {&c.Close(0), 5, 20};
  ASSERT_EQ(c.Call(JTPO), 0);
  EXPECT_EQ(c.result.first, 8);
  EXPECT_EQ(c.result.last, 20);
  EXPECT_EQ(c.R(4), kPoison);
  EXPECT_EQ(c.R(7), 1.0f);
  EXPECT_EQ(c.R(21), kPoison);

  // An argument without a valid range narrows only the first bar.
  TestChart empty(Ramp(30, 1, 1), {3});
  empty.Arg(0) = {&empty.Close(0), 10, 4};
  ASSERT_EQ(empty.Call(JTPO), 0);
  EXPECT_EQ(empty.result.first, 13);
  EXPECT_EQ(empty.result.last, 29);

  // Fewer bars than the window: zeros, the range's first beyond its last.
  TestChart shorter(Ramp(3, 1, 1), {14});
  ASSERT_EQ(shorter.Call(JTPO), 0);
  EXPECT_EQ(shorter.R(2), 0.0f);
  EXPECT_EQ(shorter.result.first, 14);
  EXPECT_EQ(shorter.result.last, 2);
}

TEST_F(Jtpo, RangeFaults) {
  TestChart negativeClose(Ramp(10, 1, 1), {3});
  negativeClose.data.close.first = -1;
  EXPECT_EQ(FaultOf(negativeClose), "Range check error");
  TestChart negativeArgument(Ramp(10, 1, 1), {3});
  negativeArgument.Arg(0) = {&negativeArgument.Close(0), -5, -2};
  EXPECT_EQ(FaultOf(negativeArgument), "Range check error");
  TestChart pastTheArrays(Ramp(kMaxBars, 0, 1), {3});
  pastTheArrays.SetPriceRange(65490, 65500);
  EXPECT_EQ(FaultOf(pastTheArrays), "Range check error");
  EXPECT_EQ(pastTheArrays.R(65499), 1.0f);  // written before the fault, stays

  // A range that processes no bar faults at no bar, wherever it lies.
  TestChart nothingProcessed(Ramp(kMaxBars, 0, 1), {3});
  nothingProcessed.data.close = {&nothingProcessed.Close(0), 65401, 65516};
  nothingProcessed.Arg(0) = {&nothingProcessed.Close(0), 65528, 65563};
  ASSERT_EQ(nothingProcessed.Call(JTPO), 0) << nothingProcessed.Error();
  EXPECT_EQ(nothingProcessed.result.first, 65531);
  EXPECT_EQ(nothingProcessed.result.last, 65516);
  EXPECT_EQ(nothingProcessed.Written(), std::vector<int32_t>{});
}

TEST_F(Jtpo, LengthFaults) {
  auto fault = [](float length, int bars) {
    std::vector<float> p;
    for (int i = 0; i < bars; ++i) p.push_back(static_cast<float>(i % 7));
    TestChart c(p, {length});
    return FaultOf(c);
  };
  EXPECT_EQ(fault(0, 1), "Integer overflow");
  EXPECT_EQ(fault(-1, 5), "Range check error");
  EXPECT_EQ(fault(4294967296.0f, 5), "Range check error");
  EXPECT_EQ(fault(std::numeric_limits<float>::quiet_NaN(), 5), "Invalid floating point operation");
  EXPECT_EQ(fault(300, 400), "no fault");
  EXPECT_EQ(fault(301, 300), "no fault");  // the window never needs slot 301
  EXPECT_EQ(fault(301, 301), "Range check error");
  EXPECT_EQ(fault(1290, 5), "no fault");
  EXPECT_EQ(fault(1291, 5), "Integer overflow");            // 1290 x 1291 x 1292
  EXPECT_EQ(fault(2147483648.0f, 5), "Integer overflow");   // n - 1 fits, n does not
  EXPECT_EQ(fault(2147483904.0f, 5), "Range check error");  // n - 1 does not fit
}

TEST_F(Jtpo, LengthZeroWithoutABarToComputeIsNoFault) {
  TestChart c(Ramp(6, 1, 1), {0});
  c.Arg(0) = {&c.Close(0), 10, 4};  // narrows the first bar past the last
  ASSERT_EQ(c.Call(JTPO), 0);
  EXPECT_EQ(c.result.first, 10);
  EXPECT_EQ(c.result.last, 5);
  EXPECT_EQ(c.R(5), kPoison);
}

TEST_F(Jtpo, ANaNPriceIsAFault) {
  // A short window, and a long one whose rank trees stop before the NaN.
  for (const auto& [length, nan] : {std::pair{3, 6}, std::pair{kJtpoRankTreeWindow, 40}}) {
    TestChart c(Ramp(60, 1, 1), {static_cast<float>(length)});
    c.Close(static_cast<size_t>(nan)) = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(FaultOf(c), "Invalid floating point operation");
    EXPECT_EQ(c.R(nan - 1), 1.0f);
    EXPECT_EQ(c.R(nan), kPoison);
  }
}

TEST_F(Jtpo, WithTheCodePageFlagClearItComputesButAnswersMinusOne) {
  SetCodePageFlag(false);
  TestChart c(Ramp(8, 1, 1), {3});
  ASSERT_EQ(c.Call(JTPO), -1);
  EXPECT_EQ(c.Error(), "poison");
  EXPECT_EQ(c.R(7), 1.0f);
  EXPECT_EQ(c.result.first, 3);
  EXPECT_EQ(c.result.last, 7);
}

// The rank step written the plain way: the window moved slot by slot, a
// selection sort (the first of equal smallest values wins, time ranks
// swapped alike), runs of equal prices given their average rank, the sum
// over the sorted order. The module's incremental ranks must not change a
// single bit of it.
std::vector<float> PlainJtpo(const std::vector<float>& prices, int32_t n) {
  std::vector<float> out;
  std::vector<double> window(static_cast<size_t>(n) + 1);
  int32_t fill = 0;
  bool changed = false;
  double last = 0;
  const double scale = 12.0 / ((n - 1) * n * (n + 1));
  const double mean = (n + 1) * 0.5;
  for (float price : prices) {
    const double x = price;
    if (fill == 0) {
      fill = 1;
      changed = false;
      last = x;
      window[1] = x;
    } else {
      fill = fill <= n ? fill + 1 : n + 1;
      const double p = last;
      last = x;
      if (fill > n) {
        for (int32_t j = 2; j <= n; ++j)
          window[static_cast<size_t>(j - 1)] = window[static_cast<size_t>(j)];
        window[static_cast<size_t>(n)] = x;
      } else {
        window[static_cast<size_t>(fill)] = x;
      }
      if (fill <= n - 1 && p != x) changed = true;
      if (fill == n - 1 && !changed) fill = 0;
    }
    if (fill < n) {
      out.push_back(0);
      continue;
    }
    std::vector<double> sorted(window), time(window.size()), rank(window.size());
    for (int32_t i = 1; i <= n; ++i)
      time[static_cast<size_t>(i)] = rank[static_cast<size_t>(i)] = i;
    for (size_t i = 1; i < static_cast<size_t>(n); ++i) {
      size_t m = i;
      for (size_t j = i + 1; j <= static_cast<size_t>(n); ++j)
        if (sorted[j] < sorted[m]) m = j;
      std::swap(sorted[i], sorted[m]);
      std::swap(time[i], time[m]);
    }
    for (size_t i = 1; i < static_cast<size_t>(n);) {
      size_t j = i + 1;
      double s = rank[i];
      for (; j <= static_cast<size_t>(n) && sorted[j] == sorted[i]; ++j) s += rank[j];
      if (j - i > 1)
        for (size_t k = i; k < j; ++k) rank[k] = s / static_cast<double>(j - i);
      i = j;
    }
    double t = 0;
    for (size_t i = 1; i <= static_cast<size_t>(n); ++i) t += (rank[i] - mean) * (time[i] - mean);
    out.push_back(static_cast<float>(scale * t));
  }
  return out;
}

TEST_F(Jtpo, MatchesThePlainSelectionSortBitForBit) {
  // A walk on a coarse grid, so that equal prices are frequent, with flat
  // stretches that restart filling windows; the bundled prices; a random
  // walk in cents with signed zeros among its prices.
  std::vector<float> coarse;
  uint32_t state = 2024;
  float price = 20;
  for (int i = 0; i < 3000; ++i) {
    state = state * 1664525u + 1013904223u;
    if (i % 500 >= 8)
      price = std::max(1.0f, price + static_cast<float>(static_cast<int>(state >> 29) - 3) * 0.5f);
    coarse.push_back(price);
  }
  std::vector<float> cents = RandomWalk(4000, 3, 11).close;
  for (size_t i = 0; i < cents.size(); i += 97) cents[i] = i % 2 ? 0.0f : -0.0f;
  // Windows from kJtpoRankTreeWindow on take the rank trees, shorter ones
  // the per-slot ranks.
  for (const auto& prices : {coarse, BundledPrices().close, cents}) {
    for (int32_t n : {3, 4, 5, 14, kJtpoRankTreeWindow - 1, kJtpoRankTreeWindow, 50, 299, 300}) {
      TestChart c(prices, {static_cast<float>(n)});
      ASSERT_EQ(c.Call(JTPO), 0) << n;
      const std::vector<float> plain = PlainJtpo(prices, n);
      for (int32_t i = 0; i < static_cast<int32_t>(prices.size()); ++i)
        ASSERT_EQ(c.R(i), plain[static_cast<size_t>(i)]) << "n " << n << " bar " << i;
    }
  }
}

}  // namespace
}  // namespace msx
