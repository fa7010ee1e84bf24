// The true range of a bar: from the lower of its low and the previous close
// to the higher of its high and the previous close. NRTR_WATR and RENKO_WATR
// average it over their windows.
#pragma once

#include <algorithm>
#include <cstdint>

#include "common/Checked.h"
#include "host/MSXStruct.h"

namespace msx {

// Writes tr[i] for the bars from to last (none when last < from), each
// difference formed in extended precision and stored as a float. Every index
// read or written must lie in 0 to 65499: a range fault at the first that
// does not, so a caller that comes back has last inside the arrays. A NaN
// price is an invalid operation.
inline void ComputeTrueRange(const HostSeries& high, const HostSeries& low, const HostSeries& close,
                             int64_t from, int32_t last, float* tr) {
  if (last < from) return;
  const HostBars bars(CheckedIndex(from - 1) + 1, last);
  for (int32_t i = bars.first; i <= bars.stop; ++i) {
    const float previous = Operand(close.values[i - 1]);
    const float top = std::max(Operand(high.values[i]), previous);
    const float bottom = std::min(Operand(low.values[i]), previous);
    tr[i] = StoreFloat(static_cast<long double>(top) - bottom);
  }
  bars.End();
}

}  // namespace msx
