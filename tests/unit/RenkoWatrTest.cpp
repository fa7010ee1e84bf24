// RENKO_WATR: brick moves, the output modes and their bars, the refused
// arguments and the fault paths, through the exported function.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "Exports.h"
#include "TestChart.h"
#include "host/Export.h"
#include "indicators/MSX_QMR_RENKO_WATR.h"

namespace msx {
namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

struct RenkoChart : TestChart {
  RenkoChart(const std::vector<float>& closes, float multiplier, float smooth, RenkoMode mode,
             float spread = 1)
      : TestChart(closes, spread) {
    AddClose();
    AddNumber(multiplier);
    AddNumber(smooth);
    AddCustom(static_cast<int32_t>(mode));
  }
  int32_t Call() { return TestChart::Call(RENKO_WATR); }
};

TEST(RenkoWatr, EachModeWritesItsBarsAndTheRangeIsTheSame) {
  const std::vector<float> prices = RandomWalk(100, 5, 60);
  for (RenkoMode mode : {RenkoMode::kUp, RenkoMode::kDown, RenkoMode::kAuto, RenkoMode::kLong,
                         RenkoMode::kShort, RenkoMode::kBoth}) {
    RenkoChart c(prices, 2, 10, mode);
    ASSERT_EQ(c.Call(), 0);
    EXPECT_EQ(c.result.first, 13);
    EXPECT_EQ(c.result.last, 99);
    const std::vector<int32_t> written = c.Written();
    ASSERT_FALSE(written.empty());
    // Up and Dn give the next bar's trigger from bar 12 on; the other modes
    // give bar 12 itself, before the reported range.
    const bool next = mode == RenkoMode::kUp || mode == RenkoMode::kDown;
    EXPECT_EQ(written.front(), next ? 13 : 12) << static_cast<int>(mode);
    EXPECT_EQ(written.back(), 99);
    EXPECT_EQ(written.size(), next ? 87u : 88u);
    EXPECT_TRUE(c.GuardsIntact());
  }
}

// Bars 0 to 2 at 100 with high and low 1 away: with smoothing 1 the levels
// start on bar 2 at 101 and 99 with a brick of 2 (multiplier 1).
struct BrickChart : RenkoChart {
  explicit BrickChart(RenkoMode mode, float multiplier = 1)
      : RenkoChart({100, 100, 100, 0, 0}, multiplier, 1, mode) {}
};

TEST(RenkoWatr, MovesAreWholeBricksOfTheSizeBeforeTheMove) {
  // Bar 3 closes 3.5 bricks above the top (108): the top moves 3 bricks to
  // 107. Its true range from the previous close 100 to 108 makes the new
  // brick 8: the next upward trigger is 115, the downward one 91.
  BrickChart up(RenkoMode::kUp);
  BrickChart autoMode(RenkoMode::kAuto);
  BrickChart both(RenkoMode::kBoth);
  for (BrickChart* c : {&up, &autoMode, &both}) {
    c->Close(3) = c->High(3) = c->Low(3) = 108;
    c->Close(4) = c->High(4) = c->Low(4) = 108;
    ASSERT_EQ(c->Call(), 0);
  }
  EXPECT_EQ(up.R(4), 115.0f);
  EXPECT_EQ(autoMode.R(3), 91.0f);  // rising: the trigger against the trend is below
  EXPECT_EQ(both.R(3), 1.0f);
}

TEST(RenkoWatr, AClosingPriceExactlyAtATriggerIsNoMove) {
  BrickChart atTop(RenkoMode::kBoth);
  atTop.Close(3) = atTop.High(3) = atTop.Low(3) = 103;  // top + brick
  BrickChart atBottom(RenkoMode::kBoth);
  atBottom.Close(3) = atBottom.High(3) = atBottom.Low(3) = 97;  // bottom - brick
  BrickChart below(RenkoMode::kBoth);
  below.Close(3) = below.High(3) = below.Low(3) = 96.9f;
  for (BrickChart* c : {&atTop, &atBottom, &below}) ASSERT_EQ(c->Call(), 0);
  EXPECT_EQ(atTop.R(3), -1.0f);  // the trend starts falling and stays so
  EXPECT_EQ(atBottom.R(3), -1.0f);
  EXPECT_EQ(below.R(3), -1.0f);
}

// Bars whose high and low are the close.
void Flat(TestChart& c, const std::vector<float>& closes) {
  for (size_t i = 0; i < closes.size(); ++i) c.Close(i) = c.High(i) = c.Low(i) = closes[i];
}

TEST(RenkoWatr, AZeroMultiplierLeavesNoBrick) {
  // Brick 0: the levels start at 100 and never move; the trend is rising
  // after a close above them, falling after one below, unchanged at them.
  const std::vector<float> closes = {100, 100, 100, 102, 99, 100, 101, 98};
  RenkoChart trend(closes, 0, 1, RenkoMode::kBoth);
  RenkoChart level(closes, 0, 1, RenkoMode::kAuto);
  Flat(trend, closes);
  Flat(level, closes);
  ASSERT_EQ(trend.Call(), 0);
  ASSERT_EQ(level.Call(), 0);
  const float expected[] = {1, -1, -1, 1, -1};
  for (int32_t i = 3; i <= 7; ++i) {
    EXPECT_EQ(trend.R(i), expected[i - 3]) << i;
    EXPECT_EQ(level.R(i), 100.0f) << i;
  }
}

TEST(RenkoWatr, SmoothingRoundsHalvesToEvenAndMustBeAboveZero) {
  const std::vector<float> prices = RandomWalk(200, 5, 60);
  auto values = [&](float smooth) {
    RenkoChart c(prices, 1.5f, smooth, RenkoMode::kAuto);
    EXPECT_EQ(c.Call(), 0) << smooth;
    std::vector<float> r;
    for (int32_t i = 0; i < 200; ++i) r.push_back(c.R(i));
    return r;
  };
  EXPECT_EQ(values(2.5f), values(2));
  EXPECT_EQ(values(1.5f), values(2));
  EXPECT_NE(values(3), values(2));

  RenkoChart half(prices, 1.5f, 0.5f, RenkoMode::kAuto);
  EXPECT_EQ(half.Call(), -1);
  EXPECT_EQ(half.Error(), "Smooting length must be above zero");
}

TEST(RenkoWatr, RefusedArgumentsClearTheErrorTextFirst) {
  const std::vector<float> prices = RandomWalk(50, 5, 60);
  for (float k : {-1.0f, kNaN, -0.0001f}) {
    RenkoChart c(prices, k, 5, RenkoMode::kUp);
    std::memset(c.rec.szExtendedError, 'x', sizeof c.rec.szExtendedError);
    EXPECT_EQ(c.Call(), -1) << k;
    EXPECT_EQ(c.Error(), "Koefficient must be positive");
    for (size_t b = c.Error().size(); b < sizeof c.rec.szExtendedError; ++b)
      ASSERT_EQ(c.rec.szExtendedError[b], 0) << b;
    EXPECT_EQ(c.result.first, -77);
    EXPECT_TRUE(c.Written().empty());
  }
  RenkoChart zero(prices, 0, 5, RenkoMode::kUp);  // accepted
  EXPECT_EQ(zero.Call(), 0);
}

TEST(RenkoWatr, OtherFaultsGiveTheRuntimesMessage) {
  const std::vector<float> prices = RandomWalk(50, 5, 60);
  RenkoChart hugeSmooth(prices, 1, 1e10f, RenkoMode::kUp);
  EXPECT_EQ(hugeSmooth.Call(), -1);
  EXPECT_EQ(hugeSmooth.Error(), "Range check error");
  RenkoChart nanSmooth(prices, 1, kNaN, RenkoMode::kUp);
  EXPECT_EQ(nanSmooth.Call(), -1);
  EXPECT_EQ(nanSmooth.Error(), "Invalid floating point operation");
  RenkoChart startBeyond(prices, 1, 70000, RenkoMode::kUp);  // bar 70001
  EXPECT_EQ(startBeyond.Call(), -1);
  EXPECT_EQ(startBeyond.Error(), "Range check error");
  RenkoChart nanPrice(prices, 1, 3, RenkoMode::kBoth);
  nanPrice.Close(30) = kNaN;
  EXPECT_EQ(nanPrice.Call(), -1);
  EXPECT_EQ(nanPrice.Error(), "Invalid floating point operation");
  RenkoChart negativeFirst(prices, 1, 3, RenkoMode::kBoth);
  negativeFirst.SetRange(-4, 49);
  negativeFirst.series.items[0]->first = -4;
  EXPECT_EQ(negativeFirst.Call(), -1);
  EXPECT_EQ(negativeFirst.Error(), "Range check error");
  // A brick so small that a move counts more bricks than 32 bits hold, or
  // more than any integer type holds.
  RenkoChart tinyBrick({100, 100, 100, 1000, 1000}, 1e-10f, 1, RenkoMode::kUp);
  EXPECT_EQ(tinyBrick.Call(), -1);
  EXPECT_EQ(tinyBrick.Error(), "Range check error");
  RenkoChart tiniestBrick({100, 100, 100, 1e30f, 1e30f}, 1e-30f, 1, RenkoMode::kUp);
  EXPECT_EQ(tiniestBrick.Call(), -1);
  EXPECT_EQ(tiniestBrick.Error(), "Invalid floating point operation");
  // A range past the arrays fails when the bars reach bar 65500, so a NaN
  // price on a bar before it is the fault.
  RenkoChart pastTheArrays(prices, 1, 3, RenkoMode::kBoth);
  pastTheArrays.SetPriceRange(65400, 65500);
  EXPECT_EQ(pastTheArrays.Call(), -1);
  EXPECT_EQ(pastTheArrays.Error(), "Range check error");
  RenkoChart nanBeforeTheEnd(prices, 1, 3, RenkoMode::kBoth);
  nanBeforeTheEnd.SetPriceRange(65400, 65500);
  nanBeforeTheEnd.Close(65450) = kNaN;
  EXPECT_EQ(nanBeforeTheEnd.Call(), -1);
  EXPECT_EQ(nanBeforeTheEnd.Error(), "Invalid floating point operation");
  for (RenkoChart* c : {&hugeSmooth, &nanSmooth, &startBeyond, &nanPrice, &negativeFirst,
                        &tinyBrick, &tiniestBrick, &pastTheArrays, &nanBeforeTheEnd}) {
    EXPECT_EQ(c->result.first, -77);
    EXPECT_TRUE(c->GuardsIntact());
  }
}

TEST(RenkoWatr, ShortChartsAndUnknownModesSetTheRangeOnly) {
  RenkoChart shortChart(RandomWalk(12, 5, 60), 2, 10,
                        RenkoMode::kAuto);  // start 11 is the last bar
  ASSERT_EQ(shortChart.Call(), 0);
  EXPECT_EQ(shortChart.result.first, 13);
  EXPECT_EQ(shortChart.result.last, 11);
  EXPECT_TRUE(shortChart.Written().empty());

  RenkoChart unknown(RandomWalk(60, 5, 60), 2, 5, static_cast<RenkoMode>(6));
  ASSERT_EQ(unknown.Call(), 0);
  EXPECT_EQ(unknown.result.first, 8);
  EXPECT_TRUE(unknown.Written().empty());
}

}  // namespace
}  // namespace msx
