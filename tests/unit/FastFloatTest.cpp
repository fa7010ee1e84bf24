// The shortcuts to stored floats: FastLog2 and FastExp2 within their stated
// errors of the extended-precision functions, the tables they read, StoreOnce
// giving the extended formula's float (or its fault) for every operand pair,
// and StoreNear giving it next to the rounding boundaries while it takes the
// shortcut away from them.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cfloat>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <functional>
#include <limits>
#include <random>
#include <string>

#include "FaultOf.h"
#include "indicators/FastFloat.h"
#include "common/FloatEnvironment.h"

namespace msx {
namespace {

using Ext = long double;
constexpr float kInfF = std::numeric_limits<float>::infinity();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr Ext kInfL = std::numeric_limits<Ext>::infinity();

static_assert(fast_float::kTables.exp2[0] == 1, "the tables are the compiler's");

uint32_t Bits(float f) { return std::bit_cast<uint32_t>(f); }

// An operand in extended precision that the compiler cannot see through: it
// would otherwise be free to narrow the extended formula to the float one.
Ext Extended(float v) {
  volatile Ext x = v;
  return x;
}

// What a store gives: its fault, else the float and its bits.
template <class Body>
std::string Outcome(Body body) {
  float r = 0;
  const std::string fault = FaultOf([&] { r = body(); });
  if (fault != "no fault") return fault;
  char text[48];
  std::snprintf(text, sizeof text, "%a (%08" PRIx32 ")", static_cast<double>(r), Bits(r));
  return text;
}

template <class Check>
void ForEachOperation(Check check) {
  check(std::plus<>{}, "+");
  check(std::minus<>{}, "-");
  check(std::multiplies<>{}, "*");
  check(std::divides<>{}, "/");
}

// The largest error met relative to the one allowed, and where (a NaN counts
// as infinitely wrong).
struct Worst {
  double ratio = 0, error = 0, at = 0;
  void Note(double input, Ext err, Ext allowed) {
    const double r = static_cast<double>(std::isnan(err) ? kInfL : err / allowed);
    if (r > ratio) ratio = r, error = static_cast<double>(err), at = input;
  }
  std::string Text() const {
    char text[96];
    std::snprintf(text, sizeof text, "2^%.2f at %a (%.3f of the allowed)", std::log2(error), at,
                  ratio);
    return text;
  }
};

// The shortcuts run in a computation's float environment, as in the library.
class FastFloatTest : public ::testing::Test {
  FloatEnvironmentScope environment_;
};

TEST_F(FastFloatTest, Log2WithinItsErrorBound) {
  Worst worst;
  const auto check = [&](double x) {
    const Ext exact = std::log2(static_cast<Ext>(x));
    worst.Note(x, std::fabs(FastLog2(x) - exact), 0x1p-41L + 0x1p-50L * std::fabs(exact));
  };
  std::mt19937_64 random(20260301);
  std::uniform_real_distribution<double> unit(0, 1);
  for (int k = 0; k < 1000000; ++k) {  // every normal exponent, any significand
    const uint64_t r = random();
    check(std::bit_cast<double>((1 + (r >> 52) % 2046) << 52 | (r & 0x000FFFFFFFFFFFFFull)));
  }
  for (int k = 0; k < 200000; ++k) check(0.5 + 3.5 * unit(random));
  for (int i = 0; i <= 2000; ++i) check(1 + i * 0x1p-52), check(1 - i * 0x1p-53);
  for (int k = 0; k < 100000; ++k) check(1 + std::ldexp(unit(random) - 0.5, -8 - k % 45));
  // The table's interval boundaries and the doubles either side of them.
  for (int e : {-1022, -1, 0, 1, 1023}) {
    for (int j = 0; j < fast_float::kTableSize; ++j) {
      const double x = std::ldexp(1 + j / 128.0, e);
      if (x > DBL_MIN) check(std::nextafter(x, 0.0));
      check(x), check(std::nextafter(x, kInf));
    }
  }
  check(DBL_MAX);
  RecordProperty("FastLog2_worst", worst.Text());
  EXPECT_LE(worst.ratio, 1) << worst.Text();
}

TEST_F(FastFloatTest, Exp2WithinItsErrorBound) {
  Worst worst;
  const auto check = [&](double z) {
    worst.Note(z, std::fabs(FastExp2(z) / std::exp2(static_cast<Ext>(z)) - 1), 0x1p-48L);
  };
  // A multiple of 1/128, the points halfway to its neighbours and the
  // doubles either side of those.
  const auto checkAround = [&](double whole) {
    for (double z : {whole, whole - 0x1p-8, whole + 0x1p-8})
      check(std::nextafter(z, -kInf)), check(z), check(std::nextafter(z, kInf));
  };
  std::mt19937_64 random(20260302);
  std::uniform_real_distribution<double> unit(0, 1);
  for (int k = 0; k < 1000000; ++k) check(-1000 + 2000 * unit(random));
  for (int k = 0; k < 200000; ++k) check(-2 + 4 * unit(random));
  for (int k = -256; k <= 256; ++k) checkAround(k / 128.0);
  for (int k = 0; k < 20000; ++k) checkAround(static_cast<int>(random() % 256001) / 128.0 - 1000);
  for (double z : {-1000.0, 1000.0}) check(z), check(std::nextafter(z, 0.0));
  RecordProperty("FastExp2_worst", worst.Text());
  EXPECT_LE(worst.ratio, 1) << worst.Text();
}

TEST_F(FastFloatTest, TablesHoldTheirValues) {
  const auto ulp = [](double v) { return std::nextafter(v, kInf) - v; };
  const fast_float::Tables& t = fast_float::kTables;
  for (int j = 0; j < fast_float::kTableSize; ++j) {
    const double exp2 = static_cast<double>(std::exp2(j / 128.0L));
    EXPECT_LE(std::fabs(t.exp2[j] - exp2), ulp(exp2)) << j;
    const Ext reciprocal = 1 / (1 + (j + 0.5L) / 128);
    EXPECT_LE(std::fabs(t.reciprocal[j] - reciprocal), ulp(t.reciprocal[j])) << j;
    const Ext minusLog2 = -std::log2(static_cast<Ext>(t.reciprocal[j]));
    EXPECT_LE(std::fabs(t.minusLog2Of[j] - minusLog2), 0x1p-52L) << j;
  }
}

// A float of mixed magnitude: mostly within 2^±24, some over the whole
// range, some subnormal, some zero, some powers of two.
float RandomFloat(std::mt19937_64& random) {
  const uint64_t r = random();
  const uint32_t sign = static_cast<uint32_t>(r >> 63) << 31;
  const uint32_t kind = (r >> 56) & 15, wide = static_cast<uint32_t>((r >> 32) % 254);
  const uint32_t exponent = kind <= 1 ? 0 : kind <= 3 ? 1 + wide : 103 + wide % 49;
  const uint32_t mantissa = kind == 1 || kind == 4 ? 0 : static_cast<uint32_t>(r) & 0x7FFFFF;
  return std::bit_cast<float>(sign | exponent << 23 | mantissa);
}

TEST_F(FastFloatTest, StoreOnceGivesTheExtendedFormulasFloat) {
  std::mt19937_64 random(20260303);
  int faults = 0;
  for (int k = 0; k < 2000000; ++k) {
    const float a = RandomFloat(random);
    float b = RandomFloat(random);
    if (random() % 8 == 0)  // close to ±a: cancellation, quotients near 1
      b = std::bit_cast<float>(Bits(a) ^ static_cast<uint32_t>(random() & 0x800003FF));
    ForEachOperation([&](auto op, const char* name) {
      const Ext exact = op(Extended(a), Extended(b));
      const float expected = static_cast<float>(exact);
      if (std::isfinite(expected) || std::isinf(exact)) {  // no fault
        ASSERT_EQ(Bits(StoreOnce(a, b, op)), Bits(expected)) << a << name << b;
      } else if (++faults % 16 == 0) {  // a sample: faults are slow
        ASSERT_EQ(FaultOf([&] { StoreOnce(a, b, op); }),
                  std::isnan(exact) ? kInvalidFloatOperation : kFloatOverflow)
            << a << name << b;
      }
    });
  }
  EXPECT_GT(faults, 10000);
}

TEST_F(FastFloatTest, StoreOnceFaultsAsTheExtendedFormula) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float edges[] = {0.0f,  -0.0f, FLT_TRUE_MIN, -FLT_TRUE_MIN, FLT_MIN, 1.0f,   -1.5f, 1e-30f,
                         1e30f, 3e38f, -3e38f,       FLT_MAX,       kInfF,   -kInfF, nan};
  for (float a : edges) {
    for (float b : edges) {
      ForEachOperation([&](auto op, const char* name) {
        EXPECT_EQ(Outcome([&] { return StoreOnce(a, b, op); }),
                  Outcome([&] { return StoreFloat(op(Extended(a), Extended(b))); }))
            << a << name << b;
      });
    }
  }
  EXPECT_EQ(FaultOf([] { StoreOnce(3e38f, 3e38f, std::plus<>{}); }), kFloatOverflow);
  EXPECT_EQ(FaultOf([] { StoreOnce(3e38f, 10.0f, std::multiplies<>{}); }), kFloatOverflow);
  EXPECT_EQ(StoreOnce(kInfF, 3e38f, std::plus<>{}), kInfF);
  EXPECT_EQ(FaultOf([&] { StoreOnce(nan, 1.0f, std::plus<>{}); }), kInvalidFloatOperation);
}

// The true result lies at the midpoint between two floats (a tie, to the
// even one) or a little off it, the double result within the margin of it
// on either side; the floats include powers of two and subnormals.
TEST_F(FastFloatTest, StoreNearGivesTheExtendedFormulasFloatAtRoundingBoundaries) {
  std::mt19937_64 random(20260304);
  std::uniform_real_distribution<Ext> unit(-1, 1);
  constexpr int kCases = 300000;
  int shortcuts = 0;
  for (int k = 0; k < kCases; ++k) {
    const uint64_t r = random();
    const uint32_t exponent = r % 16 == 0 ? 0 : 1 + static_cast<uint32_t>((r >> 4) % 254);
    const uint32_t mantissa = (r >> 12) % 8 == 0 ? 0 : static_cast<uint32_t>(r >> 16) & 0x7FFFFF;
    const uint32_t bits = std::clamp(exponent << 23 | mantissa, 1u, Bits(FLT_MAX) - 1);
    const uint32_t neighbour = (r >> 40) & 1 ? bits + 1 : bits - 1;
    const Ext midpoint =
        ((r >> 41) & 1 ? -0.5L : 0.5L) *
        (Extended(std::bit_cast<float>(bits)) + Extended(std::bit_cast<float>(neighbour)));
    const int off = static_cast<int>((r >> 42) % 64);  // up to 2^-24 .. 2^-63 of it, or none
    const Ext truth =
        off >= 40 ? midpoint : midpoint + unit(random) * std::ldexp(midpoint, -24 - off);
    const int far = static_cast<int>((r >> 48) % 32);  // 2^-26 .. 2^-55 of it, or none
    const Ext wanted = far >= 30 ? 0 : std::fabs(truth) * std::ldexp(1.0L, -26 - far);
    const double value = static_cast<double>(truth + unit(random) * wanted);
    const Ext distance = std::max(wanted, std::fabs(value - truth));  // exact
    double margin = static_cast<double>(distance);
    if (margin < distance) margin = std::nextafter(margin, kInf);
    int calls = 0;
    const float got = StoreNear(value, margin, [&] { return ++calls, truth; });
    ASSERT_EQ(Bits(got), Bits(static_cast<float>(truth)))
        << std::hexfloat << "value " << value << ", margin " << margin << ", truth " << truth;
    shortcuts += calls == 0;
  }
  // Both ways are taken, or the cases would test nothing.
  EXPECT_GT(shortcuts, kCases / 10);
  EXPECT_LT(shortcuts, kCases - kCases / 10);
}

TEST_F(FastFloatTest, StoreNearTakesTheShortcutAwayFromBoundaries) {
  int calls = 0;
  const auto exact = [&] { return ++calls, 0.0L; };
  EXPECT_EQ(StoreNear(1.25, 1e-15, exact), 1.25f);
  EXPECT_EQ(StoreNear(static_cast<double>(-FLT_MAX), 1e20, exact), -FLT_MAX);
  std::mt19937_64 random(20260305);
  std::uniform_real_distribution<double> unit(-1, 1);
  for (int k = 0; k < 100000; ++k) {  // normal floats, within 2^-30 of their value
    const uint64_t r = random();
    const uint32_t exponent = 1 + static_cast<uint32_t>((r >> 32) % 254);
    const float f = std::bit_cast<float>(static_cast<uint32_t>(r & 0x807FFFFF) | exponent << 23);
    const double value = f * (1 + 0x1p-30 * unit(random));
    ASSERT_EQ(StoreNear(value, 0x1p-50 * std::fabs(value), exact), f) << value;
  }
  EXPECT_EQ(calls, 0);
}

TEST_F(FastFloatTest, StoreNearLeavesWhatIsNoFiniteFloatToTheExtendedFormula) {
  constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
  constexpr double kOverflow = 0x1p128 - 0x1p103;  // halfway from FLT_MAX to 2^128: infinite
  const struct {
    double value, margin;
    Ext exact;
  } cases[] = {
      {kNaN, 0, std::numeric_limits<Ext>::quiet_NaN()},  // invalid operation
      {kNaN, 1e-300, 2.5L},
      {kInf, 0, kInfL},
      {-kInf, 1e300, -kInfL},
      {kInf, 0, 1e39L},  // overflow
      {0.0, 0, 0.0L},
      {-0.0, 1e-300, -0.0L},
      {1e-50, 0, 1e-50L},
      {-1e-50, 1e-60, -1e-50L},
      {0x1p-150, 0, 0x1p-150L + 0x1p-170L},  // the tie rounds to 0; the formula is above it
      {3.5e38, 1e24, 3.5e38L},
      {kOverflow, 0, kOverflow - 0x1p60L},
      {kOverflow, 0, kOverflow},
      {kOverflow - 0x1p75, 0x1p-50 * kOverflow, kOverflow},  // FLT_MAX, the margin beyond
  };
  for (const auto& c : cases) {
    int calls = 0;
    const auto exact = [&] { return ++calls, c.exact; };
    EXPECT_EQ(Outcome([&] { return StoreNear(c.value, c.margin, exact); }),
              Outcome([&] { return StoreFloat(c.exact); }))
        << std::hexfloat << c.value << " " << c.exact;
    EXPECT_EQ(calls, 1) << std::hexfloat << c.value;
  }
}

}  // namespace
}  // namespace msx
