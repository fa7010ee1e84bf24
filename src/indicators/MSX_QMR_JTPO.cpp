// JTPO: on every bar, Spearman's rank correlation between the last n prices
// and their order in time. +1 means the window's prices rose strictly from
// the oldest to the newest, -1 that they fell strictly; equal prices share
// the average of their ranks.
#include "indicators/MSX_QMR_JTPO.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <utility>

#include "common/GuardedCall.h"

namespace msx {
namespace {

constexpr ArgumentRow kArguments[] = {
    {kSeriesArg, "Close[]", 0, ""},
    {kNumericArg, "Length", 0, ""},
};

constexpr const char* kHelpLines[] = {
    "JTPO - function is based on the adaptive moving average script published on a traders' "
    "forum by its author",
    "          Library code: the msx_qmr developers, 2026.",
};

// Slots 1..300 of every array are used, as the window's positions are
// numbered.
constexpr int32_t kSlots = kJtpoMaxWindow + 1;

struct Window {
  int32_t size;       // n
  double rankScale;   // 12 / ((n - 1) n (n + 1))
  double rankMean;    // (n + 1) / 2
};

// The product is formed in 32-bit signed integers, as the window length
// would be: n - 1 below 0 overflows, above the signed range it does not fit.
Window DeriveWindow(uint32_t length) {
  const uint32_t n = length == 1 || length == 2 ? 3 : length;
  const int32_t below = RoundToInt32(CheckedSub(n, 1u));
  auto multiply = [](int64_t a, int64_t b) {
    const int64_t r = a * b;
    if (r < std::numeric_limits<int32_t>::min() || r > std::numeric_limits<int32_t>::max())
      RaiseFault(kIntegerOverflow);
    return r;
  };
  const int64_t product = multiply(multiply(below, n), int64_t{n} + 1);
  return {static_cast<int32_t>(n), 12.0 / static_cast<double>(product),
          static_cast<double>(n + 1) * 0.5};
}

struct RankWork {
  double sortedPrices[kSlots];
  double timeRanks[kSlots];
  double priceRanks[kSlots];
};

// The rank correlation of the n prices of priceWindow (oldest in slot 1).
double RankCorrelation(const double* priceWindow, const Window& w, RankWork& work) {
  const int32_t n = w.size;
  double* sorted = work.sortedPrices;
  double* timeRanks = work.timeRanks;
  double* priceRanks = work.priceRanks;
  for (int32_t i = 1; i <= n; ++i) {
    timeRanks[i] = i;
    priceRanks[i] = i;
    sorted[i] = priceWindow[i];
  }
  // Selection sort: the first of equal smallest values wins, and the time
  // ranks move with their prices.
  for (int32_t i = 1; i < n; ++i) {
    int32_t smallest = i;
    for (int32_t j = i + 1; j <= n; ++j)
      if (sorted[j] < sorted[smallest]) smallest = j;
    std::swap(sorted[i], sorted[smallest]);
    std::swap(timeRanks[i], timeRanks[smallest]);
  }
  // Equal prices share the average of their ranks.
  for (int32_t i = 1; i < n;) {
    int32_t j = i + 1;
    double s = priceRanks[i];
    for (; j <= n && sorted[j] == sorted[i]; ++j) s += priceRanks[j];
    if (j - i > 1) std::fill(priceRanks + i, priceRanks + j, s / (j - i));
    i = j;
  }
  double t = 0;
  for (int32_t i = 1; i <= n; ++i) t += (priceRanks[i] - w.rankMean) * (timeRanks[i] - w.rankMean);
  return w.rankScale * t;
}

}  // namespace

constinit const FunctionTable kJtpoTable{
    "JTPO", "JTPO", kArguments, kHelpLines,
    /*emptyLineAfterHelp=*/true,
    /*codePageOnly=*/true,
};

BarRange ComputeJtpo(const HostSeries& close, const HostSeries& price, float length, float* out) {
  if (close.first < 0 || close.last < 0) RaiseFault(kRangeCheckError);
  const int32_t first = std::max(close.first, price.first);
  int32_t last = close.last;
  if (price.first <= price.last) {
    if (price.last < 0) RaiseFault(kRangeCheckError);
    last = std::min(last, price.last);
  }
  const uint32_t l = RoundToUInt32(length);

  double priceWindow[kSlots] = {};
  RankWork work;
  Window w{};  // derived when the first window starts
  int32_t windowFill = 0;
  bool priceChanged = false;
  double lastPrice = 0;

  // Bars up to 65499 are inside the host's arrays; a last index beyond it
  // fails after them, as a checked index would on bar 65500.
  const int32_t stop = std::min(last, kMaxIndex);
  for (int32_t b = first; b <= stop; ++b) {
    const double x = Operand(price.values[b]);
    if (windowFill == 0) {
      if (w.size == 0) w = DeriveWindow(l);
      windowFill = 1;
      priceChanged = false;
      lastPrice = x;
      priceWindow[1] = x;
    } else {
      windowFill = windowFill <= w.size ? windowFill + 1 : w.size + 1;
      const double previous = lastPrice;
      lastPrice = x;
      if (windowFill > w.size) {
        std::copy(priceWindow + 2, priceWindow + w.size + 1, priceWindow + 1);
        priceWindow[w.size] = x;
      } else {
        if (windowFill > kJtpoMaxWindow) RaiseFault(kRangeCheckError);
        priceWindow[windowFill] = x;
      }
      if (windowFill <= w.size - 1 && previous != x) priceChanged = true;
      // The first n - 1 prices were all equal: the window starts afresh.
      if (windowFill == w.size - 1 && !priceChanged) windowFill = 0;
    }
    out[b] = windowFill < w.size ? 0.0f : StoreFloat(RankCorrelation(priceWindow, w, work));
  }
  if (last > kMaxIndex) RaiseFault(kRangeCheckError);

  const int64_t resultFirst = int64_t{first} + l;
  if (resultFirst > std::numeric_limits<int32_t>::max()) RaiseFault(kIntegerOverflow);
  return {static_cast<int32_t>(resultFirst), last};
}

void LoadJtpo() { RegisterFunction<kJtpoTable>(); }

}  // namespace msx

using namespace msx;

MSX_EXPORT int32_t MSX_CALL JTPO(const HostDataRecord* data, const HostSeriesArgs* series,
                                 const HostNumericArgs* numeric, const HostStringArgs* strings,
                                 const HostCustomArgs* custom, ResultRec* result) {
  if (!AcceptsCall(kJtpoTable, data, series, numeric, strings, custom, result)) return -1;
  return AnswerOffered(kJtpoTable, GuardedCall(result, ErrorPolicy::kFaultMessage, [&] {
                         return ComputeJtpo(data->close, *series->items[0], numeric->items[0],
                                            result->result->values);
                       }));
}
