// NRTR: a trailing reversal line on a percentage channel.
#pragma once

#include "common/Checked.h"
#include "host/MSXStruct.h"
#include "common/FunctionTable.h"

namespace msx {

extern const FunctionTable kNrtrTable;

// Computes the line over the common valid range of close, koefficient
// (percent), high and low (only their ranges are read) into out, and returns
// the result's valid range: from one bar after the common first index to
// the common last index.
BarRange ComputeNrtr(const HostSeries& close, const HostSeries& koefficient, const HostSeries& high,
                     const HostSeries& low, float* out);


}  // namespace msx
