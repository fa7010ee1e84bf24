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
#include <functional>
#include <limits>

#include "common/HostCall.h"
#include "indicators/ExtendedMath.h"
#include "indicators/FastFloat.h"
#include "indicators/JmaHistory.h"

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

constexpr int32_t kBufferSlots = 61;  // priceBuffer: the first 61 prices
constexpr int32_t kFillBars = 30;     // bars that only fill the buffer
// The first full pass replays the buffered prices after the first.
constexpr int32_t kReplaySamples = kFillBars - 1;
constexpr int32_t kRingSlots = 10;  // volatilityRing
constexpr int32_t kWarmupDone = kFillBars + 1;
constexpr Ext kVolatilityFloor = 1e-10L;
constexpr int32_t kPhaseLimit = 100;  // Phase beyond +-100 counts as +-100
// The first valid bar: kFillBars on, or for lengths from kShortLength on,
// the length and kValidAfterLength.
constexpr int32_t kShortLength = 5;
constexpr int32_t kValidAfterLength = 25;

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
      replayCount = varies ? kReplaySamples : 0;
      upperBand_ = lowerBand_ = start;
    }
    for (int32_t k = replayCount; k >= 0; --k)
      Sample(k >= 1 ? priceBuffer_[kFillBars + 1 - k] : x, x);
    if (warmupCount_ == kWarmupDone) Filter(x);
    return jmaValue_;
  }

  // Once the buffer, the warm-up and the history are full, every bar takes
  // the same steps, and SteadyBar takes them without asking.
  bool Steady() const {
    return bufferCount_ == kBufferSlots && warmupCount_ == kWarmupDone &&
           sampleCount_ == kJmaSortedSlots;
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
    const float upperDistance = Magnitude(du);
    const float lowerDistance = Magnitude(dl);
    const float bandDistance = upperDistance > lowerDistance ? upperDistance : lowerDistance;
    // From 2^-8 on, the floor is below a quarter of the distance's last
    // place and the sum rounds back to the distance.
    const float sampleVolatility = shortcuts_ && bandDistance >= 0x1p-8f
                                       ? bandDistance
                                       : StoreFloat(bandDistance + kVolatilityFloor);

    volatilitySlot_ = volatilitySlot_ <= 1 ? kRingSlots : volatilitySlot_ - 1;
    if (!kSteady && sampleCount_ < kJmaSortedSlots) ++sampleCount_;

    float& oldest = volatilityRing_[volatilitySlot_];
    const double added = double{volatilitySum_} + sampleVolatility;
    const double sum = added - oldest;
    volatilitySum_ = Store(sum, (Magnitude(added) + Magnitude(sum)) * kTermMargin,
                           [&] { return Ext{volatilitySum_} + sampleVolatility - oldest; });
    oldest = sampleVolatility;
    const float averageVolatility =
        Once(volatilitySum_,
             static_cast<float>(kSteady ? kRingSlots : std::min(sampleCount_, kRingSlots)),
             std::divides<>());
    const float referenceVolatility =
        history_.Add(averageVolatility, !kSteady && sampleCount_ <= kJmaHistory);

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

  // The filter's first increment: the price's slope over about bandLength
  // buffered bars, interpolated between the two whole lengths around it.
  float SlopeEstimate(float x) const {
    const int32_t n = bufferCount_;
    const Ext band = p_.bandLength;
    const int32_t hi = band >= 1 ? RoundToInt32(ceill(band)) : 1;
    const int32_t lo = band >= 1 ? RoundToInt32(floorl(band)) : 1;
    const float w = hi == lo ? 1.0f : StoreFloat((band - lo) / (hi - lo));
    const float atLo = priceBuffer_[n - std::min(lo, kReplaySamples)];
    const float atHi = priceBuffer_[n - std::min(hi, kReplaySamples)];
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
               : Store(ema, (Magnitude(following) + Magnitude(ema)) * kTermMargin, exactEma);
    const double gap = (double{x} - ema_) * (1 - double{p_.smoothingBeta});
    const double correction = gap + double{p_.smoothingBeta} * correction_;
    auto exactCorrection = [&] { return (Ext{x} - ema_) * (1 - beta) + beta * correction_; };
    correction_ = p_.smoothingBeta >= 0x1p-6f && exactDifference(x, ema_)
                      ? RoundedOnce(correction, exactCorrection)
                      : Store(correction, (Magnitude(gap) + Magnitude(correction)) * kTermMargin,
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
                        : Store(weight, (Magnitude(mq) + Magnitude(weight)) * kTermMargin,
                                [&] { return Ext{m} + q + 1; });
    const double step = (double{e} - jmaValue_) * f;
    const double increment = step + double{q} * increment_;
    auto exactIncrement = [&] { return (Ext{e} - jmaValue_) * f + Ext{q} * increment_; };
    increment_ = exactDifference(e, jmaValue_)
                     ? RoundedOnce(increment, exactIncrement)
                     : Store(increment, (Magnitude(step) + Magnitude(increment)) * kTermMargin,
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
    if (!shortcuts_ || !(Magnitude(z) <= 1000)) return StoreFloat(exact());
    const double power = FastExp2(z);
    return StoreNear(power, power * powerMargin_, exact);
  }
  template <class Op>
  float Once(float a, float b, Op op) const {
    return StoreOnceIf<shortcuts_>(a, b, op);
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
  JmaVolatilityHistory<shortcuts_> history_;
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
    {kTableCounts, ErrorPolicy::kFaultMessage, /*clearsErrorText=*/false,
     WhenNotOffered::kAnswersFailure},
};

JmaParameters DeriveJmaParameters(int32_t length, int32_t phase) {
  JmaParameters p{};
  p.length = length;
  p.halfLength = length <= 1 ? 1e-10f : StoreFloat((Ext{1} * length - 1) / 2);
  p.phaseFactor = phase < -kPhaseLimit  ? 0.5f
                  : phase > kPhaseLimit ? 2.5f
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

  const float* in = price.values;
  const HostBars bars(range.first, range.last);
  auto run = [&](auto&& state) {
    int32_t b = range.first;
    for (; b <= bars.stop && !state.Steady(); ++b) out[b] = state.Bar(in[b]);
    for (; b <= bars.stop; ++b) out[b] = state.SteadyBar(in[b]);
  };
  if (arithmetic == JmaArithmetic::kShortcuts) {
    run(JmaState<JmaArithmetic::kShortcuts>(parameters));
  } else {
    run(JmaState<JmaArithmetic::kExtendedOnly>(parameters));
  }
  bars.End();

  const int32_t l = parameters.length;
  const int32_t first = l < kShortLength
                            ? CheckedAdd(range.first, kFillBars)
                            : CheckedAdd(CheckedAdd(range.first, l), kValidAfterLength);
  return {first, range.last};
}

}  // namespace msx

using namespace msx;

MSX_EXPORT int32_t MSX_CALL JMA(const HostDataRecord* data, const HostSeriesArgs* series,
                                const HostNumericArgs* numeric, const HostStringArgs* strings,
                                const HostCustomArgs* custom, ResultRec* result) {
  return CallFunction(
      kJmaTable, {data, series, numeric, strings, custom, result}, [](const HostCall& c) {
        return ComputeJma(c.Data().close, c.Series(0), c.Numeric(0), c.Numeric(1), c.Out());
      });
}
