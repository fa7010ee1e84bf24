// JTPO: a trend oscillator between -1 and +1.
#pragma once

#include <cstdint>

#include "common/Checked.h"
#include "common/FunctionTable.h"
#include "host/MSXStruct.h"

namespace msx {

extern const FunctionTable kJtpoTable;

// The most prices a window holds.
inline constexpr int32_t kJtpoMaxWindow = 300;

// The shortest window whose t is kept by the rank tree in O(log N) a bar;
// shorter ones correct each rank in O(n), which is faster there (on both
// the 32-bit product and natively the tree is ahead from 5 prices on).
inline constexpr int32_t kJtpoRankTreeWindow = 5;

// Computes, on every bar from the later of the first valid indexes of close
// and price to the last valid index of close (narrowed to price's when price
// has a valid range), Spearman's rank correlation between the last n prices
// and their order in time (0 while the window fills) into out, and returns
// the result's valid range: first + L to last. n is the rounded Length L, 3
// for L of 1 or 2. Faults: a negative index of the range, a Length below 0
// or of 2^32 or more, a bar outside 0 to 65499 and a window past 300 prices
// are a "Range check error"; Length 0 with a bar to compute and a window
// whose (n - 1) n (n + 1) leaves the 32-bit range an "Integer overflow"; a
// NaN price an "Invalid floating point operation".
BarRange ComputeJtpo(const HostSeries& close, const HostSeries& price, float length, float* out);

}  // namespace msx
