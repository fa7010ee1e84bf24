// NRTR_WATR: the trailing reversal line on a volatility channel, a multiplier
// times the weighted average true range.
#pragma once

#include "common/Checked.h"
#include "host/MSXStruct.h"
#include "common/FunctionTable.h"

namespace msx {

extern const FunctionTable kNrtrWatrTable;

// Computes the line into out and returns the result's valid range. length
// (bars, used as its nearest integer) and multiplier are series; high and
// low are the chart's.
BarRange ComputeNrtrWatr(const HostSeries& close, const HostSeries& length,
                         const HostSeries& multiplier, const HostSeries& high,
                         const HostSeries& low, float* out);


}  // namespace msx
