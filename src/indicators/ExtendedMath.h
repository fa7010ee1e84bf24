// Powers of extended operands, computed the same way on every build. The
// C libraries' powl differ (glibc's is not MinGW's), so a power taken with
// either could round differently on the native build than in the product
// DLL. On x86 processors PowerExtended uses the x87 unit's own instructions
// (fxtract, fyl2x, fyl2xp1, f2xm1, fscale) on extended operands, in a fixed
// order, so that every build of the library computes the same bits from the
// same operands. Elsewhere it falls back on the C library's powl.
//
// The result lies within 2 units in the last place of extended precision of
// the exact power for exponents below 8 in magnitude; beyond, the error grows
// with the exponent, about |y|/4 units (the base-2 logarithm of the base is
// exact to about 2^-65 and the exponent scales that error; the product of
// the two and its split into a whole power of two and a fraction are formed
// without rounding). Powers of two with integral results are exact; a square
// root (y = 1/2) is the correctly rounded one.
//
// Operands without a real power are faults ("Invalid floating point
// operation": a NaN operand, a negative base with a non-integral exponent),
// as are 0 to a negative exponent ("Floating point division by zero") and a
// finite power too large for extended precision ("Floating point overflow").
// A power too small for it rounds to 0 quietly.
#pragma once

#include <cmath>

#include "common/Fault.h"

namespace msx {

inline constexpr long double kLn2 = 0.693147180559945309417232121458176568L;

namespace extended_math {

#if defined(__i386__) || defined(__x86_64__)

// A 64-bit significand split into two halves of at most 32 bits each
// (Veltkamp), so that products of halves are exact.
struct SplitValue {
  long double high;
  long double low;
};

inline SplitValue Split(long double a) {
  const long double c = a * 4294967297.0L;  // 2^32 + 1
  const long double high = c - (c - a);
  return {high, a - high};
}

// The base-2 logarithm of a positive finite base as a whole exponent and the
// logarithm of the significand that remains, which lies within 1/2 of 0
// (kept split as well, for the exact products with exponents).
struct Log2Parts {
  long double whole;
  long double fraction;
  SplitValue fractionSplit;
};

inline Log2Parts Log2OfPositive(long double x) {
  long double significand;
  long double exponent;
  // significand in [1, 2) (a subnormal base is normalised), exponent whole.
  __asm__("fxtract" : "=t"(significand), "=u"(exponent) : "0"(x));
  if (significand > 1.41421356237309504880L) {
    significand *= 0.5L;  // now within (1/sqrt 2, 1): exact
    exponent += 1;
  }
  const long double d = significand - 1;  // exact: the significand is near 1
  long double log2;
  if (d > -0.29L && d < 0.29L) {
    // log2(1 + d), exact to the last bit's scale for small d; the
    // instruction takes |d| below 1 - sqrt(2)/2 only.
    __asm__("fyl2xp1" : "=t"(log2) : "0"(d), "u"(1.0L) : "st(1)");
  } else {
    __asm__("fyl2x" : "=t"(log2) : "0"(significand), "u"(1.0L) : "st(1)");
  }
  return {exponent, log2, Split(log2)};
}

// The integer nearest to |x| < 2^62 (ties to even): adding 1.5 * 2^63 leaves
// no fraction bits in a 64-bit significand, subtracting it again is exact.
inline long double RoundToWhole(long double x) {
  constexpr long double kShift = 0x1.8p63L;
  return (x + kShift) - kShift;
}

// 2^(y * log) for a finite exponent y that is not 0. The product y * log is
// split into a whole n and a fraction f (|f| <= 1/2) from exact products
// (Dekker's method), so no bit of the fraction is lost to the size of n.
inline long double Exp2OfProduct(long double y, const Log2Parts& log) {
  const long double rough = y * (log.whole + log.fraction);
  if (rough >= 16400) RaiseFault(kFloatOverflow);  // beyond 2^16384
  if (rough <= -16500) return 0;                   // below half the least subnormal
  const SplitValue ys = Split(y);
  // y * fraction = b + bError exactly.
  const SplitValue& fs = log.fractionSplit;
  const long double b = y * log.fraction;
  const long double bError =
      ((ys.high * fs.high - b) + ys.high * fs.low + ys.low * fs.high) + ys.low * fs.low;
  const long double nb = RoundToWhole(b);
  long double n = nb;
  long double f = b - nb;  // exact
  if (log.whole != 0) {
    // y * whole = a + aError exactly: the whole has at most 15 bits, so
    // its product with either half of y is exact.
    const long double a = y * log.whole;
    const long double aError = (ys.high * log.whole - a) + ys.low * log.whole;
    const long double na = RoundToWhole(a);
    n += na;
    f = (f + (a - na)) + (aError + bError);
  } else {
    f += bError;
  }
  if (f > 0.5L) {
    f -= 1;
    n += 1;
  } else if (f < -0.5L) {
    f += 1;
    n -= 1;
  }
  long double power;
  __asm__("f2xm1" : "=t"(power) : "0"(f));
  power += 1;
  long double scaled;
  __asm__("fscale" : "=t"(scaled) : "0"(power), "u"(n));
  if (std::isinf(scaled)) RaiseFault(kFloatOverflow);
  return scaled;
}

#endif

}  // namespace extended_math

// x raised to y; see the top of this file for its accuracy and faults.
inline long double PowerExtended(long double x, long double y) {
  if (std::isnan(x) || std::isnan(y)) RaiseFault(kInvalidFloatOperation);
  if (y == 0 || x == 1) return 1;
  if (y == 1) return x;
  constexpr long double kInfinity = __builtin_huge_vall();
  if (x > 0 && x < kInfinity) {
    if (std::isinf(y)) return (x > 1) == (y > 0) ? kInfinity : 0;
    if (y == 0.5L) return std::sqrt(x);
#if defined(__i386__) || defined(__x86_64__)
    return extended_math::Exp2OfProduct(y, extended_math::Log2OfPositive(x));
#else
    const long double r = std::pow(x, y);
    if (std::isinf(r)) RaiseFault(kFloatOverflow);
    return r;
#endif
  }
  if (x == 0) {
    if (y < 0) RaiseFault(kFloatDivisionByZero);
    return 0;
  }
  if (x > 0) return y > 0 ? kInfinity : 0;  // x = +infinity
  // A negative base has a real power for whole exponents only (an infinite
  // one counts as even).
  if (!std::isinf(y) && std::nearbyint(y) != y) RaiseFault(kInvalidFloatOperation);
  const bool odd = std::fabs(y) < 0x1p64L && std::fmod(y, 2.0L) != 0;
  const long double magnitude = PowerExtended(-x, y);
  return odd ? -magnitude : magnitude;
}

// Powers of one fixed base: base^y exactly as PowerExtended(base, y) gives
// it, with the base's logarithm taken once.
class FixedBasePower {
 public:
  explicit FixedBasePower(long double base) : base_(base) {
#if defined(__i386__) || defined(__x86_64__)
    ordinary_ = base > 0 && base < __builtin_huge_vall() && base != 1;
    if (ordinary_) log_ = extended_math::Log2OfPositive(base);
#endif
  }

  long double operator()(long double y) const {
#if defined(__i386__) || defined(__x86_64__)
    // The exponents PowerExtended treats apart go to it; the rest share
    // the logarithm.
    if (ordinary_ && y != 0 && y != 1 && y != 0.5L && std::isfinite(y))
      return extended_math::Exp2OfProduct(y, log_);
#endif
    return PowerExtended(base_, y);
  }

 private:
  long double base_;
#if defined(__i386__) || defined(__x86_64__)
  bool ordinary_ = false;
  extended_math::Log2Parts log_{};
#endif
};

}  // namespace msx
