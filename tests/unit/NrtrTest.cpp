// NRTR: worked cases, the valid range and the fault paths, through the
// computation and through the exported function.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "Exports.h"
#include "TestChart.h"
#include "host/Export.h"
#include "indicators/MSX_QMR_NRTR.h"

namespace msx {
namespace {

// One chart with Close, a constant Koefficient and High/Low ranges, calling
// NRTR as the host does.
struct NrtrChart : TestChart {
  NrtrChart(const std::vector<float>& closes, float percent) : TestChart(closes) {
    AddClose();
    AddConstant(percent, 0, data.close.last);
  }
  HostSeries& K() { return Arg(1); }
  int32_t Call() { return TestChart::Call(NRTR); }
};

TEST(Nrtr, ConstantPriceStaysUndecidedAboveThePrice) {
  NrtrChart c(std::vector<float>(10, 100.0f), 2.0f);
  ASSERT_EQ(c.Call(), 0);
  EXPECT_EQ(c.result.first, 1);
  EXPECT_EQ(c.result.last, 9);
  EXPECT_EQ(c.R(0), kPoison);  // bar 0 is before the result range
  for (int i = 1; i <= 9; ++i) EXPECT_EQ(c.R(i), 102.0f) << i;
}

TEST(Nrtr, PhasesTurnWhereThePriceCrossesTheLine) {
  //            bar 0   1      2       3     4      5
  NrtrChart c({50, 80, 100, 89, 95, 98}, 10.0f);
  ASSERT_EQ(c.Call(), 0);
  EXPECT_EQ(c.R(1), 88.0f);  // undecided: 80 x 1.1
  EXPECT_EQ(c.R(2), 90.0f);  // 100 > 88 turns up: 100 x 0.9
  EXPECT_EQ(c.R(3), 97.9f);  // 89 <= 90 turns down on the same bar: 89 x 1.1
  EXPECT_EQ(c.R(4), 97.9f);  // 95 stays below the line
  EXPECT_EQ(c.R(5), 88.2f);  // 98 > 97.9 turns up: 98 x 0.9
  EXPECT_EQ(c.result.first, 1);
  EXPECT_EQ(c.result.last, 5);
}

TEST(Nrtr, ASteadyRiseTurnsUpAndTrailsTheLatestPrice) {
  std::vector<float> prices;
  for (int i = 0; i < 12; ++i) prices.push_back(static_cast<float>(100 + 10 * i));
  NrtrChart c(prices, 5.0f);
  ASSERT_EQ(c.Call(), 0);
  EXPECT_EQ(c.R(1), 115.5f);  // undecided on the first bar: 110 x 1.05
  for (int i = 2; i < 12; ++i)
    EXPECT_EQ(c.R(i), static_cast<float>(prices[static_cast<size_t>(i)] * 0.95)) << i;
}

TEST(Nrtr, ADownPhaseTrailsTheLowestPrice) {
  NrtrChart c({100, 100, 80, 70, 75, 72}, 10.0f);
  ASSERT_EQ(c.Call(), 0);
  EXPECT_EQ(c.R(2), 88.0f);  // 80 <= 90: down at once, 80 x 1.1
  EXPECT_EQ(c.R(3), 77.0f);
  EXPECT_EQ(c.R(4), 77.0f);  // 75 is no new low
  EXPECT_EQ(c.R(5), 77.0f);
}

TEST(Nrtr, ASingleBarRangeGivesAnEmptyResult) {
  NrtrChart c({100, 42}, 2.0f);
  c.Arg(0).last = c.K().last = c.data.high.last = c.data.low.last = 0;
  ASSERT_EQ(c.Call(), 0);
  EXPECT_EQ(c.R(1), 0.0f);
  EXPECT_EQ(c.R(2), kPoison);
  EXPECT_EQ(c.result.first, 1);
  EXPECT_EQ(c.result.last, 0);
}

TEST(Nrtr, TheResultCoversTheCommonRangeOfAllFourSeries) {
  NrtrChart c(std::vector<float>(20, 50.0f), 2.0f);
  c.data.high = {&c.Close(0), 4, 15};
  c.data.low = {&c.Close(0), 2, 17};
  c.K().last = 16;
  ASSERT_EQ(c.Call(), 0);
  EXPECT_EQ(c.result.first, 5);
  EXPECT_EQ(c.result.last, 15);
  EXPECT_EQ(c.R(4), kPoison);
  EXPECT_EQ(c.R(16), kPoison);
}

TEST(Nrtr, ALastIndexBeyondTheArrayFailsAfterWritingUpTo65499) {
  NrtrChart c(std::vector<float>(kMaxBars, 10.0f), 2.0f);
  c.SetPriceRange(65490, 65500);
  c.K() = {c.K().values, 65490, 65500};
  ASSERT_EQ(c.Call(), -1);
  EXPECT_EQ(c.Error(), "ResultRec.szExtendedError");
  EXPECT_EQ(c.R(65499), 10.2f);
  EXPECT_EQ(c.result.first, -77);  // the range is not set
  EXPECT_EQ(c.result.last, -77);
}

TEST(Nrtr, NegativeOrTooLargeIndexesFailWithTheFixedText) {
  auto expectFault = [](NrtrChart& c) {
    EXPECT_EQ(c.Call(), -1);
    EXPECT_EQ(c.Error(), "ResultRec.szExtendedError");
    EXPECT_EQ(c.result.first, -77);
  };
  NrtrChart allNegative(std::vector<float>(8, 1.0f), 2.0f);
  allNegative.Arg(0).first = allNegative.K().first = -1;
  allNegative.data.high.first = allNegative.data.low.first = -3;
  expectFault(allNegative);
  NrtrChart noLast(std::vector<float>(8, 1.0f), 2.0f);
  noLast.data.low.last = -1;
  expectFault(noLast);
  NrtrChart startBeyond(std::vector<float>(8, 1.0f), 2.0f);
  startBeyond.data.high.first = 65499;  // the first result bar would be 65500
  expectFault(startBeyond);
}

TEST(Nrtr, NaNInputIsAFault) {
  NrtrChart c({10, 11, 12, 13}, 2.0f);
  c.Close(2) = std::numeric_limits<float>::quiet_NaN();
  EXPECT_EQ(c.Call(), -1);
  EXPECT_EQ(c.R(1), 11.22f);  // written before the fault, stays
  EXPECT_EQ(c.result.last, -77);
}

// The line written the plain way, every product formed anew on every bar:
// the module's reuse of factors and lines must not change a single bit.
std::vector<float> PlainNrtr(const std::vector<float>& p, const std::vector<float>& k) {
  std::vector<float> r(p.size(), kPoison);
  double h = p[1], l = p[1];
  int phase = 0;
  r[1] = 0;
  for (size_t i = 1; i < p.size(); ++i) {
    const double f = static_cast<double>(static_cast<long double>(k[i]) / 100);
    const double lower = static_cast<double>(1.0L - f), upper = static_cast<double>(1.0L + f);
    if (phase >= 0) {
      if (p[i] > h) h = p[i];
      r[i] = static_cast<float>(static_cast<long double>(h) * lower);
      if (p[i] <= r[i]) {
        phase = -1;
        l = p[i];
        r[i] = static_cast<float>(static_cast<long double>(l) * upper);
      }
    }
    if (phase <= 0) {
      if (p[i] < l) l = p[i];
      r[i] = static_cast<float>(static_cast<long double>(l) * upper);
      if (p[i] > r[i]) {
        phase = 1;
        h = p[i];
        r[i] = static_cast<float>(static_cast<long double>(h) * lower);
      }
    }
  }
  return r;
}

TEST(Nrtr, MatchesThePlainComputationBitForBitOnNoisyPrices) {
  std::vector<float> prices;
  std::vector<float> percents;
  uint32_t state = 12345;
  float price = 100.0f;
  for (int i = 0; i < 5000; ++i) {
    state = state * 1664525u + 1013904223u;
    // A symmetric walk on a 0.01 grid; the percentage changes in runs.
    price = std::max(
        1.0f,
        std::round((price + static_cast<float>(static_cast<int>(state >> 27) - 16) / 20) * 100) /
            100);
    prices.push_back(price);
    percents.push_back(0.5f + static_cast<float>((i / 37) % 9) * 0.75f);
  }
  NrtrChart c(prices, 0.0f);
  std::copy(percents.begin(), percents.end(), c.K().values);
  ASSERT_EQ(c.Call(), 0);
  const std::vector<float> plain = PlainNrtr(prices, percents);
  for (size_t i = 1; i < prices.size(); ++i) ASSERT_EQ(c.R(static_cast<int>(i)), plain[i]) << i;
}

#if defined(__i386__) || defined(__x86_64__)
uint16_t X87ControlWord() {
  uint16_t cw = 0;
  __asm__ volatile("fnstcw %0" : "=m"(cw));
  return cw;
}
void SetX87ControlWord(uint16_t cw) { __asm__ volatile("fldcw %0" : : "m"(cw)); }

// A host that runs the x87 unit at 53-bit precision with the invalid,
// division and overflow exceptions unmasked, as some Windows programs do.
TEST(Nrtr, RunsInItsOwnFloatEnvironmentWhateverTheHostSet) {
  constexpr uint16_t kHostControlWord = 0x0272;
  SetX87ControlWord(kHostControlWord);

  // 118.26 x 1.02 is 120.625206 formed in extended precision, 120.625198 in
  // double: a host's 53-bit setting must not reach the computation.
  NrtrChart precision({100, 118.26f, 118.26f}, 2.0f);
  const int32_t precise = precision.Call();
  const uint16_t afterSuccess = X87ControlWord();

  // A line beyond the float range: an overflow that an unmasked host would
  // turn into a trap is a plain fault.
  NrtrChart overflow({3e38f, 3e38f, 3e38f}, -100.0f);
  const int32_t failed = overflow.Call();
  const uint16_t afterFault = X87ControlWord();

  SetX87ControlWord(0x037F);
  ASSERT_EQ(precise, 0);
  EXPECT_EQ(precision.R(1), 120.625206f);
  EXPECT_EQ(failed, -1);
  EXPECT_EQ(overflow.Error(), "ResultRec.szExtendedError");
  EXPECT_EQ(afterSuccess, kHostControlWord);  // the host's setting comes back
  EXPECT_EQ(afterFault, kHostControlWord);
}
#endif

}  // namespace
}  // namespace msx
