// CER: the worked cases, the start and range rules, the fault paths, and the
// two-pass computation checked against the plain one-pass algorithm.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "DirtyWorkMemory.h"
#include "Exports.h"
#include "TestChart.h"
#include "host/Export.h"
#include "indicators/MSX_QMR_CER.h"

namespace msx {
namespace {

constexpr const char* kFixed = "ResultRec.szExtendedError";
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

struct CerChart : TestChart {
  CerChart(const std::vector<float>& closes, float length) : TestChart(closes) {
    AddClose();
    AddNumber(length);
  }
  int32_t Call() { return TestChart::Call(CER); }
};

TEST(Cer, APeakTwoPercentAboveTheCentreAveragesIn) {
  // n = 3: the output starts at bar 5 with the centre (100 + 100) / 2. Bar 5
  // (102) is a peak, seen on bar 6 where the centre is
  // ((100 + 102) / 2 + 99) / 2 = 100: 2 % above it.
  CerChart c({100, 100, 100, 100, 100, 102, 99, 98, 97}, 3);
  DirtyWorkMemory();  // the windows before bar 5 read zeros all the same
  ASSERT_EQ(c.Call(), 0);
  EXPECT_EQ(c.result.first, 5);
  EXPECT_EQ(c.result.last, 8);
  EXPECT_EQ(c.R(4), kPoison);
  EXPECT_EQ(c.R(5), 0.0f);
  EXPECT_EQ(c.R(6), 2.0f / 3);
  EXPECT_EQ(c.R(7), 4.0f / 3);
  EXPECT_EQ(c.R(8), 2.0f);
}

TEST(Cer, NoExtremesOrNoLengthGiveZeros) {
  std::vector<float> rising;
  for (int i = 0; i < 40; ++i) rising.push_back(10.0f + static_cast<float>(i) * 0.5f);
  CerChart monotonic(rising, 4);
  ASSERT_EQ(monotonic.Call(), 0);
  EXPECT_EQ(monotonic.result.first, 6);
  for (int32_t i = 6; i < 40; ++i) EXPECT_EQ(monotonic.R(i), 0.0f) << i;

  CerChart zeroLength(RandomWalk(40, 3, 80, 1.6f), 0.4f);  // rounds to 0
  ASSERT_EQ(zeroLength.Call(), 0);
  EXPECT_EQ(zeroLength.result.first, 2);
  for (int32_t i = 2; i < 40; ++i) EXPECT_EQ(zeroLength.R(i), 0.0f) << i;
}

TEST(Cer, TheChartsCloseSeriesPlacesTheResult) {
  // The series argument's own range is not read: the chart's close decides.
  CerChart c(RandomWalk(60, 5, 80, 1.6f), 4);
  c.SetRange(10, 50);
  c.series.items[0]->first = 30;
  ASSERT_EQ(c.Call(), 0);
  EXPECT_EQ(c.result.first, 16);
  EXPECT_EQ(c.result.last, 50);

  CerChart shortChart(RandomWalk(8, 5, 80, 1.6f), 10);  // the start 12 lies after the last bar 7
  ASSERT_EQ(shortChart.Call(), 0);
  EXPECT_EQ(shortChart.result.first, 12);
  EXPECT_EQ(shortChart.result.last, 7);
  EXPECT_TRUE(shortChart.Written().empty());
}

TEST(Cer, LengthsRoundHalvesToTheEvenNeighbour) {
  const std::vector<float> prices = RandomWalk(200, 8, 80, 1.6f);
  auto run = [&](float length) {
    CerChart c(prices, length);
    EXPECT_EQ(c.Call(), 0);
    return c.Written();
  };
  auto values = [&](float length) {
    CerChart c(prices, length);
    EXPECT_EQ(c.Call(), 0);
    std::vector<float> r;
    for (int32_t i : c.Written()) r.push_back(c.R(i));
    return r;
  };
  EXPECT_EQ(run(2.5f), run(2));
  EXPECT_EQ(values(2.5f), values(2));
  EXPECT_EQ(values(3.5f), values(4));
}

TEST(Cer, FaultsGiveTheFixedText) {
  auto expectFault = [](CerChart&& c, const char* what) {
    EXPECT_EQ(c.Call(), -1) << what;
    EXPECT_EQ(c.Error(), kFixed) << what;
    EXPECT_EQ(c.result.first, -77) << what;
    EXPECT_TRUE(c.GuardsIntact()) << what;
  };
  // A peak at bar 1 seen on bar 2, where the centre is ((-1 + 1) / 2 + 0) / 2 = 0.
  expectFault(CerChart({-1, 1, 0, 0}, 0), "centre 0 at a peak");
  expectFault(CerChart(RandomWalk(30, 1, 80, 1.6f), kNaN), "NaN length");
  expectFault(CerChart(RandomWalk(30, 1, 80, 1.6f), 3e9f), "length beyond 32 bits");
  expectFault(CerChart(RandomWalk(30, 1, 80, 1.6f), -5), "negative start");
  CerChart negativeLength(RandomWalk(30, 1, 80, 1.6f), -1);  // start 1: the centre reads bar -1
  expectFault(std::move(negativeLength), "negative length");
  CerChart beyond(RandomWalk(30, 1, 80, 1.6f), 2);
  beyond.SetRange(65490, 65500);
  expectFault(std::move(beyond), "last index beyond the arrays");
}

TEST(Cer, AFaultOnABarKeepsTheBarsBefore) {
  const std::vector<float> prices = RandomWalk(3000, 11, 80, 1.6f);
  CerChart clean(prices, 10);
  ASSERT_EQ(clean.Call(), 0);
  CerChart broken(prices, 10);
  broken.Close(2000) = kNaN;
  EXPECT_EQ(broken.Call(), -1);
  for (int32_t i = 12; i < 2000; ++i) ASSERT_EQ(broken.R(i), clean.R(i)) << i;
  EXPECT_EQ(broken.R(2000), kPoison);
  EXPECT_EQ(broken.R(2001), kPoison);
}

// The algorithm in one pass, each average summed term by term as written.
std::vector<float> PlainCer(const std::vector<float>& p, int32_t n) {
  std::vector<float> w(p.size(), 0.0f), r(p.size(), kPoison);
  const auto s = static_cast<size_t>(n + 2);
  double mid = static_cast<double>((static_cast<long double>(p[s - 1]) + p[s - 2]) / 2);
  double up = 0, down = 0;
  for (size_t i = s; i < p.size(); ++i) {
    mid = static_cast<double>((static_cast<long double>(mid) + p[i]) / 2);
    if (p[i - 2] < p[i - 1] && p[i] < p[i - 1])
      up = static_cast<double>((static_cast<long double>(p[i - 1]) - mid) * 100 / mid);
    if (p[i - 2] > p[i - 1] && p[i] > p[i - 1])
      down = static_cast<double>((static_cast<long double>(p[i - 1]) - mid) * 100 / mid);
    w[i] = static_cast<float>(static_cast<long double>(up) - down);
    double sum = 0;
    for (int32_t j = 1; j <= n; ++j)
      sum = static_cast<double>(
          sum +
          static_cast<long double>(w[i - static_cast<size_t>(n) + static_cast<size_t>(j)]) / n);
    r[i] = static_cast<float>(sum);
  }
  return r;
}

TEST(Cer, MatchesThePlainAlgorithmBitForBit) {
  const std::vector<float> prices = RandomWalk(5003, 21, 80, 1.6f);
  for (int32_t n : {1, 7, 10, 33}) {
    CerChart c(prices, static_cast<float>(n));
    ASSERT_EQ(c.Call(), 0);
    const std::vector<float> plain = PlainCer(prices, n);
    for (int32_t i = n + 2; i < 5003; ++i)
      ASSERT_EQ(c.R(i), plain[static_cast<size_t>(i)]) << "n " << n << " bar " << i;
  }
}

}  // namespace
}  // namespace msx
