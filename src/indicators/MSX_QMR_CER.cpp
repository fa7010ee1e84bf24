// CER: the centre is an exponential average of the price with weight one
// half; at a local peak the peak's distance from the centre, at a local
// trough the trough's, both in percent of the centre, are kept until the next
// one; the result is the moving average of their difference.
#include "indicators/MSX_QMR_CER.h"

#include <algorithm>

#include "common/HostCall.h"
#include "common/WorkMemory.h"

namespace msx {
namespace {

constexpr ArgumentRow kArguments[] = {
    {kSeriesArg, "Close[]", 0, ""},
    {kNumericArg, "Length", 0, ""},
};

constexpr const char* kHelpLines[] = {
    "CER - Centered Extremum Range Function",
    "          Library code: the msx_qmr developers, 2026.",
    "          Questions and reports: the project's issue tracker.",
};

// Distance of an extreme from the centre, in percent of the centre. A centre
// of 0 has no percentage: a fault rather than an infinite value.
double Distance(float extreme, double centre) {
  if (centre == 0) RaiseFault(kFloatDivisionByZero);
  return StoreDouble((static_cast<long double>(extreme) - centre) * 100 / centre);
}

// The sums of kBars consecutive windows of n terms ending at bars i, i + 1,
// ...: each term added, oldest first, to a double sum in extended precision.
// The bars are summed side by side; each sum is still its own chain of
// additions in the order one bar alone would take.
template <int kBars>
void WindowSums(const long double* q, int32_t i, int32_t n, double* out) {
  const long double* w = q + (i - n + 1);
  double sum[kBars] = {};
  for (int32_t j = 0; j < n; ++j)
    for (int b = 0; b < kBars; ++b) sum[b] = static_cast<double>(sum[b] + w[j + b]);
  for (int b = 0; b < kBars; ++b) out[b] = sum[b];
}

// The simple moving averages of the bars from to last, over the terms q:
// each value of the difference series divided by n in extended precision.
// Written in bar order.
void SimpleAverages(const long double* q, int32_t from, int32_t last, int32_t n, float* out) {
  if (last < from) return;
  if (from < n) RaiseFault(kRangeCheckError);  // the window would start before bar 1
  constexpr int kBlock = 8;
  double sums[kBlock];
  int32_t i = from;
  for (; last - i >= kBlock - 1; i += kBlock) {
    WindowSums<kBlock>(q, i, n, sums);
    for (int b = 0; b < kBlock; ++b) out[i + b] = StoreFloat(sums[b]);
  }
  for (; i <= last; ++i) {
    WindowSums<1>(q, i, n, sums);
    out[i] = StoreFloat(sums[0]);
  }
}

}  // namespace

constinit const FunctionTable kCerTable{
    "CER",
    "Centered Extremum Range",
    kArguments,
    kHelpLines,
    /*emptyLineAfterHelp=*/true,
    /*codePageOnly=*/false,
    {kNumericCount | kSeriesCount, ErrorPolicy::kFixedText, /*clearsErrorText=*/false,
     WhenNotOffered::kAnswersAsComputed},
};

BarRange ComputeCer(const HostSeries& price, float length, const HostSeries& hostClose,
                    float* out) {
  const int32_t n = RoundToInt32(length);
  const int32_t s = CheckedAdd(CheckedAdd(hostClose.first, n), 2);
  if (s < 0) RaiseFault(kRangeCheckError);
  const int32_t last = hostClose.last;
  if (last < 0) RaiseFault(kRangeCheckError);

  // The difference series, each value already divided by n (the one form in
  // which the average reads it). Pass one writes the bars from s on; the
  // bars before s are cleared, so the first windows average zeros for them.
  const WorkMemory memory(sizeof(long double) * kMaxBars);
  long double* const q = memory.As<long double>();
  std::fill_n(q, std::min(s, kMaxBars), 0.0L);

  const SeriesIn close(hostClose.values);
  double mid = StoreDouble((static_cast<long double>(close[s - 1]) + close[s - 2]) / 2);
  double peak = 0;    // distance of the latest peak from the centre
  double trough = 0;  // distance of the latest trough

  // Pass one: the difference series. A fault on a bar ends it there; the
  // averages of the bars before are written first, as they would be by a
  // single pass, then the fault goes on.
  const SeriesIn p(price.values);
  int32_t end = last;
  bool failed = false;
  Fault fault("");
  int32_t i = s;
  try {
    const HostBars bars(s, last);
    for (; i <= bars.stop; ++i) {
      const float before = Operand(p[int64_t{i} - 2]);
      const float middle = Operand(p[int64_t{i} - 1]);
      const float now = Operand(p[i]);
      mid = StoreDouble((static_cast<long double>(mid) + now) / 2);
      if (before < middle && now < middle) peak = Distance(middle, mid);
      if (before > middle && now > middle) trough = Distance(middle, mid);
      const float w = StoreFloat(static_cast<long double>(peak) - trough);
      if (n > 0) q[static_cast<size_t>(i)] = static_cast<long double>(w) / n;
    }
    bars.End();
  } catch (const Fault& f) {
    fault = f;
    failed = true;
    end = i - 1;
  }

  // Pass two: the averages.
  if (n == 0) {
    for (int32_t bar = s; bar <= end; ++bar) out[bar] = 0;
  } else if (n < 0) {
    if (s <= end) RaiseFault(kRangeCheckError);
  } else {
    SimpleAverages(q, s, end, n, out);
  }
  if (failed) throw fault;
  return {s, last};
}

}  // namespace msx

using namespace msx;

MSX_EXPORT int32_t MSX_CALL CER(const HostDataRecord* data, const HostSeriesArgs* series,
                                const HostNumericArgs* numeric, const HostStringArgs* strings,
                                const HostCustomArgs* custom, ResultRec* result) {
  return CallFunction(kCerTable, {data, series, numeric, strings, custom, result},
                      [](const HostCall& c) {
                        return ComputeCer(c.Series(0), c.Numeric(0), c.Data().close, c.Out());
                      });
}
