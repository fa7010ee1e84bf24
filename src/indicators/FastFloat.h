// Shortcuts to the float that a formula of extended precision stores.
//
// The indicators' named quantities are floats, each the result of a formula
// evaluated in extended precision and rounded once when stored. The x87 unit
// that does extended arithmetic is slow, above all when a float goes to
// memory and straight back, so hot loops may take these shortcuts, which
// give the very same floats:
//
// - One operation (+ - * /) on float operands: the float unit rounds the
//   exact result once; extended precision rounds it to 64 bits and then to
//   24, which gives the same float, 64 bits being more than twice 24 plus 2.
//   StoreOnce takes the float unit's result.
// - A formula with exact operands and one rounding (a sum of products of
//   two floats, which double precision holds exactly): the double result
//   and the extended one round to the same float unless the double result
//   lies exactly on a boundary between two floats. Rounding to double
//   cannot cross such a boundary (it is a double itself) and lands on it
//   whenever the extended result does. StoreRoundedOnce checks for that.
// - Longer formulas run in double precision, and the caller states a margin
//   that holds both the double result's distance from the exact one and the
//   extended result's. When every number within the margin of the double
//   result rounds to one float, that float is the stored one; otherwise,
//   rarely, StoreNear evaluates the formula in extended precision after all.
//   A margin of 2^-50 of the size of each rounded term is more than eight
//   double roundings (2^-53) and eight extended ones (2^-64) together.
// - Powers: the base-2 logarithm and exponential in double precision from
//   tables and short polynomials, with stated errors.
//
// Faults stay as they are: whatever is not a finite float goes to the
// extended formula and StoreFloat.
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "common/Checked.h"
#include "indicators/ExtendedMath.h"

namespace msx {

// The margin a rounded term of a formula's double result adds, relative to
// the term's size (see the top of this file).
inline constexpr double kTermMargin = 0x1p-50;

// op(a, b) on float operands as the extended formula stores it.
template <class Op>
float StoreOnce(float a, float b, Op op) {
  const float r = op(a, b);
  if (std::isfinite(r)) [[likely]]
    return r;
  return StoreFloat(op(static_cast<long double>(a), static_cast<long double>(b)));
}

// The same, or the extended operation alone: the choice of an algorithm
// that runs either way.
template <bool kShortcuts, class Op>
float StoreOnceIf(float a, float b, Op op) {
  if constexpr (kShortcuts) return StoreOnce(a, b, op);
  return StoreFloat(op(static_cast<long double>(a), static_cast<long double>(b)));
}

// |x| with the sign bit cleared in the vector unit. On a 32-bit build the
// compiler takes the x87 unit's fabs for a double, which sends the value
// through memory and back: about ten cycles on every margin of the hot loop.
inline double Magnitude(double x) {
#if defined(__SSE2__)
  const __m128d sign = _mm_castsi128_pd(_mm_set_epi32(0x7FFFFFFF, -1, 0x7FFFFFFF, -1));
  return _mm_cvtsd_f64(_mm_and_pd(_mm_set_sd(x), sign));
#else
  return std::fabs(x);
#endif
}
inline float Magnitude(float x) {
#if defined(__SSE2__)
  return _mm_cvtss_f32(_mm_and_ps(_mm_set_ss(x), _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF))));
#else
  return std::fabs(x);
#endif
}

// The float that a formula stores: the nearest to value when every number
// within margin of value rounds to it, else exact()'s, the formula evaluated
// in extended precision.
template <class Exact>
float StoreNear(double value, double margin, Exact exact) {
  const float f = static_cast<float>(value);
  // The boundaries of f's rounding lie half a gap to its neighbours away,
  // the gap below |f| being the smaller one. A NaN, an infinity and 0 fail
  // the test (0's neighbour below is no number).
  const float size = Magnitude(f);
  const float below = std::bit_cast<float>(std::bit_cast<uint32_t>(size) - 1);
  const double halfGap = 0.5 * (size - below);  // exact
  if (Magnitude(value - f) + margin < halfGap) [[likely]]
    return f;
  return StoreFloat(exact());
}

// The float that a formula of exact operands rounded once stores: value's
// own unless value lies exactly halfway between two floats (its 29 bits
// below a float's last place are 1 and zeros) or outside the normal floats
// below 2^127 (where the float's grid changes, or the float overflows): then
// exact()'s, the formula evaluated in extended precision.
template <class Exact>
float StoreRoundedOnce(double value, Exact exact) {
  const uint64_t bits = std::bit_cast<uint64_t>(value);
  const bool halfway = (bits & 0x1FFFFFFFu) == 0x10000000u;
  const uint32_t binade = static_cast<uint32_t>(bits >> 52) & 0x7FFu;  // 1023 + exponent
  if (!halfway && binade - (1023u - 126u) < 253u) [[likely]]
    return static_cast<float>(value);
  return StoreFloat(exact());
}

namespace fast_float {

constexpr int kTableBits = 7;
constexpr int kTableSize = 1 << kTableBits;

// The tables are computed by the compiler, in extended precision to within a
// few units of its last place, then rounded to double.
struct Tables {
  double exp2[kTableSize];         // 2^(j/128)
  double reciprocal[kTableSize];   // r_j: the double nearest 1/(1 + (j + 1/2)/128)
  double minusLog2Of[kTableSize];  // -log2(r_j), for that very double
};

constexpr long double ExpSeries(long double x) {  // |x| < 1
  long double term = 1;
  long double sum = 1;
  for (int k = 1; k < 30; ++k) {
    term *= x / k;
    sum += term;
  }
  return sum;
}

constexpr long double LnSeries(long double x) {  // x in [1/2, 1]: 2 atanh((x - 1) / (x + 1))
  const long double s = (x - 1) / (x + 1);
  const long double s2 = s * s;
  long double term = s;
  long double sum = 0;
  for (int k = 1; k < 60; k += 2) {
    sum += term / k;
    term *= s2;
  }
  return 2 * sum;
}

constexpr Tables MakeTables() {
  Tables t{};
  for (int j = 0; j < kTableSize; ++j) {
    t.exp2[j] = static_cast<double>(ExpSeries(kLn2 * j / kTableSize));
    t.reciprocal[j] = static_cast<double>(1 / (1 + (j + 0.5L) / kTableSize));
    t.minusLog2Of[j] = static_cast<double>(-LnSeries(t.reciprocal[j]) / kLn2);
  }
  return t;
}

inline constexpr Tables kTables = MakeTables();

}  // namespace fast_float

// log2 x for a positive normal double x, within 2^-41 + 2^-50 |log2 x|: the
// t^5 term left out (2^-41.7 at most) and the roundings.
inline double FastLog2(double x) {
  using namespace fast_float;
  // The exponent field and the table's index lie in the upper 32 bits.
  const auto high = static_cast<uint32_t>(std::bit_cast<uint64_t>(x) >> 32);
  const int exponent = static_cast<int>(high >> 20) - 1023;
  const int j = static_cast<int>(high >> (20 - kTableBits)) & (kTableSize - 1);
  // The significand m in [1, 2): x's exponent field replaced by 1's, in the
  // vector unit (see FastExp2).
#if defined(__SSE2__)
  const __m128d fraction = _mm_castsi128_pd(_mm_set_epi32(0, 0, 0x000FFFFF, -1));
  const double m = _mm_cvtsd_f64(_mm_or_pd(_mm_and_pd(_mm_set_sd(x), fraction), _mm_set_sd(1.0)));
#else
  const double m = std::bit_cast<double>((std::bit_cast<uint64_t>(x) & 0x000FFFFFFFFFFFFFull) |
                                         0x3FF0000000000000ull);
#endif
  const double t = m * kTables.reciprocal[j] - 1;  // |t| < 2^-8: m r_j is within 2^-8 of 1
  // log2(1 + t) = (t - t^2/2 + t^3/3 - t^4/4 + ...) / ln 2
  constexpr double a1 = static_cast<double>(1 / kLn2);
  constexpr double a2 = static_cast<double>(-1 / (2 * kLn2));
  constexpr double a3 = static_cast<double>(1 / (3 * kLn2));
  constexpr double a4 = static_cast<double>(-1 / (4 * kLn2));
  const double t2 = t * t;
  const double series = t * (a1 + t * a2) + t2 * t * (a3 + t * a4);
  return (exponent + kTables.minusLog2Of[j]) + series;
}

// 2^z for |z| <= 1000, within 2^-48 of it: the x^5 term left out (2^-49.5
// at most) and the roundings.
inline double FastExp2(double z) {
  using namespace fast_float;
  // z to the nearest multiple of 1/128: 1.5 * 2^45 leaves 7 fraction bits.
  constexpr double kShift = 0x1.8p45;
  const double shifted = z + kShift;
  const double whole = shifted - kShift;  // exact
  const double f = z - whole;             // exact, |f| <= 1/256
  // k = 128 z rounded, in the low bits of shifted: its low 32 bits give
  // the table's index and, for |z| <= 1000, n = floor(k / 128) modulo 2^12,
  // all that 2^n's exponent field takes.
  const auto k = static_cast<uint32_t>(std::bit_cast<uint64_t>(shifted)) -
                 static_cast<uint32_t>(std::bit_cast<uint64_t>(kShift));
  const int j = static_cast<int>(k & (kTableSize - 1));
  const uint32_t n = k >> kTableBits;
  // 2^f - 1 = x + x^2/2 + x^3/6 + x^4/24 + ..., x = f ln 2
  constexpr double b1 = static_cast<double>(kLn2);
  constexpr double b2 = static_cast<double>(kLn2 * kLn2 / 2);
  constexpr double b3 = static_cast<double>(kLn2 * kLn2 * kLn2 / 6);
  constexpr double b4 = static_cast<double>(kLn2 * kLn2 * kLn2 * kLn2 / 24);
  const double f2 = f * f;
  const double series = f * (b1 + f * b2) + f2 * f * (b3 + f * b4);
  const double scaled = kTables.exp2[j] + kTables.exp2[j] * series;  // within [1/2, 2]
  // scaled times 2^n: n added to the exponent field, the bits of both taken
  // modulo 2^64. In the vector unit where there is one: a 32-bit build would
  // add the two halves in general registers and read them back as one double,
  // which the processor cannot forward from the two stores (a stall of some
  // fifteen cycles on every power).
#if defined(__SSE2__)
  const __m128i exponent = _mm_slli_epi64(_mm_cvtsi32_si128(static_cast<int>(n)), 52);
  return _mm_cvtsd_f64(
      _mm_castsi128_pd(_mm_add_epi64(_mm_castpd_si128(_mm_set_sd(scaled)), exponent)));
#else
  return std::bit_cast<double>(std::bit_cast<uint64_t>(scaled) + (uint64_t{n} << 52));
#endif
}

}  // namespace msx
