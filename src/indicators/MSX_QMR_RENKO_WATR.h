// RENKO_WATR: Renko bricks whose size follows the weighted average true range.
#pragma once

#include <cstdint>

#include "common/Checked.h"
#include "host/MSXStruct.h"
#include "common/FunctionTable.h"

namespace msx {

extern const FunctionTable kRenkoWatrTable;

// What the result shows: the custom argument's ID.
enum class RenkoMode : int32_t { kUp = 0, kDown = 1, kAuto = 2, kLong = 3, kShort = 4, kBoth = 5 };

// The user's texts for a refused argument.
inline constexpr const char* kKoefficientNotPositive = "Koefficient must be positive";
inline constexpr const char* kSmoothingNotAboveZero = "Smooting length must be above zero";

// Computes the bricks of close (the series argument) with the chart's high,
// low and close series into out, and returns the result's valid range. A
// mode outside 0 to 5 writes no values.
BarRange ComputeRenkoWatr(const HostSeries& close, float multiplier, float smooth, int32_t mode,
                          const HostDataRecord& chart, float* out);


}  // namespace msx
