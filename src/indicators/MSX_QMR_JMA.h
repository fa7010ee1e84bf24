// JMA: an adaptive moving average of one price series.
#pragma once

#include <cstdint>

#include "common/Checked.h"
#include "host/MSXStruct.h"
#include "common/FunctionTable.h"

namespace msx {

extern const FunctionTable kJmaTable;

// What the rounded Length (L) and Phase (P) give; every value is the float
// stored after its formula was evaluated in extended precision.
struct JmaParameters {
  int32_t length;  // L
  float halfLength;
  float phaseFactor;
  float logFactor;
  float bandExponent;
  float bandLength;
  float bandDecay;
  float smoothingBeta;
};

JmaParameters DeriveJmaParameters(int32_t length, int32_t phase);

// Computes the average of price over the bars from the larger to the smaller
// of the first and last valid indexes of close and price (at least the first
// bar), writing every bar's value into out, and returns the result's valid
// range: first + 30 (L < 5) or first + L + 25, to last. Faults: a bar outside
// 0 to 65499 or a rounded argument outside the 32-bit range is a "Range check
// error"; an overflowing range an "Integer overflow"; a float operation
// without a real result (a NaN or infinite price, a volatility yardstick of
// zero or below) an "Invalid floating point operation".
// The arithmetic of the bar loop: the shortcuts to the stored floats, or the
// extended formulas alone (slower; the same results, which tests check).
enum class JmaArithmetic { kShortcuts, kExtendedOnly };

BarRange ComputeJma(const HostSeries& close, const HostSeries& price, float length, float phase,
                    float* out, JmaArithmetic arithmetic = JmaArithmetic::kShortcuts);


}  // namespace msx
