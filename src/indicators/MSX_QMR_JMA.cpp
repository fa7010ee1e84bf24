// JMA: two envelopes chase the price and give a volatility sample per bar; a
// trimmed mean of the recent volatility history is the yardstick; the ratio
// of the two sets how fast a three-stage filter follows the price. Length
// sets the smoothing, Phase how far the filter leans ahead of its own
// smoothed value.
//
// Every named quantity is a float (or a 32-bit integer): each formula runs in
// extended precision and is rounded once, when its result is stored. Running
// sums are therefore rounded at every step, and the results depend on it.
// The bar loop takes the shortcuts of FastFloat.h to those very floats; the
// extended formulas stay beside them, for the rare case the shortcut cannot
// settle and for the check that both give the same results.
#include "indicators/MSX_QMR_JMA.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <functional>
#include <limits>

#include "common/ExtendedMath.h"
#include "common/FastFloat.h"
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

// memmove of n floats a slot up or down (to is from + 1 or from - 1),
// eight at a time. The library's memmove picks its way by the size, a
// choice the processor cannot foresee here. The far end's values are loaded
// before the first store, so that the overlapping last stores move them
// whole.
void MoveOneSlot(float* to, const float* from, int32_t n) {
#if defined(__SSE2__)
  if (n >= 8) {
    if (to < from) {
      const __m128 last0 = _mm_loadu_ps(from + n - 8);
      const __m128 last1 = _mm_loadu_ps(from + n - 4);
      for (int32_t k = 0; k < n - 8; k += 8) {
        const __m128 low = _mm_loadu_ps(from + k);
        const __m128 high = _mm_loadu_ps(from + k + 4);
        _mm_storeu_ps(to + k, low);
        _mm_storeu_ps(to + k + 4, high);
      }
      _mm_storeu_ps(to + n - 8, last0);
      _mm_storeu_ps(to + n - 4, last1);
    } else {
      const __m128 first0 = _mm_loadu_ps(from);
      const __m128 first1 = _mm_loadu_ps(from + 4);
      for (int32_t k = n - 8; k > 0; k -= 8) {
        const __m128 low = _mm_loadu_ps(from + k);
        const __m128 high = _mm_loadu_ps(from + k + 4);
        _mm_storeu_ps(to + k, low);
        _mm_storeu_ps(to + k + 4, high);
      }
      _mm_storeu_ps(to, first0);
      _mm_storeu_ps(to + 4, first1);
    }
    return;
  }
  if (n >= 4) {
    if (to < from) {
      const __m128 last = _mm_loadu_ps(from + n - 4);
      for (int32_t k = 0; k < n - 4; k += 4) _mm_storeu_ps(to + k, _mm_loadu_ps(from + k));
      _mm_storeu_ps(to + n - 4, last);
    } else {
      const __m128 first = _mm_loadu_ps(from);
      for (int32_t k = n - 4; k > 0; k -= 4) _mm_storeu_ps(to + k, _mm_loadu_ps(from + k));
      _mm_storeu_ps(to, first);
    }
    return;
  }
  // Up to three: each value read before its slot is written.
  if (to < from) {
    if (n > 0) to[0] = from[0];
    if (n > 1) to[1] = from[1];
    if (n > 2) to[2] = from[2];
  } else {
    if (n > 2) to[2] = from[2];
    if (n > 1) to[1] = from[1];
    if (n > 0) to[0] = from[0];
  }
#else
  std::memmove(to, from, sizeof(float) * static_cast<size_t>(n));
#endif
}

// The working state of one call, all of it inside the call's frame. Slot
// numbers are those of the arrays' definitions (1-based where they are).
template <JmaArithmetic kArithmetic>
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
      // The powers' shortcuts. Below fastCapLow_ a ratio's double is below
      // capLow_ for certain; the ratios and exponents met there keep the
      // powers' logarithms small. A power of exponent y then errs by
      // 0.7 (y 2^-41 + 2^-52 |log2|) + 2^-48 of its size at most, and
      // PowerExtended by 2^-60: the margin holds both for every exponent up
      // to logFactor (bandExponent, the root of logFactor and
      // relativeVolatility are all below it).
      if (p.bandDecay > 0 && p.bandDecay < 1 && p.smoothingBeta > 0x1p-100f &&
          p.smoothingBeta < 1) {
        fastCapLow_ = static_cast<double>(capLow_ * (1 - 0x1p-40L));
        log2Decay_ = FastLog2(p.bandDecay);
        log2Beta_ = FastLog2(p.smoothingBeta);
        powerMargin_ = (double{p.logFactor} + 1) * 0x1p-40;
      }
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

  // Once the buffer, the warm-up and the history are full, every bar takes
  // the same steps, and SteadyBar takes them without asking.
  bool Steady() const {
    return bufferCount_ == kBufferSlots && warmupCount_ == kWarmupDone &&
           sampleCount_ == kSortedSlots;
  }
  float SteadyBar(float x) {
    Sample<true>(x, x);
    Filter(x);
    return jmaValue_;
  }

 private:
  template <bool kSteady = false>
  void Sample(float s, float x) {
    const float du = Once(s, upperBand_, std::minus<>());
    const float dl = Once(s, lowerBand_, std::minus<>());
    const float upperDistance = std::fabs(du);
    const float lowerDistance = std::fabs(dl);
    const float bandDistance = upperDistance > lowerDistance ? upperDistance : lowerDistance;
    // From 2^-8 on, the floor is below a quarter of the distance's last
    // place and the sum rounds back to the distance.
    const float sampleVolatility = shortcuts_ && bandDistance >= 0x1p-8f
                                       ? bandDistance
                                       : StoreFloat(bandDistance + kVolatilityFloor);

    averageSlot_ = averageSlot_ <= 1 ? kHistory : averageSlot_ - 1;
    volatilitySlot_ = volatilitySlot_ <= 1 ? kRingSlots : volatilitySlot_ - 1;
    if (!kSteady && sampleCount_ < kSortedSlots) ++sampleCount_;

    float& oldest = volatilityRing_[volatilitySlot_];
    const double added = double{volatilitySum_} + sampleVolatility;
    const double sum = added - oldest;
    volatilitySum_ = Store(sum, (std::fabs(added) + std::fabs(sum)) * kTermMargin,
                           [&] { return Ext{volatilitySum_} + sampleVolatility - oldest; });
    oldest = sampleVolatility;
    const float averageVolatility =
        Once(volatilitySum_,
             static_cast<float>(kSteady ? kRingSlots : std::min(sampleCount_, kRingSlots)),
             std::divides<>());
    const float referenceVolatility = UpdateHistory<kSteady>(averageVolatility);

    if (!kSteady) warmupCount_ = std::min(warmupCount_ + 1, kWarmupDone);
    float decay = p_.bandDecay;
    if (kSteady || warmupCount_ == kWarmupDone) {
      // A yardstick of zero or below leaves the power without a real result.
      if (!(referenceVolatility > 0)) RaiseFault(kInvalidFloatOperation);
      relativeVolatility_ = RelativeVolatility(bandDistance, referenceVolatility);
      const float r = relativeVolatility_;
      decay = r == 1              ? p_.bandDecay
              : r == p_.logFactor ? capDecay_
                                  : Power(log2Decay_, std::sqrt(double{r}),
                                          [&] { return decayPower_(sqrtl(Ext{r})); });
    }
    // Both bands are formed, then chosen: whether the price left a band
    // cannot be foreseen.
    const float upperFollowing = Band(s, du, decay);
    const float lowerFollowing = Band(s, dl, decay);
    upperBand_ = du > 0 ? s : upperFollowing;
    lowerBand_ = dl < 0 ? s : lowerFollowing;
    if (!kSteady && warmupCount_ < kWarmupDone) {
      jmaValue_ = x;
      if (warmupCount_ == kFillBars) {
        ema_ = x;
        increment_ = SlopeEstimate(x);
      }
    }
  }

  // The ratio of the bar's band distance to the yardstick (positive) raised
  // to bandExponent, between 1 and logFactor.
  float RelativeVolatility(float bandDistance, float referenceVolatility) const {
    // The ratio is at most 1 exactly when the distance is at most the
    // yardstick: two floats apart differ by 2^-24 of their size at least.
    if (shortcuts_ && bandDistance <= referenceVolatility) return 1;
    const double fastRatio = double{bandDistance} / referenceVolatility;
    auto ratio = [&] { return Ext{bandDistance} / referenceVolatility; };
    float r = 1;
    if (shortcuts_ && fastRatio < fastCapLow_) {
      r = Power(FastLog2(fastRatio), p_.bandExponent,
                [&] { return PowerExtended(ratio(), p_.bandExponent); });
    } else if (ratio() >= capLow_ && ratio() < capHigh_) {
      r = p_.logFactor;
    } else if (!(ratio() <= 1)) {
      // Up to 1 the power stays at most 1 whatever the exponent, and the
      // floor of 1 applies: the power only when it can matter (a NaN goes
      // there and fails).
      r = StoreFloat(PowerExtended(ratio(), p_.bandExponent));
    }
    if (r > p_.logFactor) r = p_.logFactor;
    return r >= 1 ? r : 1;
  }

  // A band that follows the price back by decay of its distance.
  float Band(float s, float distance, float decay) const {
    const double band = double{s} - double{distance} * decay;  // the product is exact
    return RoundedOnce(band, [&] { return Ext{s} - Ext{distance} * decay; });
  }

  // The sorted history of the averaged volatilities: slots that are not yet
  // filled hold sentinels, the middle of the order is the trimmed mean.
  template <bool kSteady>
  float UpdateHistory(float v) {
    int32_t removeSlot;
    const bool filling = !kSteady && sampleCount_ <= kHistory;
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
      removeSlot = FindStored(o);
    }
    const int32_t insertSlot = FindInsertion(v);

    if (!filling) SlideWindowSum(removeSlot, insertSlot, v);

    // The values between the two slots move a slot towards the removed one,
    // and v takes the slot that frees up beside the insertion slot.
    const int32_t r = removeSlot;
    const int32_t i = insertSlot;
    const bool up = r < i;  // v goes above the removed value's slot
    const int32_t from = up ? r + 1 : i;
    const int32_t to = up ? r : i + 1;
    const int32_t count = up ? i - 1 - r : r - i;
    if constexpr (shortcuts_) {
      MoveOneSlot(sortedAverages_ + to, sortedAverages_ + from, count);
    } else {
      std::memmove(sortedAverages_ + to, sortedAverages_ + from,
                   sizeof(float) * static_cast<size_t>(count));
    }
    sortedAverages_[up ? i - 1 : i] = v;

    if (filling) {
      windowSum_ = 0;
      for (int32_t j = windowLow_; j <= windowHigh_; ++j)
        windowSum_ = Once(windowSum_, sortedAverages_[j], std::plus<>());
    }
    return Once(windowSum_, static_cast<float>(windowHigh_ - windowLow_ + 1), std::divides<>());
  }

  // The searches below stop where the values around the slot say; each
  // halving step needs two comparisons and the step before it. Slots 1 to
  // 127 are in order, so the values below x count the slots before the first
  // one not below x. Where that slot holds o alone, or v lies strictly
  // between it and the slot below, the searches stop there too (from every
  // other slot they move towards it); otherwise (equal values, or prices
  // beyond the sentinels that made o leave early) they run.
  int32_t FindStored(float o) const {
    if constexpr (shortcuts_) {
      const float* a = sortedAverages_;
      const int32_t k = CountBelow(o);
      if (k < kSortedSlots && a[k] == o && a[k - 1] < o && (k == kSortedSlots - 1 || a[k + 1] > o))
        return k;
    }
    return SearchStored(o);
  }

  int32_t FindInsertion(float v) const {
    if constexpr (shortcuts_) {
      const float* a = sortedAverages_;
      const int32_t k = CountBelow(v);
      if (a[k - 1] < v && (k == kSortedSlots || a[k] > v)) return k;
    }
    return SearchInsertion(v);
  }

  // How many slots hold a value below x (one at least). For x above 0 (the
  // 0 of slot 0) that is the first of slots 1 to 127, which are in order,
  // whose value is not below x, or 128. The last slots of the eight groups
  // of 16 that are below x tell the group where the count ends (all of the
  // groups before it lie below x); that group's slots are counted four at a
  // time. No step waits on more than one before it, as a search's would.
  int32_t CountBelow(float x) const {
    const float* a = sortedAverages_;
#if defined(__SSE2__)
    static constexpr int8_t kBits[16] = {0, 1, 1, 2, 1, 2, 2, 3, 1, 2, 2, 3, 2, 3, 3, 4};
    const __m128 bound = _mm_set1_ps(x);
    const int32_t groups =
        kBits[_mm_movemask_ps(_mm_cmplt_ps(_mm_set_ps(a[63], a[47], a[31], a[15]), bound))] +
        kBits[_mm_movemask_ps(_mm_cmplt_ps(_mm_set_ps(a[127], a[111], a[95], a[79]), bound))];
    const int32_t group = std::min(groups, 7);  // 8: every slot below, the last group's too
    const float* slots = a + 16 * group;
    __m128i below = _mm_setzero_si128();  // -1 in every lane below x, four times
#pragma GCC unroll 4
    for (int32_t k = 0; k < 16; k += 4)
      below = _mm_add_epi32(below, _mm_castps_si128(_mm_cmplt_ps(_mm_load_ps(slots + k), bound)));
    below = _mm_add_epi32(below, _mm_shuffle_epi32(below, _MM_SHUFFLE(1, 0, 3, 2)));
    below = _mm_add_epi32(below, _mm_shuffle_epi32(below, _MM_SHUFFLE(2, 3, 0, 1)));
    const int32_t inGroup = -_mm_cvtsi128_si32(below);
#else
    int32_t groups = 0;
    for (int32_t k = 15; k < kSortedSlots; k += 16) groups += a[k] < x;
    const float* slots = a + 16 * std::min(groups, 7);
    int32_t inGroup = 0;
    for (int32_t k = 0; k < 16; ++k) inGroup += slots[k] < x;
#endif
    return std::max(static_cast<int32_t>(slots - a) + inGroup, 1);
  }

  // The search for o: up while the slot's value is smaller, down while it
  // is larger, stopping at an equal one; six halving steps at most. Once
  // stopped, every later step meets the same value and stays. Written
  // without branches, as their outcome cannot be foreseen.
  int32_t SearchStored(float o) const {
    const float* at = sortedAverages_ + 64;
#pragma GCC unroll 6
    for (ptrdiff_t step = 32; step >= 1; step /= 2)
      at += (ptrdiff_t{*at < o} - ptrdiff_t{*at > o}) * step;
    return static_cast<int32_t>(at - sortedAverages_);
  }

  // The search for v's slot: up while the slot's value is smaller, down
  // while the one below it is larger too, else stop. The last slot is
  // reached only on the last step; past its value, v goes past the end.
  int32_t SearchInsertion(float v) const {
    const float* at = sortedAverages_ + 64;
#pragma GCC unroll 6
    for (ptrdiff_t step = 32; step >= 1; step /= 2) {
      const bool atOrAbove = at[0] >= v;
      const bool belowAbove = at[-1] > v;
      at += (ptrdiff_t{!atOrAbove} - ptrdiff_t{atOrAbove && belowAbove}) * step;
    }
    const int32_t slot = static_cast<int32_t>(at - sortedAverages_);
    return slot == kSortedSlots - 1 && v > sortedAverages_[kSortedSlots - 1] ? kSortedSlots : slot;
  }

  // Once the history is full the window keeps its slots: the sum takes in
  // the value that enters it and gives up the one that leaves, judged on the
  // array before the move. Slot 0 always holds 0, which stands for nothing
  // entering or leaving (the sum is never -0, so adding or taking 0 leaves
  // it as it is). Indexes and selections instead of branches, as the slots
  // cannot be foreseen.
  void SlideWindowSum(int32_t r, int32_t i, float v) {
    const int32_t wl = windowLow_;
    const int32_t wh = windowHigh_;
    const float* a = sortedAverages_;
    const bool down = r >= i;  // the values between move up a slot
    const bool entersAsItself = down ? wh + 1 > i && wl - 1 < i : wl < i && wh + 2 > i;
    const bool entersFromBelow = down && wl > i && wl - 1 < r;
    const bool entersFromAbove = !down && wh + 1 < i && wh + 1 > r;
    const int32_t enteringSlot = entersFromBelow ? wl - 1 : entersFromAbove ? wh + 1 : 0;
    const float entering = entersAsItself ? v : a[enteringSlot];

    const bool leavesItself = wl - 1 < r && wh + 1 > r;
    const bool leavesAtTop = r > i && wh < r && wh + 1 > i;
    const bool leavesAtBottom = r <= i && wl > r && wl < i;
    const int32_t leavingSlot = leavesItself ? r : leavesAtTop ? wh : leavesAtBottom ? wl : 0;

    windowSum_ = Once(Once(windowSum_, entering, std::plus<>()), a[leavingSlot], std::minus<>());
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

  [[gnu::always_inline]] void Filter(float x) {
    const Ext beta = p_.smoothingBeta;
    const float r = relativeVolatility_;
    const float p = r == 1              ? p_.smoothingBeta
                    : r == p_.logFactor ? capP_
                                        : Power(log2Beta_, r, [&] { return betaPower_(r); });
    // In double precision a product of two floats is exact, and so is one
    // of a float and 1 - w for a float w from 2^-6 to 1 (29 bits at most).
    // A difference of two floats is exact when it is a float itself. Where
    // every product is exact the formula is rounded once; elsewhere the
    // margins count the terms that are rounded.
    auto exactDifference = [](float a, float b) { return double{a - b} == double{a} - b; };
    const double following = (1 - double{p}) * x;
    const double ema = following + double{p} * ema_;
    auto exactEma = [&] { return (1 - Ext{p}) * x + Ext{p} * ema_; };
    ema_ = p >= 0x1p-6f
               ? RoundedOnce(ema, exactEma)
               : Store(ema, (std::fabs(following) + std::fabs(ema)) * kTermMargin, exactEma);
    const double gap = (double{x} - ema_) * (1 - double{p_.smoothingBeta});
    const double correction = gap + double{p_.smoothingBeta} * correction_;
    auto exactCorrection = [&] { return (Ext{x} - ema_) * (1 - beta) + beta * correction_; };
    correction_ = p_.smoothingBeta >= 0x1p-6f && exactDifference(x, ema_)
                      ? RoundedOnce(correction, exactCorrection)
                      : Store(correction, (std::fabs(gap) + std::fabs(correction)) * kTermMargin,
                              exactCorrection);
    const double lead = double{p_.phaseFactor} * correction_ + ema_;
    const float e = RoundedOnce(lead, [&] { return Ext{p_.phaseFactor} * correction_ + ema_; });
    // p lies in (0, 1]: its double and its square are finite floats.
    const float m = shortcuts_ ? -2.0f * p : Once(p, -2.0f, std::multiplies<>());
    const float q = shortcuts_ ? p * p : Once(p, p, std::multiplies<>());
    const double mq = double{m} + q;
    const double weight = mq + 1;
    // From p = 2^-13 on, both sums are exact (53 bits hold them from 2 down
    // to q's last place), in double as in extended precision.
    const float f = shortcuts_ && p >= 0x1p-13f
                        ? static_cast<float>(weight)
                        : Store(weight, (std::fabs(mq) + std::fabs(weight)) * kTermMargin,
                                [&] { return Ext{m} + q + 1; });
    const double step = (double{e} - jmaValue_) * f;
    const double increment = step + double{q} * increment_;
    auto exactIncrement = [&] { return (Ext{e} - jmaValue_) * f + Ext{q} * increment_; };
    increment_ = exactDifference(e, jmaValue_)
                     ? RoundedOnce(increment, exactIncrement)
                     : Store(increment, (std::fabs(step) + std::fabs(increment)) * kTermMargin,
                             exactIncrement);
    jmaValue_ = Once(jmaValue_, increment_, std::plus<>());
  }

  // A formula's stored float: by its shortcut, or from the extended formula
  // alone.
  template <class Exact>
  float Store(double value, double margin, Exact exact) const {
    if constexpr (shortcuts_) return StoreNear(value, margin, exact);
    return StoreFloat(exact());
  }
  template <class Exact>
  float RoundedOnce(double value, Exact exact) const {
    if constexpr (shortcuts_) return StoreRoundedOnce(value, exact);
    return StoreFloat(exact());
  }
  // 2^(y log2Base), the power of a base whose logarithm is given.
  template <class Exact>
  float Power(double log2Base, double y, Exact exact) const {
    const double z = y * log2Base;
    if (!shortcuts_ || !(std::fabs(z) <= 1000)) return StoreFloat(exact());
    const double power = FastExp2(z);
    return StoreNear(power, power * powerMargin_, exact);
  }
  template <class Op>
  float Once(float a, float b, Op op) const {
    if constexpr (shortcuts_) return StoreOnce(a, b, op);
    return StoreFloat(op(Ext{a}, Ext{b}));
  }

  const JmaParameters p_;
  static constexpr bool shortcuts_ = kArithmetic == JmaArithmetic::kShortcuts;
  const FixedBasePower decayPower_;  // bandDecay^y
  const FixedBasePower betaPower_;   // smoothingBeta^y
  // The capped case: ratios whose power is logFactor once stored and
  // capped, and the two powers of relativeVolatility = logFactor.
  Ext capLow_ = std::numeric_limits<Ext>::infinity();
  Ext capHigh_ = 0;
  double fastCapLow_ = -1;  // no shortcut to the powers without
  double log2Decay_ = 0;
  double log2Beta_ = 0;
  double powerMargin_ = std::numeric_limits<double>::infinity();
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
  alignas(16) float sortedAverages_[kSortedSlots];
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
                    float* out, JmaArithmetic arithmetic) {
  BarRange range = CommonRange(close, price);
  range.last = std::max(range.first, range.last);
  const JmaParameters parameters = DeriveJmaParameters(RoundToInt32(length), RoundToInt32(phase));
  if (range.first < 0) RaiseFault(kRangeCheckError);

  // Bars up to 65499 are inside the host's arrays; a last index beyond it
  // fails after them, as a checked index would on bar 65500.
  const float* in = price.values;
  const int32_t last = std::min(range.last, kMaxIndex);
  auto run = [&](auto&& state) {
    int32_t b = range.first;
    for (; b <= last && !state.Steady(); ++b) out[b] = state.Bar(in[b]);
    for (; b <= last; ++b) out[b] = state.SteadyBar(in[b]);
  };
  if (arithmetic == JmaArithmetic::kShortcuts) {
    run(JmaState<JmaArithmetic::kShortcuts>(parameters));
  } else {
    run(JmaState<JmaArithmetic::kExtendedOnly>(parameters));
  }
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
