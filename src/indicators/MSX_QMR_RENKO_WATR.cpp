// RENKO_WATR: an upper and a lower level one brick apart follow the price.
// When a close lies more than one brick beyond either level, the levels move
// by whole bricks of the size in force before the move, the brick size is
// worked out again as a multiple of the weighted average true range, and the
// trend turns to that side.
#include "indicators/MSX_QMR_RENKO_WATR.h"

#include <cstring>

#include "common/HostCall.h"
#include "common/WeightedAverage.h"
#include "indicators/TrueRange.h"

namespace msx {
namespace {

constexpr ArgumentRow kArguments[] = {
    {kSeriesArg, "Close[]", 0, ""},
    {kNumericArg, "Multiplier", 0, ""},
    {kNumericArg, "Smooth", 0, ""},
    {kCustomArg, "[Up|U|Dn|D|Auto|A|Long|L|Short|S|Both|B]", 12,
     "Up,0;U,0;Dn,1;D,1;Auto,2;A,2;Long,3;L,3;Short,4;S,4;Both,5;B,5;"},
};

constexpr const char* kHelpLines[] = {
    "RENKO_WATR - Renko-Adaptive Function (based on ATR)",
    "          Library code: the msx_qmr developers, 2026.",
};

// The two levels and the brick. Level sums and steps are formed in extended
// precision; a level is stored as a double.
class Bricks {
 public:
  Bricks(float high, float low, double k)
      : k_(k),
        top_(high),
        bottom_(low),
        brick_(StoreDouble((static_cast<long double>(high) - low) * k)) {}

  // One bar's close, with the bar's average true range: up first, then down
  // with the levels and brick the upward move may have left.
  void Close(float close, double average) {
    if (!(static_cast<long double>(top_) + brick_ >= close)) {
      const long double step = WholeBricks(static_cast<long double>(close) - top_);
      top_ = StoreDouble(top_ + step);
      brick_ = StoreDouble(static_cast<long double>(k_) * average);
      bottom_ = StoreDouble(static_cast<long double>(top_) - brick_);
      rising_ = true;
    }
    if (static_cast<long double>(bottom_) - brick_ > close) {
      const long double step = WholeBricks(static_cast<long double>(bottom_) - close);
      bottom_ = StoreDouble(bottom_ - step);
      brick_ = StoreDouble(static_cast<long double>(k_) * average);
      top_ = StoreDouble(static_cast<long double>(bottom_) + brick_);
      rising_ = false;
    }
  }

  long double UpTrigger() const { return static_cast<long double>(top_) + brick_; }
  long double DownTrigger() const { return static_cast<long double>(bottom_) - brick_; }
  bool rising() const { return rising_; }

 private:
  // The whole bricks in distance, times the brick: nothing when there is no
  // brick.
  long double WholeBricks(long double distance) const {
    if (brick_ == 0) return 0;
    return FloorToInt32(distance / brick_) * static_cast<long double>(brick_);
  }

  double k_;
  double top_;
  double bottom_;
  double brick_;
  bool rising_ = false;
};

}  // namespace

constinit const FunctionTable kRenkoWatrTable{
    "RENKO_WATR",
    "Renko-Adaptive indicator (based on ATR) ",
    kArguments,
    kHelpLines,
    /*emptyLineAfterHelp=*/true,
    /*codePageOnly=*/false,
    {kTableCounts, ErrorPolicy::kFaultMessage, /*clearsErrorText=*/true,
     WhenNotOffered::kAnswersAsComputed},
};

BarRange ComputeRenkoWatr(const HostSeries& close, float multiplier, float smooth, int32_t mode,
                          const HostDataRecord& chart, float* out) {
  const BarRange bars = NarrowedRange({chart.close.first, chart.close.last}, {&close});
  const int32_t first = bars.first;
  const int32_t last = bars.last;

  const double k = multiplier;
  if (!(k >= 0)) RaiseFault(kKoefficientNotPositive);
  const int32_t n = RoundToInt32(smooth);
  if (n < 1) RaiseFault(kSmoothingNotAboveZero);

  const TrueRanges tr(int64_t{first} + 1);
  ComputeTrueRange(chart.high, chart.low, close, int64_t{first} + 1, last, tr.values());

  const int32_t s = CheckedIndex(int64_t{first} + 1 + n);
  const BarRange range{s + 2, last};
  if (s > last) return range;

  // The true range pass checked that last lies inside the arrays.
  Bricks bricks(Operand(chart.high.values[s]), Operand(chart.low.values[s]), k);
  const float* c = close.values;
  ForEachWeightedAverage(
      tr.values(), s + 1, last, [n](int32_t) { return n; }, [](int32_t, int32_t) { return true; },
      [&](int32_t i, double average) {
        bricks.Close(Operand(c[i]), average);
        const bool rising = bricks.rising();
        switch (static_cast<RenkoMode>(mode)) {
          case RenkoMode::kUp:
            if (i < last) out[i + 1] = StoreFloat(bricks.UpTrigger());
            break;
          case RenkoMode::kDown:
            if (i < last) out[i + 1] = StoreFloat(bricks.DownTrigger());
            break;
          case RenkoMode::kAuto:
            out[i] = StoreFloat(rising ? bricks.DownTrigger() : bricks.UpTrigger());
            break;
          case RenkoMode::kLong:
            out[i] = rising ? 1.0f : 0.0f;
            break;
          case RenkoMode::kShort:
            out[i] = rising ? 0.0f : -1.0f;
            break;
          case RenkoMode::kBoth:
            out[i] = rising ? 1.0f : -1.0f;
            break;
        }
      });
  return range;
}

}  // namespace msx

using namespace msx;

MSX_EXPORT int32_t MSX_CALL RENKO_WATR(const HostDataRecord* data, const HostSeriesArgs* series,
                                       const HostNumericArgs* numeric,
                                       const HostStringArgs* strings, const HostCustomArgs* custom,
                                       ResultRec* result) {
  return CallFunction(kRenkoWatrTable, {data, series, numeric, strings, custom, result},
                      [](const HostCall& c) {
                        return ComputeRenkoWatr(c.Series(0), c.Numeric(0), c.Numeric(1),
                                                c.Custom(0), c.Data(), c.Out());
                      });
}
