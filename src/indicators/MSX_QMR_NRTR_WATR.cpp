// NRTR_WATR: the reversal line of NRTR, with the distance between line and
// price extreme a multiplier times the linearly weighted average of the true
// range over a window. Window length and multiplier are series, so both may
// change from bar to bar.
#include "indicators/MSX_QMR_NRTR_WATR.h"

#include <algorithm>
#include <limits>

#include "common/HostCall.h"
#include "common/WeightedAverage.h"
#include "indicators/TrailingReversal.h"
#include "indicators/TrueRange.h"

namespace msx {
namespace {

constexpr ArgumentRow kArguments[] = {
    {kSeriesArg, "Close[]", 0, ""},
    {kSeriesArg, "Length[]", 0, ""},
    {kSeriesArg, "Multiplier[]", 0, ""},
};

constexpr const char* kHelpLines[] = {
    "NRTR_WATR - North Russian Trailing Reverse Function based on Weighted Average True Range",
    "          with Multiplier.",
    "          The channel follows volatility: a multiplier times the weighted",
    "          average true range over a window that may change from bar to bar.",
    "          Library code: the msx_qmr developers, 2026.",
    "          Questions and reports: the project's issue tracker.",
    "          Free to use with any chart.",
};

// The bar's lines: H - D below the highest price and L + D above the
// lowest, D (multiplier times average) kept in extended precision and each
// line stored as a float.
struct VolatilityLines {
  long double distance;

  float Below(double high) const { return StoreFloat(static_cast<long double>(high) - distance); }
  float Above(double low) const { return StoreFloat(distance + static_cast<long double>(low)); }
};

// The window length of a bar: its nearest integer, 0 to 4294967295. The
// lengths seldom change from bar to bar, so each new value is rounded once.
class WindowLength {
 public:
  uint32_t operator()(float n) {
    if (!(n == raw_)) {  // also true for a NaN, which Operand refuses
      length_ = RoundToUInt32(Operand(n));
      raw_ = n;
    }
    return length_;
  }

 private:
  float raw_ = std::numeric_limits<float>::quiet_NaN();
  uint32_t length_ = 0;
};

// The first bar whose window fits after the start of the length series: a
// bar whose window would reach before that start moves it on by its length.
// A bar with the length of the bar before cannot move it further (its
// window ends a bar later, and the start it would move to is the one the
// bar before gave), so runs of one length are passed over.
int32_t WindowStart(const HostSeries& length) {
  const HostBars bars(length.first, length.last);
  int64_t start = length.first;
  WindowLength windowLength;
  float previous = std::numeric_limits<float>::quiet_NaN();
  for (int32_t j = bars.first; j <= bars.stop; ++j) {
    const float raw = length.values[j];
    if (raw == previous) continue;
    previous = raw;
    const uint32_t window = windowLength(raw);
    if (j - int64_t{window} < start) start = std::max(start, int64_t{length.first} + window);
  }
  bars.End();
  if (start > std::numeric_limits<int32_t>::max()) RaiseFault(kRangeCheckError);
  return static_cast<int32_t>(start);
}

}  // namespace

constinit const FunctionTable kNrtrWatrTable{
    "NRTR_WATR",
    "NRTR based on Weighted Average True Range with Multiplier",
    kArguments,
    kHelpLines,
    /*emptyLineAfterHelp=*/true,
    /*codePageOnly=*/false,
    {kSeriesCount, ErrorPolicy::kFixedText, /*clearsErrorText=*/false,
     WhenNotOffered::kAnswersAsComputed},
};

BarRange ComputeNrtrWatr(const HostSeries& close, const HostSeries& length,
                         const HostSeries& multiplier, const HostSeries& high,
                         const HostSeries& low, float* out) {
  const int32_t windowStart = WindowStart(length);

  const BarRange prices = CommonRange(high, low, close);
  // Zeros below the first true range, where a window of a length series
  // that starts before the prices reaches.
  const TrueRanges tr(int64_t{prices.first} + 1);
  const int32_t last = std::min({prices.last, length.last, multiplier.last});
  if (prices.first < 0 || last < 0) RaiseFault(kRangeCheckError);
  // The true ranges' grid taken as they are written; the values below the
  // first true range are the cleared zeros, which the grid skips.
  ExactGrid::Scan gridScan;
  ComputeTrueRange(high, low, close, int64_t{prices.first} + 1, last, tr.values(),
                   [&gridScan](float value) { gridScan.Add(value); });

  // The line starts where the first window fits, and not before the length
  // and multiplier series hold data.
  const int32_t s = CheckedIndex(std::max({int64_t{prices.first} + 1, int64_t{windowStart},
                                           int64_t{length.first}, int64_t{multiplier.first}}));
  TrailingReversal reversal(close.values[s]);
  out[s] = 0;

  // The true range pass checked that last lies inside the arrays.
  const float* p = close.values;
  const float* n = length.values;
  const float* m = multiplier.values;
  WindowLength windowLength;
  ForEachWeightedAverage</*kRunningBlock=*/8>(
      gridScan.Grid(), tr.values(), s, last, [&](int32_t i) { return windowLength(n[i]); },
      [&](int32_t i, int32_t j) { return n[j] == n[i]; },
      [&](int32_t i, double average) {
        // The multiplier goes to the x87 unit straight from the host's
        // array: a NaN one needs no check of its own, as every step forms a
        // line from D, and StoreFloat refuses the NaN line on the same bar.
        const VolatilityLines lines{static_cast<long double>(m[i]) * average};
        out[i] = reversal.Step(Operand(p[i]), lines);
      });
  return {s, last};
}

}  // namespace msx

using namespace msx;

MSX_EXPORT int32_t MSX_CALL NRTR_WATR(const HostDataRecord* data, const HostSeriesArgs* series,
                                      const HostNumericArgs* numeric, const HostStringArgs* strings,
                                      const HostCustomArgs* custom, ResultRec* result) {
  return CallFunction(kNrtrWatrTable, {data, series, numeric, strings, custom, result},
                      [](const HostCall& c) {
                        return ComputeNrtrWatr(c.Series(0), c.Series(1), c.Series(2), c.Data().high,
                                               c.Data().low, c.Out());
                      });
}
