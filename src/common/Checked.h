// Checked arithmetic, rounding and series access. Each helper either returns
// a sound value or raises the fault the runtime would: an index outside the
// host's arrays is a "Range check error", an integer that overflows is an
// "Integer overflow", a float operation without a real result is an
// "Invalid floating point operation".
#pragma once

#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <limits>

#include "common/Fault.h"
#include "host/MSXStruct.h"

namespace msx {

// Nearest integer, a half going to the even neighbour. NaN, the infinities
// and values beyond the 64-bit range have no integer: invalid operation.
inline int64_t RoundToInt64(long double x) {
  const long double r = std::nearbyint(x);  // the default mode: to nearest, ties to even
  if (!(r >= -0x1p63L && r < 0x1p63L)) RaiseFault(kInvalidFloatOperation);
  return static_cast<int64_t>(r);
}

// The same, into a signed 32-bit integer; a value that does not fit is a
// range fault.
inline int32_t RoundToInt32(long double x) {
  const int64_t r = RoundToInt64(x);
  if (r < std::numeric_limits<int32_t>::min() || r > std::numeric_limits<int32_t>::max())
    RaiseFault(kRangeCheckError);
  return static_cast<int32_t>(r);
}

// The same, into an unsigned 32-bit integer (negative values are a range fault).
inline uint32_t RoundToUInt32(long double x) {
  const int64_t r = RoundToInt64(x);
  if (r < 0 || r > std::numeric_limits<uint32_t>::max()) RaiseFault(kRangeCheckError);
  return static_cast<uint32_t>(r);
}

// Rounding towards minus infinity into a signed 32-bit integer: no integer
// for NaN, the infinities and beyond the 64-bit range (invalid operation), a
// range fault beyond 32 bits.
inline int32_t FloorToInt32(long double x) {
  const long double r = std::floor(x);
  if (!(r >= -0x1p63L && r < 0x1p63L)) RaiseFault(kInvalidFloatOperation);
  if (r < std::numeric_limits<int32_t>::min() || r > std::numeric_limits<int32_t>::max())
    RaiseFault(kRangeCheckError);
  return static_cast<int32_t>(r);
}

template <class T>
T CheckedAdd(T a, T b) {
  T r;
  if (__builtin_add_overflow(a, b, &r)) RaiseFault(kIntegerOverflow);
  return r;
}
template <class T>
T CheckedSub(T a, T b) {
  T r;
  if (__builtin_sub_overflow(a, b, &r)) RaiseFault(kIntegerOverflow);
  return r;
}
template <class T>
T CheckedMul(T a, T b) {
  T r;
  if (__builtin_mul_overflow(a, b, &r)) RaiseFault(kIntegerOverflow);
  return r;
}

// A bar index inside the host's arrays (0 to 65499), else a range fault.
inline int32_t CheckedIndex(int64_t i) {
  if (i < 0 || i > kMaxIndex) RaiseFault(kRangeCheckError);
  return static_cast<int32_t>(i);
}

// Rounds an extended value to float for storing. A NaN is an invalid
// operation; a finite value too large for a float is an overflow.
inline float StoreFloat(long double x) {
  const float f = static_cast<float>(x);
  if (std::isfinite(f)) [[likely]] return f;  // neither a NaN nor an overflow
  if (std::isnan(x)) RaiseFault(kInvalidFloatOperation);
  if (!std::isinf(x)) RaiseFault(kFloatOverflow);
  return f;
}

// The same for double storage.
inline double StoreDouble(long double x) {
  const double d = static_cast<double>(x);
  if (std::isfinite(d)) [[likely]] return d;
  if (std::isnan(x)) RaiseFault(kInvalidFloatOperation);
  if (!std::isinf(x)) RaiseFault(kFloatOverflow);
  return d;
}

// A host value read as an operand: a NaN fails the operation that reads it.
inline float Operand(float v) {
  if (std::isnan(v)) RaiseFault(kInvalidFloatOperation);
  return v;
}

// Read access to a host value array (or a work series), checked at every index.
class SeriesIn {
 public:
  explicit SeriesIn(const float* values) : values_(values) {}
  float operator[](int64_t i) const { return values_[CheckedIndex(i)]; }

 private:
  const float* values_;
};

// Write access to a host value array, checked at every index.
class SeriesOut {
 public:
  explicit SeriesOut(float* values) : values_(values) {}
  float& operator[](int64_t i) const { return values_[CheckedIndex(i)]; }

 private:
  float* values_;
};

// The common valid range of several host series: the largest first index and
// the smallest last index.
struct BarRange {
  int32_t first;
  int32_t last;
};

// The bars first..last that a loop runs in order, as far as the host's
// arrays reach: stop is the last of them inside the arrays (65499 at most),
// and End() faults when the range goes on beyond, after the bars before, as
// a checked index would on bar 65500. A range that starts below 0 faults at
// once. When last < first no bar runs and nothing faults.
//   const HostBars bars(first, last);
//   for (int32_t b = first; b <= bars.stop; ++b) ...
//   bars.End();
struct HostBars {
  HostBars(int32_t from, int32_t to)
      : first(from), last(to), stop(to < kMaxIndex ? to : kMaxIndex) {
    if (from <= to && from < 0) RaiseFault(kRangeCheckError);
  }
  void End() const {
    if (first <= last && last > kMaxIndex) RaiseFault(kRangeCheckError);
  }
  int32_t first;
  int32_t last;
  int32_t stop;
};

// The valid range of a series whose first and last index must both lie at
// 0 or above: a negative one is a range fault.
inline BarRange ValidRangeOf(const HostSeries& s) {
  if (s.first < 0 || s.last < 0) RaiseFault(kRangeCheckError);
  return {s.first, s.last};
}

// The writers' and the trading functions' bars: `from` narrowed by each
// series in turn. A series' first index can only raise the first bar; its
// last index lowers the last bar only when the series' own range is not
// empty.
inline BarRange NarrowedRange(BarRange from, std::initializer_list<const HostSeries*> series) {
  for (const HostSeries* s : series) {
    if (s->first > from.first) from.first = s->first;
    if (s->last >= s->first && s->last < from.last) from.last = s->last;
  }
  return from;
}

// The indicators' bars: the largest first index and the smallest last index
// of the series.
template <class... S>
BarRange CommonRange(const HostSeries& s0, const S&... rest) {
  BarRange r{s0.first, s0.last};
  ((r.first = rest.first > r.first ? rest.first : r.first,
    r.last = rest.last < r.last ? rest.last : r.last),
   ...);
  return r;
}

}  // namespace msx
