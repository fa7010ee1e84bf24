// NRTR: in an up phase the line trails a percentage below the highest price
// since the phase began, in a down phase the same percentage above the lowest
// price; when the price crosses the line, the phase turns and the line jumps
// to the other side. The percentage is itself a series.
#include "indicators/MSX_QMR_NRTR.h"

#include <algorithm>
#include <limits>

#include "common/HostCall.h"
#include "indicators/TrailingReversal.h"

namespace msx {
namespace {

constexpr ArgumentRow kArguments[] = {
    {kSeriesArg, "Close[]", 0, ""},
    {kSeriesArg, "Koefficient[]", 0, ""},
};

constexpr const char* kHelpLines[] = {
    "NRTR -    \"New Russian\" Trailing Reverse Function based on percentage channel",
    "          Library code: the msx_qmr developers, 2026.",
    "          Questions and reports: the project's issue tracker.",
};

// The lines of the percentage channel, H x (1 - k) below and L x (1 + k)
// above, products formed in extended precision and stored as floats. The
// factors depend only on the bar's percentage, which is mostly the same from
// bar to bar, and each line only on its mark and factor: a line is worked out
// again only when one of them changes.
class PercentLines {
 public:
  // Takes the bar's percentage; a NaN is refused.
  void SetPercent(float percent) {
    if (percent == percent_) return;
    percent_ = Operand(percent);
    const double k = StoreDouble(static_cast<long double>(percent_) / 100);
    below_ = {StoreDouble(1.0L - k)};
    above_ = {StoreDouble(1.0L + k)};
  }
  float Below(double high) { return below_.At(high); }
  float Above(double low) { return above_.At(low); }

 private:
  struct Line {
    double factor = 0;
    double mark = std::numeric_limits<double>::quiet_NaN();  // never equal: not yet worked out
    float value = 0;

    float At(double m) {
      if (!(m == mark)) {
        mark = m;
        value = StoreFloat(static_cast<long double>(m) * factor);
      }
      return value;
    }
  };

  float percent_ = std::numeric_limits<float>::quiet_NaN();
  Line below_;
  Line above_;
};

}  // namespace

constinit const FunctionTable kNrtrTable{
    "NRTR",
    "\"New Russian\" Trailing Reverse Function based on percentage channel",
    kArguments,
    kHelpLines,
    /*emptyLineAfterHelp=*/true,
    /*codePageOnly=*/false,
    {kSeriesCount | kNumericCount, ErrorPolicy::kFixedText, /*clearsErrorText=*/false,
     WhenNotOffered::kAnswersAsComputed},
};

// The bar loop is so short that where it falls across the processor's
// 64-byte fetch lines shows (3 % or so): the function starts on a line of its
// own, so that changes elsewhere in the library do not move it.
[[gnu::aligned(64)]] BarRange ComputeNrtr(const HostSeries& close, const HostSeries& koefficient,
                                          const HostSeries& high, const HostSeries& low,
                                          float* out) {
  const BarRange common = CommonRange(high, koefficient, low, close);
  if (common.first < 0 || common.last < 0) RaiseFault(kRangeCheckError);
  const int32_t s = CheckedIndex(int64_t{common.first} + 1);

  const float* p = close.values;
  const float* k100 = koefficient.values;
  TrailingReversal reversal(p[s]);
  out[s] = 0;
  PercentLines lines;

  const HostBars bars(s, common.last);
  for (int32_t i = s; i <= bars.stop; ++i) {
    const float price = Operand(p[i]);
    lines.SetPercent(k100[i]);
    out[i] = reversal.Step(price, lines);
  }
  bars.End();
  return {s, common.last};
}

}  // namespace msx

using namespace msx;

MSX_EXPORT int32_t MSX_CALL NRTR(const HostDataRecord* data, const HostSeriesArgs* series,
                                 const HostNumericArgs* numeric, const HostStringArgs* strings,
                                 const HostCustomArgs* custom, ResultRec* result) {
  return CallFunction(
      kNrtrTable, {data, series, numeric, strings, custom, result}, [](const HostCall& c) {
        return ComputeNrtr(c.Series(0), c.Series(1), c.Data().high, c.Data().low, c.Out());
      });
}
