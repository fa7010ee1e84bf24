// PowerExtended and FixedBasePower: agreement with the C library's powl over
// many operands, the exact cases, the powers of one base shared bit for bit,
// and the operands without a real power.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "FaultOf.h"
#include "indicators/ExtendedMath.h"
#include "common/FloatEnvironment.h"

namespace msx {
namespace {

using Ext = long double;
constexpr Ext kInf = std::numeric_limits<Ext>::infinity();
constexpr Ext kNaN = std::numeric_limits<Ext>::quiet_NaN();

// The unit in the last place of an extended value (64-bit significand).
Ext Ulp(Ext v) {
  int e;
  std::frexp(v, &e);
  return std::ldexp(1.0L, e - 64);
}

// The powers run in a computation's float environment, as in the library:
// the exceptions they raise stay inside it.
class PowerExtendedTest : public ::testing::Test {
  FloatEnvironmentScope environment_;
};
class FixedBasePowerTest : public ::testing::Test {
  FloatEnvironmentScope environment_;
};

struct OperandRange {
  const char* what;
  Ext baseLow, baseHigh;  // base = uniform * 2^(scale within ±spread)
  int spread;
  Ext exponentLow, exponentHigh;
};

// powl is within an ulp of the exact power; the error allowed here is the
// routine's own (2 ulp, growing by |y|/4 beyond) plus that one.
TEST_F(PowerExtendedTest, AgreesWithPowlOverManyOperands) {
  const OperandRange ranges[] = {
      {"volatility ratio over its exponent", 1, 64, 0, 0.5L, 16},
      {"decay over the root of an exponent", 0, 1, 0, 1, 4.2L},
      {"small bases over large exponents", 0, 1, 0, 1, 17},
      {"bases across the range", 0.5L, 1, 8000, -1, 1},
      {"bases near 1", 0.999L, 1.001L, 0, -64, 64},
      {"moderate bases, signed exponents", 0.5L, 1, 200, -32, 32},
  };
  std::mt19937_64 random(20260105);
  std::uniform_real_distribution<Ext> unit(0, 1);
  for (const OperandRange& r : ranges) {
    int compared = 0;
    for (int k = 0; k < 40000; ++k) {
      const int scale =
          r.spread == 0 ? 0 : static_cast<int>(unit(random) * 2 * r.spread) - r.spread;
      const Ext x = std::ldexp(r.baseLow + unit(random) * (r.baseHigh - r.baseLow), scale);
      const Ext y = r.exponentLow + unit(random) * (r.exponentHigh - r.exponentLow);
      const Ext expected = std::pow(x, y);
      if (!(x > 0) || std::isinf(expected) || std::fabs(expected) < 0x1p-16382L) continue;
      const Ext got = PowerExtended(x, y);
      const Ext allowed = 3 + std::fabs(y) / 4;
      ASSERT_LE(std::fabs(got - expected) / Ulp(expected), allowed)
          << r.what << ": " << static_cast<double>(x) << " ^ " << static_cast<double>(y);
      ++compared;
    }
    EXPECT_GT(compared, 30000) << r.what;
  }
}

TEST_F(PowerExtendedTest, ExactWhereThePowerIsExact) {
  for (int k = -16445; k <= 16383; k += 7) {
    EXPECT_EQ(PowerExtended(2, k), std::ldexp(1.0L, k)) << k;
    if (k % 4 == 0) {
      EXPECT_EQ(PowerExtended(std::ldexp(1.0L, k), 0.25L), std::ldexp(1.0L, k / 4));
    }
  }
  EXPECT_EQ(PowerExtended(4, 0.5L), 2);
  EXPECT_EQ(PowerExtended(16, 0.25L), 2);
  EXPECT_EQ(PowerExtended(0.25L, -3), 64);
  EXPECT_EQ(PowerExtended(1024, -1.5L), 1 / 32768.0L);
  EXPECT_EQ(PowerExtended(0x1p-16440L, 0.25L), 0x1p-4110L);  // a subnormal base
  EXPECT_EQ(PowerExtended(2, 0.5L), std::sqrt(2.0L));        // the rounded root
  EXPECT_EQ(PowerExtended(0.3L, 0.5L), std::sqrt(0.3L));
  EXPECT_EQ(PowerExtended(12345.678L, 0), 1);
  EXPECT_EQ(PowerExtended(1, 12345.678L), 1);
  EXPECT_EQ(PowerExtended(0.7L, 1), 0.7L);
}

// The shared logarithm gives what the routine gives, for ordinary exponents
// and for those it treats apart, over the bases JMA uses.
TEST_F(FixedBasePowerTest, MatchesPowerExtendedBitForBit) {
  std::mt19937_64 random(7);
  std::uniform_real_distribution<Ext> unit(0, 1);
  for (Ext base : {0.0L, 4.5e-11L, 0.745222926L, 0.895193756L, 0.999L, 1.0L, 3.5L, 0x1p-16440L}) {
    const FixedBasePower power(base);
    for (Ext y : {0.0L, 0.5L, 1.0L, 2.0L, 1.35021996L, 3.35021996L, 17.0L, kInf})
      EXPECT_EQ(power(y), PowerExtended(base, y)) << static_cast<double>(base) << " ^ " << y;
    for (int k = 0; k < 2000; ++k) {
      const Ext y = 1 + unit(random) * 16;
      ASSERT_EQ(power(y), PowerExtended(base, y)) << static_cast<double>(base) << " ^ " << y;
    }
  }
  EXPECT_EQ(FaultOf([] { FixedBasePower(2)(kNaN); }), kInvalidFloatOperation);
  EXPECT_EQ(FaultOf([] { FixedBasePower(-2)(0.5L); }), kInvalidFloatOperation);
}

TEST_F(PowerExtendedTest, OperandsWithoutARealPowerFault) {
  EXPECT_EQ(FaultOf([] { PowerExtended(kNaN, 2); }), kInvalidFloatOperation);
  EXPECT_EQ(FaultOf([] { PowerExtended(2, kNaN); }), kInvalidFloatOperation);
  EXPECT_EQ(FaultOf([] { PowerExtended(kNaN, 0); }), kInvalidFloatOperation);
  EXPECT_EQ(FaultOf([] { PowerExtended(-2, 0.5L); }), kInvalidFloatOperation);
  EXPECT_EQ(FaultOf([] { PowerExtended(-kInf, 1.5L); }), kInvalidFloatOperation);
  EXPECT_EQ(FaultOf([] { PowerExtended(0, -1); }), kFloatDivisionByZero);
  EXPECT_EQ(FaultOf([] { PowerExtended(0, -0.5L); }), kFloatDivisionByZero);
  EXPECT_EQ(FaultOf([] { PowerExtended(10, 5000); }), kFloatOverflow);
  EXPECT_EQ(FaultOf([] { PowerExtended(2, 16384); }), kFloatOverflow);
  EXPECT_EQ(FaultOf([] { PowerExtended(0.5L, -16384); }), kFloatOverflow);
  EXPECT_EQ(FaultOf([] { PowerExtended(1e300L, 1e300L); }), kFloatOverflow);
}

TEST_F(PowerExtendedTest, EdgesWithARealPower) {
  EXPECT_EQ(PowerExtended(-2, 3), -8);
  EXPECT_EQ(PowerExtended(-2, 2), 4);
  EXPECT_EQ(PowerExtended(-0.5L, -2), 4);
  EXPECT_EQ(PowerExtended(-3, 0), 1);
  EXPECT_EQ(PowerExtended(0, 2.5L), 0);
  EXPECT_EQ(PowerExtended(0, 0), 1);
  EXPECT_EQ(PowerExtended(kInf, 2), kInf);
  EXPECT_EQ(PowerExtended(kInf, -0.5L), 0);
  EXPECT_EQ(PowerExtended(2, kInf), kInf);
  EXPECT_EQ(PowerExtended(2, -kInf), 0);
  EXPECT_EQ(PowerExtended(0.5L, kInf), 0);
  EXPECT_EQ(PowerExtended(-2, kInf), kInf);
  // Too small for extended precision: subnormal, then 0, without a fault.
  EXPECT_EQ(PowerExtended(2, -16445), 0x1p-16445L);
  EXPECT_EQ(PowerExtended(2, -16500), 0);
  EXPECT_EQ(PowerExtended(1e-300L, 1e300L), 0);
  EXPECT_EQ(PowerExtended(0.999L, 1e30L), 0);
  // The largest finite powers stay finite.
  EXPECT_EQ(PowerExtended(2, 16383), 0x1p16383L);
  EXPECT_TRUE(std::isfinite(PowerExtended(2, 16383.99L)));
}

}  // namespace
}  // namespace msx
