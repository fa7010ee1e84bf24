// JTPO: on every bar, Spearman's rank correlation between the last n prices
// and their order in time. +1 means the window's prices rose strictly from
// the oldest to the newest, -1 that they fell strictly; equal prices share
// the average of their ranks.
#include "indicators/MSX_QMR_JTPO.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>

#include "common/HostCall.h"
#include "indicators/JtpoRankTrees.h"

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
static_assert(kJtpoMaxWindow <= JtpoRankTrees::kMostPrices);

struct Window {
  int32_t size;      // n
  double rankScale;  // 12 / ((n - 1) n (n + 1))
  double rankMean;   // (n + 1) / 2
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

// The window's prices with their ranks. A price's rank is one more than the
// number of smaller prices in the window; equal prices share the mean of the
// ranks they occupy: the number of smaller prices plus half of one more than
// the number of equal ones. Twice a rank is a whole number, kept per slot and
// moved with its price. Once the window is full each new bar changes every
// rank only by what the price leaving and the price arriving compare to it,
// so a bar costs O(n) instead of sorting the window again.
//
// The correlation's sum t = sum of (rank - mean) (time - mean) is exact
// either way (quarters of whole numbers, far inside a double's precision):
// it is the very number the selection sort with averaged runs of equal
// prices gives, and rankScale * t is formed in double precision from it.
class RankWindow {
 public:
  explicit RankWindow(const Window& w) : n_(w.size), rankScale_(w.rankScale) {}

  // Stores x in a slot of a filling window (slots 1..300).
  void Fill(int32_t slot, double x) {
    if (slot > kJtpoMaxWindow) RaiseFault(kRangeCheckError);
    priceWindow_[slot] = x;
  }

  // Ranks every price of the window that has just filled.
  void RankAll() {
    for (int32_t k = 1; k <= n_; ++k) {
      int32_t twice = 0;
      for (int32_t j = 1; j <= n_; ++j) twice += Weigh(priceWindow_[j], priceWindow_[k]);
      twiceRank_[k] = twice + 1;  // the price itself counted once as equal
    }
  }

  // Drops the oldest price, moves the others one slot down and takes x in
  // slot n.
  void Slide(double x) {
    const double gone = priceWindow_[1];
    int32_t arriving = 2;  // itself: no smaller price, one equal
    for (int32_t k = 1; k < n_; ++k) {
      const double e = priceWindow_[k + 1];
      priceWindow_[k] = e;
      twiceRank_[k] = twiceRank_[k + 1] + Weigh(x, e) - Weigh(gone, e);
      arriving += Weigh(e, x);
    }
    priceWindow_[n_] = x;
    twiceRank_[n_] = arriving;
  }

  double Correlation() const {
    // 4t, in 32 bits: each term is at most n^2 in size and the sum at most
    // n^3 < 2^25 for n up to 300, so no 64-bit work (two instructions and
    // more on a 32-bit processor) is needed.
    const int32_t twiceMean = n_ + 1;
    int32_t sum = 0;
    for (int32_t k = 1; k <= n_; ++k) sum += (twiceRank_[k] - twiceMean) * (2 * k - twiceMean);
    return Correlation(sum);
  }
  double Correlation(int32_t fourT) const {
    return rankScale_ * (static_cast<double>(fourT) * 0.25);
  }

 private:
  // What other adds to twice the rank of price: 2 when smaller, 1 when equal.
  static int32_t Weigh(double other, double price) {
    return 2 * int32_t{other < price} + int32_t{other == price};
  }

  int32_t n_;
  double rankScale_;
  double priceWindow_[kSlots] = {};  // oldest in slot 1
  int32_t twiceRank_[kSlots] = {};
};

}  // namespace

constinit const FunctionTable kJtpoTable{
    "JTPO",
    "JTPO",
    kArguments,
    kHelpLines,
    /*emptyLineAfterHelp=*/true,
    /*codePageOnly=*/true,
    {kTableCounts, ErrorPolicy::kFaultMessage, /*clearsErrorText=*/false,
     WhenNotOffered::kAnswersFailure},
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
  const HostBars bars(first, last);

  Window w{};  // derived when the first window starts
  RankWindow window(w);
  // Long windows keep t with the rank trees, built when the window first
  // fills over the bars the loop can reach (up to a NaN, which fails there).
  std::unique_ptr<JtpoRankTrees> trees;
  auto buildTrees = [&](int32_t b) {
    int32_t end = b;
    while (end < bars.stop && !std::isnan(price.values[end + 1])) ++end;
    trees = std::make_unique<JtpoRankTrees>(price.values, first, end);
    trees->Fill(b, w.size);
  };
  int32_t windowFill = 0;
  bool priceChanged = false;
  double lastPrice = 0;

  for (int32_t b = first; b <= bars.stop; ++b) {
    const double x = Operand(price.values[b]);
    float value = 0;
    if (windowFill == 0) {
      if (w.size == 0) window = RankWindow(w = DeriveWindow(l));
      windowFill = 1;
      priceChanged = false;
      lastPrice = x;
      window.Fill(1, x);
    } else if (windowFill >= w.size) {  // full: stays full
      windowFill = w.size + 1;
      if (trees) {
        trees->Slide(b, w.size);
        value = StoreFloat(window.Correlation(trees->FourT(b, w.size)));
      } else {
        window.Slide(x);
        value = StoreFloat(window.Correlation());
      }
    } else {
      ++windowFill;
      const double previous = lastPrice;
      lastPrice = x;
      window.Fill(windowFill, x);
      if (windowFill <= w.size - 1 && previous != x) priceChanged = true;
      if (windowFill == w.size && w.size >= kJtpoRankTreeWindow) {
        buildTrees(b);
        value = StoreFloat(window.Correlation(trees->FourT(b, w.size)));
      } else if (windowFill == w.size) {
        window.RankAll();
        value = StoreFloat(window.Correlation());
      } else if (windowFill == w.size - 1 && !priceChanged) {
        windowFill = 0;  // the first n - 1 prices were all equal: start afresh
      }
    }
    out[b] = value;
  }
  bars.End();

  const int64_t resultFirst = int64_t{first} + l;
  if (resultFirst > std::numeric_limits<int32_t>::max()) RaiseFault(kIntegerOverflow);
  return {static_cast<int32_t>(resultFirst), last};
}

}  // namespace msx

using namespace msx;

MSX_EXPORT int32_t MSX_CALL JTPO(const HostDataRecord* data, const HostSeriesArgs* series,
                                 const HostNumericArgs* numeric, const HostStringArgs* strings,
                                 const HostCustomArgs* custom, ResultRec* result) {
  return CallFunction(kJtpoTable, {data, series, numeric, strings, custom, result},
                      [](const HostCall& c) {
                        return ComputeJtpo(c.Data().close, c.Series(0), c.Numeric(0), c.Out());
                      });
}
