// NRTR_WATR: the window start, the volatility channel, the lengths' rounding
// and the fault paths, through the exported function.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "DirtyWorkMemory.h"
#include "Exports.h"
#include "TestChart.h"
#include "host/Export.h"
#include "indicators/MSX_QMR_NRTR_WATR.h"

namespace msx {
namespace {

constexpr const char* kFixed = "ResultRec.szExtendedError";
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// A chart of n bars with the given closes, and NRTR_WATR's three series:
// the close, a constant length and a constant multiplier over every bar.
struct WatrChart : TestChart {
  WatrChart(const std::vector<float>& closes, float length, float multiplier, float spread = 1)
      : TestChart(closes, spread) {
    const auto last = static_cast<int32_t>(closes.size()) - 1;
    AddClose();
    AddConstant(length, 0, last);
    AddConstant(multiplier, 0, last);
  }
  HostSeries& Length() { return *series.items[1]; }
  HostSeries& Multiplier() { return *series.items[2]; }
  int32_t Call() { return TestChart::Call(NRTR_WATR); }
};

TEST(NrtrWatr, TheFirstWindowFitsAfterTheStartOfTheLengths) {
  // Close 100 throughout, high and low i above and below it on bar i: the
  // true range of bar i is 2i, the weighted average over bars i - 9 to i is
  // 2i - 6, and the undecided line L + 2 x average is 88 + 4i, from bar 10,
  // whose window is bars 1 to 10.
  WatrChart c(std::vector<float>(100, 100.0f), 10, 2, 0);
  for (size_t i = 0; i < 100; ++i) {
    c.High(i) = 100.0f + static_cast<float>(i);
    c.Low(i) = 100.0f - static_cast<float>(i);
  }
  ASSERT_EQ(c.Call(), 0);
  EXPECT_EQ(c.result.first, 10);
  EXPECT_EQ(c.result.last, 99);
  EXPECT_EQ(c.R(9), kPoison);
  for (int32_t i = 10; i <= 99; ++i) EXPECT_EQ(c.R(i), static_cast<float>(88 + 4 * i)) << i;
  EXPECT_TRUE(c.GuardsIntact());
}

TEST(NrtrWatr, AZeroChannelPutsTheLineOnThePrice) {
  const std::vector<float> prices = RandomWalk(400, 99);
  WatrChart zeroMultiplier(prices, 14, 0);
  ASSERT_EQ(zeroMultiplier.Call(), 0);
  EXPECT_EQ(zeroMultiplier.result.first, 14);
  for (int32_t i = 14; i < 400; ++i)
    ASSERT_EQ(zeroMultiplier.R(i), prices[static_cast<size_t>(i)]) << i;

  // Length 0 is a zero average on every bar; -0.4 rounds to 0.
  for (float length : {0.0f, -0.4f}) {
    WatrChart zeroLength(prices, length, 2);
    ASSERT_EQ(zeroLength.Call(), 0) << length;
    EXPECT_EQ(zeroLength.result.first, 1);
    for (int32_t i = 1; i < 400; ++i)
      ASSERT_EQ(zeroLength.R(i), prices[static_cast<size_t>(i)]) << i;
  }
}

TEST(NrtrWatr, LengthsRoundHalvesToTheEvenNeighbour) {
  const std::vector<float> prices = RandomWalk(300, 99);
  auto run = [&](float length) {
    WatrChart c(prices, length, 1.5f);
    EXPECT_EQ(c.Call(), 0);
    std::vector<float> r;
    for (int32_t i = 0; i < 300; ++i) r.push_back(c.R(i));
    return r;
  };
  EXPECT_EQ(run(2.5f), run(2));
  EXPECT_EQ(run(3.5f), run(4));
  EXPECT_NE(run(3), run(4));
}

TEST(NrtrWatr, AWindowReachingBeforeThePricesReadsZeros) {
  // Prices valid from bar 5, lengths from bar 0: the line starts at bar 6,
  // whose window of 3 holds the true ranges of bars 4, 5 (never computed:
  // 0) and 6.
  WatrChart c({10, 10, 10, 10, 10, 10, 12, 13, 11}, 3, 1);
  c.SetRange(5, 8);
  c.series.items[0]->first = 5;
  DirtyWorkMemory();  // whatever an earlier call left there
  ASSERT_EQ(c.Call(), 0);
  EXPECT_EQ(c.result.first, 6);
  // True range of bar 6: high 13 less the previous close 10 = 3; average
  // (3 x 3) / 6 = 1.5. Undecided on bar 6 with H = L = 12: the line is
  // 12 + 1.5.
  EXPECT_EQ(c.R(6), 13.5f);
}

TEST(NrtrWatr, TheLineStartsWhereEverySeriesHoldsData) {
  const std::vector<float> prices = RandomWalk(100, 99);
  WatrChart multiplierLater(prices, 5, 2);
  multiplierLater.Multiplier().first = 20;
  ASSERT_EQ(multiplierLater.Call(), 0);
  EXPECT_EQ(multiplierLater.result.first, 20);
  EXPECT_EQ(multiplierLater.R(19), kPoison);

  // A longer length on a later bar pushes the start on: a window of 6 from
  // bar 3 would reach before the lengths start.
  WatrChart growing(prices, 3, 2);
  for (int32_t i = 3; i < 100; ++i) growing.Length().values[i] = 6;
  ASSERT_EQ(growing.Call(), 0);
  EXPECT_EQ(growing.result.first, 6);
}

TEST(NrtrWatr, FaultsGiveTheFixedTextAndLeaveTheRange) {
  const std::vector<float> prices = RandomWalk(50, 99);
  auto expectFault = [](WatrChart& c, const char* what) {
    EXPECT_EQ(c.Call(), -1) << what;
    EXPECT_EQ(c.Error(), kFixed) << what;
    EXPECT_EQ(c.result.first, -77) << what;
    EXPECT_TRUE(c.GuardsIntact()) << what;
  };
  WatrChart negativeLength(prices, -0.6f, 2);
  expectFault(negativeLength, "length -0.6");
  WatrChart hugeLength(prices, 1e9f, 2);
  expectFault(hugeLength, "length 1e9: the start lies beyond the arrays");
  WatrChart hugeNegative(prices, -1e9f, 2);
  expectFault(hugeNegative, "length -1e9");
  WatrChart nanLength(prices, kNaN, 2);
  expectFault(nanLength, "NaN length");
  WatrChart nanMultiplier(prices, 5, kNaN);
  expectFault(nanMultiplier, "NaN multiplier");
  WatrChart nanPrice(prices, 5, 2);
  nanPrice.Close(30) = kNaN;
  expectFault(nanPrice, "NaN price");
  WatrChart negativeFirst(prices, 5, 2);
  negativeFirst.SetRange(-3, 49);
  negativeFirst.series.items[0]->first = -3;
  expectFault(negativeFirst, "negative first index");
  WatrChart beyond(prices, 5, 2);
  beyond.SetRange(0, 65500);
  beyond.Length().last = beyond.Multiplier().last = beyond.series.items[0]->last = 65500;
  expectFault(beyond, "last index beyond the arrays");
  EXPECT_TRUE(beyond.Written().empty());  // the true range pass fails first
}

TEST(NrtrWatr, ALengthChangingMidwayFailsOnItsOwnBar) {
  const std::vector<float> prices = RandomWalk(200, 99);
  WatrChart c(prices, 5, 2);
  c.Length().values[150] = -3;  // rounds below 0
  // The window start pass reads every length first: the whole call fails
  // before any bar is written.
  EXPECT_EQ(c.Call(), -1);
  EXPECT_TRUE(c.Written().empty());
}

TEST(NrtrWatr, InfiniteChannelsAndReversedRangesStayInsideTheArrays) {
  const std::vector<float> prices = RandomWalk(60, 99);
  WatrChart infinite(prices, 5, kInf);
  const int32_t rc = infinite.Call();
  EXPECT_TRUE(rc == 0 || rc == -1);
  EXPECT_TRUE(infinite.GuardsIntact());

  WatrChart reversed(prices, 5, 2);
  reversed.SetRange(40, 10);
  EXPECT_EQ(reversed.Call(), 0);  // no bar to compute
  EXPECT_EQ(reversed.result.first, 41);
  EXPECT_EQ(reversed.result.last, 10);
  EXPECT_TRUE(reversed.GuardsIntact());
}

}  // namespace
}  // namespace msx
