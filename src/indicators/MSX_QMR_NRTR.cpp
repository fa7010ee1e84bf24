// NRTR: in an up phase the line trails a percentage below the highest price
// since the phase began, in a down phase the same percentage above the lowest
// price; when the price crosses the line, the phase turns and the line jumps
// to the other side. The percentage is itself a series.
#include "indicators/MSX_QMR_NRTR.h"

#include <algorithm>
#include <limits>

#include "common/GuardedCall.h"

namespace msx {
namespace {

constexpr ArgumentRow kArguments[] = {
    {kSeriesArg, "Close[]", 0, ""},
    {kSeriesArg, "Koefficient[]", 0, ""},
};

constexpr const char* kHelpLines[] = {
    "NRTR -    \"New Russian\" Trailing Reverse Function based on percentage channel",
    "          Trailing reverse on a percentage channel, a trader's classic.",
    "          Library code: the msx_qmr developers, 2026.",
};

enum Phase { kDown = -1, kUndecided = 0, kUp = 1 };

// One side's line, mark x factor formed in extended precision and stored as
// a float, kept until the mark or the factor changes.
struct Line {
  float value = 0;
  bool stale = true;

  void Move(double& mark, float price) {
    if (mark != price) stale = true;
    mark = price;
  }
  float At(double mark, double factor) {
    if (stale) {
      value = StoreFloat(static_cast<long double>(mark) * factor);
      stale = false;
    }
    return value;
  }
};

}  // namespace

constinit const FunctionTable kNrtrTable{
    "NRTR",
    "\"New Russian\" Trailing Reverse Function based on percentage channel",
    kArguments,
    kHelpLines,
    /*emptyLineAfterHelp=*/true,
    /*codePageOnly=*/false,
};

BarRange ComputeNrtr(const HostSeries& close, const HostSeries& koefficient, const HostSeries& high,
                     const HostSeries& low, float* out) {
  const BarRange common = CommonRange(high, koefficient, low, close);
  if (common.first < 0 || common.last < 0) RaiseFault(kRangeCheckError);
  const int32_t s = CheckedIndex(int64_t{common.first} + 1);

  const float* p = close.values;
  const float* k100 = koefficient.values;

  double h = p[s];  // highest price of the up phase
  double l = h;     // lowest price of the down phase
  out[s] = 0;
  int phase = kUndecided;

  // The factors depend only on the bar's percentage, which is mostly the
  // same from bar to bar, and each line only on its mark and factor: both
  // are worked out again only when what they depend on changes.
  float percent = std::numeric_limits<float>::quiet_NaN();
  double lower = 0;
  double upper = 0;
  Line below;  // H x (1 - k), the line of the up phase
  Line above;  // L x (1 + k), the line of the down phase

  // Bars up to 65499 are inside the host's arrays; a last index beyond it
  // fails after them, as a checked index would on bar 65500.
  const int32_t last = std::min(common.last, kMaxIndex);
  for (int32_t i = s; i <= last; ++i) {
    const float price = Operand(p[i]);
    if (!(k100[i] == percent)) {  // also true for a NaN, which Operand refuses
      percent = Operand(k100[i]);
      const double k = StoreDouble(static_cast<long double>(percent) / 100);
      lower = StoreDouble(1.0L - k);
      upper = StoreDouble(1.0L + k);
      below.stale = above.stale = true;
    }

    float& r = out[i];
    if (phase >= kUndecided) {
      if (price > h) below.Move(h, price);
      r = below.At(h, lower);
      if (price <= r) {  // compared with the stored float
        phase = kDown;
        above.Move(l, price);
        r = above.At(l, upper);
      }
    }
    if (phase <= kUndecided) {
      if (price < l) above.Move(l, price);
      r = above.At(l, upper);
      if (price > r) {
        phase = kUp;
        below.Move(h, price);
        r = below.At(h, lower);
      }
    }
  }
  if (common.last > kMaxIndex) RaiseFault(kRangeCheckError);
  return {s, common.last};
}

void LoadNrtr() { RegisterFunction<kNrtrTable>(); }

}  // namespace msx

using namespace msx;

MSX_EXPORT int32_t MSX_CALL NRTR(const HostDataRecord* data, const HostSeriesArgs* series,
                                 const HostNumericArgs* numeric, const HostStringArgs* strings,
                                 const HostCustomArgs* custom, ResultRec* result) {
  if (!AcceptsCall(kNrtrTable, data, series, numeric, strings, custom, result)) return -1;
  return GuardedCall(result, ErrorPolicy::kFixedText, [&] {
    return ComputeNrtr(*series->items[0], *series->items[1], data->high, data->low,
                       result->result->values);
  });
}
