// The true range of a bar: from the lower of its low and the previous close
// to the higher of its high and the previous close. NRTR_WATR and RENKO_WATR
// average it over their windows.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "common/Checked.h"
#include "common/WorkMemory.h"
#include "host/MSXStruct.h"

namespace msx {

// top - bottom formed in extended precision and stored as a float, by a
// float subtraction. The float difference is the exact difference rounded
// once; the extended one rounds twice, to 64 bits and then to 24, and the
// two agree: where the exact difference has more than 64 bits the bottom is
// below 2^-39 of the top, the difference lies within that of the top (a
// float) and so far from any halfway point between two floats that its
// 64-bit rounding cannot land on one. Only a difference that is not finite
// takes the extended way, for its fault (or its infinity) as StoreFloat
// decides.
inline float Difference(float top, float bottom) {
  const float d = top - bottom;
  if (std::isfinite(d)) [[likely]] return d;
  return StoreFloat(static_cast<long double>(top) - bottom);
}

// The array of a call's true ranges, one a bar of the host's arrays, in work
// memory kept from call to call. The bars below from, where the true ranges
// start, are cleared: a window reaching below the first true range reads
// zeros. ComputeTrueRange writes the rest, up to the last bar read.
class TrueRanges {
 public:
  explicit TrueRanges(int64_t from) : memory_(sizeof(float) * kMaxBars) {
    std::fill_n(values(), std::clamp<int64_t>(from, 0, kMaxBars), 0.0f);
  }
  float* values() const { return memory_.As<float>(); }

 private:
  WorkMemory memory_;
};

// Writes tr[i] for the bars from to last (none when last < from), each
// difference formed in extended precision and stored as a float, and hands
// each value to written(value) in order. Every index read or written must
// lie in 0 to 65499: a range fault at the first that does not, so a caller
// that comes back has last inside the arrays. A NaN price is an invalid
// operation.
template <class Written>
void ComputeTrueRange(const HostSeries& high, const HostSeries& low, const HostSeries& close,
                      int64_t from, int32_t last, float* tr, Written written) {
  if (last < from) return;
  const HostBars bars(CheckedIndex(from - 1) + 1, last);
  for (int32_t i = bars.first; i <= bars.stop; ++i) {
    const float previous = Operand(close.values[i - 1]);
    const float top = std::max(Operand(high.values[i]), previous);
    const float bottom = std::min(Operand(low.values[i]), previous);
    const float value = Difference(top, bottom);
    tr[i] = value;
    written(value);
  }
  bars.End();
}

inline void ComputeTrueRange(const HostSeries& high, const HostSeries& low, const HostSeries& close,
                             int64_t from, int32_t last, float* tr) {
  ComputeTrueRange(high, low, close, from, last, tr, [](float) {});
}

}  // namespace msx
