// JMA: two envelopes chase the price and give a volatility sample per bar; a
// trimmed mean of the recent volatility history is the yardstick; the ratio
// of the two sets how fast a three-stage filter follows the price. Length
// sets the smoothing, Phase how far the filter leans ahead of its own
// smoothed value.
//
// Every named quantity is a float (or a 32-bit integer): each formula runs in
// extended precision and is rounded once, when its result is stored. Running
// sums are therefore rounded at every step, and the results depend on it.
#include "indicators/MSX_QMR_JMA.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "common/ExtendedMath.h"
#include "common/GuardedCall.h"

namespace msx {
namespace {

using Ext = long double;

constexpr ArgumentRow kArguments[] = {
    {kSeriesArg, "Close[]", 0, ""},
    {kNumericArg, "Length", 0, ""},
    {kNumericArg, "Phase", 0, ""},
};

constexpr const char* kHelpLines[] = {
    "JMA -  function is based on the adaptive moving average script published on a traders' "
    "forum by its author",
    "          Library code: the msx_qmr developers, 2026.",
};

constexpr int32_t kBufferSlots = 61;   // priceBuffer: the first 61 prices
constexpr int32_t kFillBars = 30;      // bars that only fill the buffer
constexpr int32_t kRingSlots = 10;     // volatilityRing
constexpr int32_t kHistory = 127;      // averageRing: the averaged volatilities kept
constexpr int32_t kSortedSlots = 128;  // sortedAverages: slot 0 and the history
constexpr int32_t kWarmupDone = 31;
constexpr float kSentinel = 1000000.0f;
constexpr Ext kVolatilityFloor = 1e-10L;
constexpr Ext kLn2 = 0.693147180559945309417232121458176568L;

// The working state of one call, all of it inside the call's frame. Slot
// numbers are those of the arrays' definitions (1-based where they are).
class JmaState {
 public:
  explicit JmaState(const JmaParameters& p)
      : p_(p), decayPower_(p.bandDecay), betaPower_(p.smoothingBeta) {
    if (p.logFactor > 1) {
      // A ratio from capLow_ up to capHigh_ raised to bandExponent lies
      // above logFactor by far more than the power's error, and within the
      // float range: the capped value follows without the power. The
      // margins of 2^-32 dwarf the errors of the bounds themselves.
      const Ext inverse = 1 / Ext{p.bandExponent};
      capLow_ = PowerExtended(p.logFactor, inverse) * (1 + 0x1p-32L);
      capHigh_ = PowerExtended(std::numeric_limits<float>::max(), inverse) * (1 - 0x1p-32L);
      capDecay_ = StoreFloat(decayPower_(sqrtl(Ext{p.logFactor})));
      capP_ = StoreFloat(betaPower_(p.logFactor));
    }
    sortedAverages_[0] = 0;
    std::fill(sortedAverages_ + 1, sortedAverages_ + 64, -kSentinel);
    std::fill(sortedAverages_ + 64, sortedAverages_ + kSortedSlots, kSentinel);
  }

  float Bar(float x) {
    if (bufferCount_ < kBufferSlots) priceBuffer_[++bufferCount_] = x;
    if (bufferCount_ <= kFillBars) return jmaValue_;

    // The first full pass replays the buffered prices when they vary, so
    // that the warm-up ends on this very bar.
    int32_t replayCount = 0;
    if (firstPass_) {
      firstPass_ = false;
      bool varies = false;
      for (int32_t i = 1; i < kFillBars; ++i) varies |= priceBuffer_[i] != priceBuffer_[i + 1];
      const float start = varies ? priceBuffer_[1] : x;
      replayCount = varies ? kFillBars - 1 : 0;
      upperBand_ = lowerBand_ = start;
    }
    for (int32_t k = replayCount; k >= 0; --k) Sample(k >= 1 ? priceBuffer_[31 - k] : x, x);
    if (warmupCount_ == kWarmupDone) Filter(x);
    return jmaValue_;
  }

 private:
  void Sample(float s, float x) {
    const float du = StoreFloat(Ext{s} - upperBand_);
    const float dl = StoreFloat(Ext{s} - lowerBand_);
    const float bandDistance = std::fabs(du) > std::fabs(dl) ? std::fabs(du) : std::fabs(dl);
    const float sampleVolatility = StoreFloat(bandDistance + kVolatilityFloor);

    averageSlot_ = averageSlot_ <= 1 ? kHistory : averageSlot_ - 1;
    volatilitySlot_ = volatilitySlot_ <= 1 ? kRingSlots : volatilitySlot_ - 1;
    if (sampleCount_ < kSortedSlots) ++sampleCount_;

    float& oldest = volatilityRing_[volatilitySlot_];
    volatilitySum_ = StoreFloat(Ext{volatilitySum_} + sampleVolatility - oldest);
    oldest = sampleVolatility;
    const float averageVolatility =
        StoreFloat(Ext{volatilitySum_} / (sampleCount_ > kRingSlots ? kRingSlots : sampleCount_));
    const float referenceVolatility = UpdateHistory(averageVolatility);

    warmupCount_ = std::min(warmupCount_ + 1, kWarmupDone);
    float decay = p_.bandDecay;
    if (warmupCount_ == kWarmupDone) {
      // A yardstick of zero or below leaves the power without a real result.
      if (!(referenceVolatility > 0)) RaiseFault(kInvalidFloatOperation);
      const Ext ratio = Ext{bandDistance} / referenceVolatility;
      // Up to 1 the power stays at most 1 whatever the exponent, and the
      // floor of 1 applies: the power only when it can matter (a NaN goes
      // there and fails).
      float r = 1;
      if (ratio >= capLow_ && ratio < capHigh_) {
        r = p_.logFactor;
      } else if (!(ratio <= 1)) {
        r = StoreFloat(PowerExtended(ratio, p_.bandExponent));
      }
      if (r > p_.logFactor) r = p_.logFactor;
      relativeVolatility_ = r >= 1 ? r : 1;
      decay = relativeVolatility_ == 1 ? p_.bandDecay
              : relativeVolatility_ == p_.logFactor
                  ? capDecay_
                  : StoreFloat(decayPower_(sqrtl(Ext{relativeVolatility_})));
    }
    upperBand_ = du > 0 ? s : StoreFloat(Ext{s} - Ext{du} * decay);
    lowerBand_ = dl < 0 ? s : StoreFloat(Ext{s} - Ext{dl} * decay);
    if (warmupCount_ < kWarmupDone) {
      jmaValue_ = x;
      if (warmupCount_ == kFillBars) {
        ema_ = x;
        increment_ = SlopeEstimate(x);
      }
    }
  }

  // The sorted history of the averaged volatilities: slots that are not yet
  // filled hold sentinels, the middle of the order is the trimmed mean.
  float UpdateHistory(float v) {
    int32_t removeSlot;
    const bool filling = sampleCount_ <= kHistory;
    float& stored = averageRing_[averageSlot_];
    if (filling) {
      stored = v;
      if (fillLow_ + fillHigh_ > kHistory) {
        removeSlot = --fillLow_;
      } else {
        removeSlot = ++fillHigh_;
      }
      windowHigh_ = std::min(fillHigh_, 96);
      windowLow_ = std::max(fillLow_, 32);
    } else {
      const float o = stored;  // stored 127 samples ago
      stored = v;
      // The search for o: up while the slot's value is smaller, down while
      // it is larger, stopping at an equal one; six halving steps at most.
      // Written without branches, as their outcome cannot be foreseen.
      int32_t slot = 64;
      bool found = false;
      for (int32_t step = 32; step >= 1; step /= 2) {
        const float a = sortedAverages_[slot];
        const int32_t move = (int32_t{a < o} - int32_t{a > o}) * step;
        slot += found ? 0 : move;
        found |= !(a < o) && !(a > o);
      }
      removeSlot = slot;
    }

    // The slot for v: up while the slot's value is smaller, down while the
    // one below it is larger too, else stop. The last slot is reached only
    // on the last step; past its value, v goes past the end.
    int32_t insertSlot = 64;
    bool placed = false;
    for (int32_t step = 32; step >= 1; step /= 2) {
      const bool atOrAbove = sortedAverages_[insertSlot] >= v;
      const bool belowAbove = sortedAverages_[insertSlot - 1] > v;
      const int32_t move = atOrAbove ? (belowAbove ? -step : 0) : step;
      insertSlot += placed ? 0 : move;
      placed |= atOrAbove && !belowAbove;
    }
    if (insertSlot == kSortedSlots - 1 && v > sortedAverages_[kSortedSlots - 1])
      insertSlot = kSortedSlots;  // past the end

    if (!filling) SlideWindowSum(removeSlot, insertSlot, v);

    const int32_t r = removeSlot;
    const int32_t i = insertSlot;
    if (r == i) {
      sortedAverages_[i] = v;
    } else if (r < i) {
      std::copy(sortedAverages_ + r + 1, sortedAverages_ + i, sortedAverages_ + r);
      sortedAverages_[i - 1] = v;
    } else {
      std::copy_backward(sortedAverages_ + i, sortedAverages_ + r, sortedAverages_ + r + 1);
      sortedAverages_[i] = v;
    }

    if (filling) {
      windowSum_ = 0;
      for (int32_t j = windowLow_; j <= windowHigh_; ++j)
        windowSum_ = StoreFloat(Ext{windowSum_} + sortedAverages_[j]);
    }
    return StoreFloat(Ext{windowSum_} / (windowHigh_ - windowLow_ + 1));
  }

  // Once the history is full the window keeps its slots: the sum takes in
  // the value that enters it and gives up the one that leaves, judged on the
  // array before the move.
  void SlideWindowSum(int32_t r, int32_t i, float v) {
    const int32_t wl = windowLow_;
    const int32_t wh = windowHigh_;
    const float* a = sortedAverages_;
    auto add = [&](float value) { windowSum_ = StoreFloat(Ext{windowSum_} + value); };
    auto subtract = [&](float value) { windowSum_ = StoreFloat(Ext{windowSum_} - value); };
    if (r >= i) {
      if (wh + 1 > i && wl - 1 < i) {
        add(v);
      } else if (wl > i && wl - 1 < r) {
        add(a[wl - 1]);
      }
    } else if (wl >= i) {
      if (wh + 1 < i && wh + 1 > r) add(a[wh + 1]);
    } else if (wh + 2 > i) {
      add(v);
    } else if (wh + 1 < i && wh + 1 > r) {
      add(a[wh + 1]);
    }
    if (r > i) {
      if (wl - 1 < r && wh + 1 > r) {
        subtract(a[r]);
      } else if (wh < r && wh + 1 > i) {
        subtract(a[wh]);
      }
    } else if (wh + 1 > r && wl - 1 < r) {
      subtract(a[r]);
    } else if (wl > r && wl < i) {
      subtract(a[wl]);
    }
  }

  // The filter's first increment: the price's slope over about bandLength
  // buffered bars, interpolated between the two whole lengths around it.
  float SlopeEstimate(float x) const {
    const int32_t n = bufferCount_;
    const Ext band = p_.bandLength;
    const int32_t hi = band >= 1 ? RoundToInt32(ceill(band)) : 1;
    const int32_t lo = band >= 1 ? RoundToInt32(floorl(band)) : 1;
    const float w = hi == lo ? 1.0f : StoreFloat((band - lo) / (hi - lo));
    const float atLo = priceBuffer_[n - std::min(lo, 29)];
    const float atHi = priceBuffer_[n - std::min(hi, 29)];
    return StoreFloat((Ext{x} - atLo) * (1 - Ext{w}) / lo + (Ext{x} - atHi) * w / hi);
  }

  void Filter(float x) {
    const Ext beta = p_.smoothingBeta;
    const float p = relativeVolatility_ == 1 ? p_.smoothingBeta
                    : relativeVolatility_ == p_.logFactor
                        ? capP_
                        : StoreFloat(betaPower_(relativeVolatility_));
    ema_ = StoreFloat((1 - Ext{p}) * x + Ext{p} * ema_);
    correction_ = StoreFloat((Ext{x} - ema_) * (1 - beta) + beta * correction_);
    const float e = StoreFloat(Ext{p_.phaseFactor} * correction_ + ema_);
    const float m = StoreFloat(Ext{p} * -2);
    const float q = StoreFloat(Ext{p} * p);
    const float f = StoreFloat(Ext{m} + q + 1);
    increment_ = StoreFloat((Ext{e} - jmaValue_) * f + Ext{q} * increment_);
    jmaValue_ = StoreFloat(Ext{jmaValue_} + increment_);
  }

  const JmaParameters p_;
  const FixedBasePower decayPower_;  // bandDecay^y
  const FixedBasePower betaPower_;   // smoothingBeta^y
  // The capped case: ratios whose power is logFactor once stored and
  // capped, and the two powers of relativeVolatility = logFactor.
  Ext capLow_ = std::numeric_limits<Ext>::infinity();
  Ext capHigh_ = 0;
  float capDecay_ = 0;
  float capP_ = 0;
  float priceBuffer_[kBufferSlots + 1] = {};
  int32_t bufferCount_ = 0;
  float volatilityRing_[kRingSlots + 1] = {};
  int32_t volatilitySlot_ = 0;
  float volatilitySum_ = 0;
  int32_t sampleCount_ = 0;
  float averageRing_[kHistory + 1] = {};
  int32_t averageSlot_ = 0;
  float sortedAverages_[kSortedSlots];
  int32_t fillLow_ = 64;
  int32_t fillHigh_ = 63;
  int32_t windowLow_ = 0;
  int32_t windowHigh_ = 0;
  float windowSum_ = 0;
  float upperBand_ = 0;
  float lowerBand_ = 0;
  int32_t warmupCount_ = 0;
  float relativeVolatility_ = 0;
  bool firstPass_ = true;
  float ema_ = 0;
  float correction_ = 0;
  float increment_ = 0;
  float jmaValue_ = 0;
};

}  // namespace

constinit const FunctionTable kJmaTable{
    "JMA",
    "JMA",
    kArguments,
    kHelpLines,
    /*emptyLineAfterHelp=*/true,
    /*codePageOnly=*/true,
};

JmaParameters DeriveJmaParameters(int32_t length, int32_t phase) {
  JmaParameters p{};
  p.length = length;
  p.halfLength = length <= 1 ? 1e-10f : StoreFloat((Ext{1} * length - 1) / 2);
  p.phaseFactor = phase < -100  ? 0.5f
                  : phase > 100 ? 2.5f
                                : StoreFloat(Ext{1} * phase / 100 + 1.5L);
  const Ext root = sqrtl(Ext{p.halfLength});
  const float lnRoot = StoreFloat(logl(root));
  p.logFactor = std::max(StoreFloat(lnRoot / kLn2 + 2), 0.0f);
  p.bandExponent = std::max(StoreFloat(Ext{p.logFactor} - 2), 0.5f);
  p.bandLength = StoreFloat(root * p.logFactor);
  p.bandDecay = StoreFloat(Ext{p.bandLength} / (Ext{p.bandLength} + 1));
  const float h = StoreFloat(0.9L * p.halfLength);
  p.smoothingBeta = StoreFloat(Ext{h} / (Ext{h} + 2));
  return p;
}

BarRange ComputeJma(const HostSeries& close, const HostSeries& price, float length, float phase,
                    float* out) {
  BarRange range = CommonRange(close, price);
  range.last = std::max(range.first, range.last);
  const JmaParameters parameters = DeriveJmaParameters(RoundToInt32(length), RoundToInt32(phase));
  if (range.first < 0) RaiseFault(kRangeCheckError);

  JmaState state(parameters);
  const float* in = price.values;
  // Bars up to 65499 are inside the host's arrays; a last index beyond it
  // fails after them, as a checked index would on bar 65500.
  const int32_t last = std::min(range.last, kMaxIndex);
  for (int32_t b = range.first; b <= last; ++b) out[b] = state.Bar(in[b]);
  if (range.last > kMaxIndex) RaiseFault(kRangeCheckError);

  const int32_t l = parameters.length;
  const int32_t first = l < 5 ? CheckedAdd(range.first, kFillBars)
                              : CheckedAdd(CheckedAdd(range.first, l), int32_t{25});
  return {first, range.last};
}

void LoadJma() { RegisterFunction<kJmaTable>(); }

}  // namespace msx

using namespace msx;

MSX_EXPORT int32_t MSX_CALL JMA(const HostDataRecord* data, const HostSeriesArgs* series,
                                const HostNumericArgs* numeric, const HostStringArgs* strings,
                                const HostCustomArgs* custom, ResultRec* result) {
  if (!AcceptsCall(kJmaTable, data, series, numeric, strings, custom, result)) return -1;
  return AnswerOffered(kJmaTable, GuardedCall(result, ErrorPolicy::kFaultMessage, [&] {
                         return ComputeJma(data->close, *series->items[0], numeric->items[0],
                                           numeric->items[1], result->result->values);
                       }));
}
