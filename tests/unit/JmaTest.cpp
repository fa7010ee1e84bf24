// JMA: the derived parameters, the phases of a call, the valid range and the
// fault paths, through the exported function as the host calls it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "Exports.h"
#include "FaultOf.h"
#include "TestChart.h"
#include "common/FloatEnvironment.h"
#include "common/MSX_QMR_CommonFunc.h"
#include "indicators/MSX_QMR_JMA.h"

namespace msx {
namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// Prices that move every bar, on a 0.01 grid.
std::vector<float> Wavy(int n) {
  std::vector<float> p;
  for (int i = 0; i < n; ++i)
    p.push_back(
        static_cast<float>(std::round((100 + 5 * std::sin(i * 0.3) + 0.07 * i) * 100) / 100));
  return p;
}

class Jma : public ::testing::Test {
 protected:
  void SetUp() override { SetCodePageFlag(true); }
  void TearDown() override { SetCodePageFlag(false); }
};

// The values below are those of an independent model in exact arithmetic
// (tests/models/indicator_model.py), each a float literal that reads back
// exactly.
TEST_F(Jma, ParametersOfLength14AndPhase0) {
  const JmaParameters p = DeriveJmaParameters(14, 0);
  EXPECT_EQ(p.halfLength, 6.5f);
  EXPECT_EQ(p.phaseFactor, 1.5f);
  EXPECT_EQ(p.logFactor, 3.35021996f);
  EXPECT_EQ(p.bandExponent, 1.35021996f);
  EXPECT_EQ(p.bandLength, 8.54141808f);
  EXPECT_EQ(p.bandDecay, 0.895193756f);
  EXPECT_EQ(p.smoothingBeta, 0.745222926f);
}

TEST_F(Jma, ShortLengthsHoldTheirParametersAtTheFloors) {
  for (int32_t length : {1, 0, -5, std::numeric_limits<int32_t>::min()}) {
    const JmaParameters p = DeriveJmaParameters(length, 0);
    EXPECT_EQ(p.halfLength, 1e-10f) << length;
    EXPECT_EQ(p.logFactor, 0.0f) << length;
    EXPECT_EQ(p.bandExponent, 0.5f) << length;
    EXPECT_EQ(p.bandLength, 0.0f) << length;
    EXPECT_EQ(p.bandDecay, 0.0f) << length;
  }
  const JmaParameters two = DeriveJmaParameters(2, 0);
  EXPECT_EQ(two.logFactor, 1.5f);
  EXPECT_EQ(two.bandExponent, 0.5f);  // 1.5 - 2 is below the floor
  EXPECT_EQ(two.bandLength, 1.06066012f);
  const JmaParameters longest = DeriveJmaParameters(std::numeric_limits<int32_t>::max(), 0);
  EXPECT_TRUE(std::isfinite(longest.bandLength));
}

TEST_F(Jma, PhaseIsClampedAndRoundedToEven) {
  auto factor = [](float phase) {
    return DeriveJmaParameters(20, RoundToInt32(phase)).phaseFactor;
  };
  EXPECT_EQ(factor(-100), 0.5f);
  EXPECT_EQ(factor(100), 2.5f);
  EXPECT_EQ(factor(-101), 0.5f);
  EXPECT_EQ(factor(-1000), 0.5f);
  EXPECT_EQ(factor(101), 2.5f);
  EXPECT_EQ(factor(0), 1.5f);
  EXPECT_EQ(factor(10.5f), 1.60000002f);  // 10
  EXPECT_EQ(factor(11.5f), 1.62f);        // 12
}

TEST_F(Jma, TheResultStartsThirtyBarsInOrAtLengthPlus25) {
  const std::vector<std::pair<float, int32_t>> cases = {
      {0, 30}, {1, 30}, {4, 30}, {5, 30}, {14, 39}, {20, 45}, {-9, 30}, {4.5f, 30}, {5.5f, 31}};
  for (const auto& [length, start] : cases) {
    TestChart c(Wavy(100), {length, 0});
    c.SetPriceRange(7, 99);
    ASSERT_EQ(c.Call(JMA), 0) << length;
    EXPECT_EQ(c.result.first, 7 + start) << length;
    EXPECT_EQ(c.result.last, 99) << length;
  }
}

TEST_F(Jma, ThirtyBarsOrFewerGiveZerosAndAnEmptyRange) {
  for (int bars : {1, 12, 30}) {
    TestChart c(Wavy(bars), {14, 0});
    ASSERT_EQ(c.Call(JMA), 0);
    for (int i = 0; i < bars; ++i) EXPECT_EQ(c.R(i), 0.0f) << bars << " bars, bar " << i;
    EXPECT_EQ(c.R(bars), kPoison);
    EXPECT_EQ(c.result.first, 39);
    EXPECT_EQ(c.result.last, bars - 1);
  }
}

TEST_F(Jma, AConstantPriceShowsZerosThenThePriceThenThePriceFiltered) {
  TestChart c(std::vector<float>(100, 123.25f), {14, 0});
  ASSERT_EQ(c.Call(JMA), 0);
  for (int i = 0; i < 30; ++i) EXPECT_EQ(c.R(i), 0.0f) << i;
  for (int i = 30; i < 100; ++i) EXPECT_EQ(c.R(i), 123.25f) << i;
}

TEST_F(Jma, VaryingPricesEndTheWarmUpOnBar31) {
  const std::vector<float> p = Wavy(40);
  TestChart c(p, {14, 0});
  ASSERT_EQ(c.Call(JMA), 0);
  EXPECT_EQ(c.R(29), 0.0f);
  EXPECT_EQ(c.R(30), p[30]);  // the replayed warm-up ends with the price itself
  for (int i = 31; i < 40; ++i) EXPECT_NE(c.R(i), p[static_cast<size_t>(i)]) << i;
}

TEST_F(Jma, AnArgumentOutsideTheCloseRangeComputesOneBar) {
  TestChart c(Wavy(200), {14, 0});
  c.data.close.last = 99;
  c.Arg(0) = {&c.Close(0), 150, 199};
  c.Close(150) = kNaN;  // only buffered: no arithmetic touches it
  ASSERT_EQ(c.Call(JMA), 0);
  EXPECT_EQ(c.R(150), 0.0f);
  EXPECT_EQ(c.R(149), kPoison);
  EXPECT_EQ(c.R(151), kPoison);
  EXPECT_EQ(c.result.first, 189);
  EXPECT_EQ(c.result.last, 150);
}

TEST_F(Jma, ARangePastTheHostArraysFailsAfterBar65499) {
  TestChart c(std::vector<float>(kMaxBars, 50.0f), {14, 0});
  c.SetPriceRange(65400, 65500);
  ASSERT_EQ(c.Call(JMA), -1);
  EXPECT_EQ(c.Error(), "Range check error");
  EXPECT_EQ(c.R(65499), 50.0f);  // written before the fault, stays
  EXPECT_EQ(c.result.first, kUnsetIndex);
  EXPECT_EQ(c.result.last, kUnsetIndex);

  TestChart negative(Wavy(10), {14, 0});
  negative.SetPriceRange(-3, 9);
  ASSERT_EQ(negative.Call(JMA), -1);
  EXPECT_EQ(negative.Error(), "Range check error");
  EXPECT_EQ(negative.R(0), kPoison);
}

TEST_F(Jma, ArgumentsBeyondTheIntegerRangeAndOverflowingRangesFail) {
  auto fault = [](float length, float phase, int32_t first = 0) {
    TestChart c(Wavy(200), {length, phase});
    c.SetPriceRange(first, 199);
    if (c.Call(JMA) == 0) return std::string("no fault");
    EXPECT_EQ(c.result.first, kUnsetIndex);
    return c.Error();
  };
  EXPECT_EQ(fault(3e9f, 0), "Range check error");
  EXPECT_EQ(fault(14, -3e9f), "Range check error");
  EXPECT_EQ(fault(kNaN, 0), "Invalid floating point operation");
  EXPECT_EQ(fault(14, kInf), "Invalid floating point operation");
  // The largest float below 2^31: first + L + 25 overflows from first 103.
  EXPECT_EQ(fault(2147483520.0f, 0, 102), "no fault");
  EXPECT_EQ(fault(2147483520.0f, 0, 103), "Integer overflow");
}

// Samples of 123456789 against 1 let the ten-sample sum keep a negative
// rounding residue after they leave its ring; the trimmed mean of the
// history then drops below zero on bar 264, where the power would have no
// real result (the exact model fails on the same bar).
TEST_F(Jma, AVolatilityYardstickOfZeroOrBelowIsAFault) {
  std::vector<float> p(400, 1.0f);
  for (size_t i = 30; i < 45; i += 2) p[i] = 123456789.0f;
  TestChart c(p, {14, 0});
  ASSERT_EQ(c.Call(JMA), -1);
  EXPECT_EQ(c.Error(), "Invalid floating point operation");
  EXPECT_EQ(c.R(263), 1.0f);
  EXPECT_EQ(c.R(264), kPoison);
}

// After a flat stretch the yardstick is the 1e-10 floor, so a jump gives a
// volatility ratio near 1e13. Raised to Length 14's exponent (1.35) that is
// far above the cap and the ratio is capped; raised to Length 1000's (4.48)
// it is beyond the float range, and storing it is an overflow.
TEST_F(Jma, AJumpAfterAFlatStretchIsCappedOrOverflows) {
  std::vector<float> p(300, 1.0f);
  for (size_t i = 200; i < p.size(); ++i) p[i] = 1000.0f;
  TestChart capped(p, {14, 0});
  ASSERT_EQ(capped.Call(JMA), 0);
  EXPECT_GT(capped.R(200), 1.0f);
  EXPECT_LT(capped.R(200), 1000.0f);

  TestChart overflow(p, {1000, 0});
  ASSERT_EQ(overflow.Call(JMA), -1);
  EXPECT_EQ(overflow.Error(), "Floating point overflow");
  EXPECT_EQ(overflow.R(199), 1.0f);
  EXPECT_EQ(overflow.R(200), kPoison);
}

TEST_F(Jma, NaNOrInfinitePricesFailOrGiveAResultButNeverCrash) {
  TestChart nan(Wavy(80), {14, 0});
  nan.Close(50) = kNaN;
  ASSERT_EQ(nan.Call(JMA), -1);
  EXPECT_EQ(nan.Error(), "Invalid floating point operation");
  EXPECT_NE(nan.R(49), kPoison);
  EXPECT_EQ(nan.R(50), kPoison);

  TestChart early(Wavy(80), {14, 0});
  early.Close(3) = kNaN;  // replayed on bar 31
  ASSERT_EQ(early.Call(JMA), -1);
  EXPECT_EQ(early.R(29), 0.0f);
  EXPECT_EQ(early.R(30), kPoison);

  for (float hostile : {kInf, -kInf, 3e38f, -3e38f, 1e-45f}) {
    for (float length : {0.0f, 14.0f, 1e6f}) {
      TestChart c(Wavy(300), {length, 50});
      c.Close(200) = hostile;
      const int32_t rc = c.Call(JMA);
      EXPECT_TRUE(rc == 0 || (rc == -1 && !c.Error().empty())) << hostile << " " << length;
      for (int i = 0; rc == 0 && i < 300; ++i) EXPECT_FALSE(std::isnan(c.R(i))) << i;
    }
  }
}

TEST_F(Jma, WithTheCodePageFlagClearItComputesButAnswersMinusOne) {
  SetCodePageFlag(false);
  TestChart c(Wavy(60), {14, 0});
  ASSERT_EQ(c.Call(JMA), -1);
  EXPECT_EQ(c.Error(), "poison");
  EXPECT_EQ(c.result.first, 39);
  EXPECT_EQ(c.result.last, 59);
  TestChart offered(Wavy(60), {14, 0});
  SetCodePageFlag(true);
  ASSERT_EQ(offered.Call(JMA), 0);
  for (int i = 0; i < 60; ++i) EXPECT_EQ(c.R(i), offered.R(i)) << i;
}

// The bar loop's shortcuts must store exactly the floats of the extended
// formulas. The series are chosen to reach their rare paths: prices on
// coarse grids and flat stretches put many results exactly on or next to a
// float's rounding boundary, wild moves reach the cap of the volatility
// ratio and the float range's ends, and tiny prices the denormals.
TEST(JmaShortcuts, StoreTheFloatsOfTheExtendedFormulasBitForBit) {
  // As in a call: the float environment the computation is written for, and
  // the flags it raises kept from the tests that follow.
  const FloatEnvironmentScope environment;
  std::mt19937_64 random(20261208);
  std::uniform_real_distribution<double> unit(0, 1);
  auto walk = [&](int n, double start, double step, double grid, double flatChance) {
    std::vector<float> p;
    double x = start;
    for (int i = 0; i < n; ++i) {
      if (unit(random) >= flatChance) x += step * (unit(random) - 0.5);
      if (x <= grid) x = start;
      p.push_back(static_cast<float>(grid > 0 ? std::round(x / grid) * grid : x));
    }
    return p;
  };
  auto wild = [&](int n, double scale) {
    std::vector<float> p;
    for (int i = 0; i < n; ++i)
      p.push_back(static_cast<float>(scale * std::exp2(40 * (unit(random) - 0.5))));
    return p;
  };
  std::vector<std::vector<float>> series = {
      walk(4000, 500, 4, 0.01, 0),
      walk(4000, 500, 4, 0.01, 0.3),
      walk(4000, 100, 6, 1, 0.5),
      walk(4000, 100, 3, 0.25, 0.8),
      walk(4000, 1, 0.01, 0, 0),
      walk(4000, 1e6, 1e4, 0, 0.1),
      walk(4000, 1e-40, 1e-41, 0, 0),
      wild(4000, 1),
      wild(4000, 1e30),
      wild(4000, 1e-30),
  };
  int faults = 0;
  for (size_t k = 0; k < series.size(); ++k) {
    std::vector<float>& p = series[k];
    const HostSeries price{p.data(), 0, static_cast<int32_t>(p.size()) - 1};
    for (float length :
         {0.0f, 1.0f, 2.0f, 5.0f, 7.0f, 14.0f, 20.0f, 50.0f, 300.0f, 65499.0f, 1e9f}) {
      for (float phase : {-100.0f, 0.0f, 37.0f, 100.0f}) {
        std::vector<float> fast(p.size(), -1.0f);
        std::vector<float> exact(p.size(), -1.0f);
        BarRange fastRange{};
        BarRange exactRange{};
        const std::string fastFault =
            FaultOf([&] { fastRange = ComputeJma(price, price, length, phase, fast.data()); });
        const std::string exactFault = FaultOf([&] {
          exactRange =
              ComputeJma(price, price, length, phase, exact.data(), JmaArithmetic::kExtendedOnly);
        });
        ASSERT_EQ(fastFault, exactFault) << "series " << k << " L " << length << " P " << phase;
        faults += fastFault != "no fault";
        if (fastFault == "no fault") {
          EXPECT_EQ(fastRange.first, exactRange.first);
          EXPECT_EQ(fastRange.last, exactRange.last);
        }
        for (size_t i = 0; i < p.size(); ++i) {
          ASSERT_EQ(std::memcmp(&fast[i], &exact[i], sizeof(float)), 0)
              << "series " << k << " L " << length << " P " << phase << " bar " << i << ": "
              << fast[i] << " against " << exact[i];
        }
      }
    }
  }
  EXPECT_LT(faults, 440 / 2);  // most calls run through
}

}  // namespace
}  // namespace msx
