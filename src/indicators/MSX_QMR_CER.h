// CER, the centered extremum range: how far the latest local peak and trough
// of the price lie from a running centre, in percent of the centre, smoothed
// by a simple moving average.
#pragma once

#include "common/Checked.h"
#include "host/MSXStruct.h"
#include "common/FunctionTable.h"

namespace msx {

extern const FunctionTable kCerTable;

// Computes CER of price into out and returns the result's valid range.
// hostClose is the chart's Close series: its range places the result and
// two of its values start the centre. length is used as its nearest integer.
BarRange ComputeCer(const HostSeries& price, float length, const HostSeries& hostClose, float* out);


}  // namespace msx
