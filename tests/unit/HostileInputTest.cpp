// Hostile input for the volatility indicators: NaN, infinite, huge and tiny
// prices and arguments, valid ranges negative, reversed and beyond the host's
// arrays. Every call returns 0 or -1 with the function's own text, and
// nothing is written outside the result array.
#include <gtest/gtest.h>

#include <limits>
#include <set>
#include <string>
#include <vector>

#include "TestChart.h"
#include "host/Export.h"
#include "indicators/MSX_QMR_RENKO_WATR.h"

MSX_EXPORT int32_t MSX_CALL NRTR_WATR(const msx::HostDataRecord*, const msx::HostSeriesArgs*,
                                      const msx::HostNumericArgs*, const msx::HostStringArgs*,
                                      const msx::HostCustomArgs*, msx::ResultRec*);
MSX_EXPORT int32_t MSX_CALL CER(const msx::HostDataRecord*, const msx::HostSeriesArgs*,
                                const msx::HostNumericArgs*, const msx::HostStringArgs*,
                                const msx::HostCustomArgs*, msx::ResultRec*);
MSX_EXPORT int32_t MSX_CALL RENKO_WATR(const msx::HostDataRecord*, const msx::HostSeriesArgs*,
                                       const msx::HostNumericArgs*, const msx::HostStringArgs*,
                                       const msx::HostCustomArgs*, msx::ResultRec*);

namespace msx {
namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kMax = std::numeric_limits<float>::max();
constexpr float kTiny = std::numeric_limits<float>::denorm_min();

struct Range {
  int32_t first, last;
};
const Range kRanges[] = {{0, 120},       {-5, 120},      {60, 10},       {-10, -1},
                         {65480, 65499}, {65490, 65510}, {65499, 65499}, {3, 3}};

// Prices of one kind over every bar, with one odd value in the middle of
// each range.
std::vector<float> Prices(int kind) {
  std::vector<float> p(kMaxBars);
  for (size_t i = 0; i < p.size(); ++i)
    p[i] = 50.0f + static_cast<float>(i % 17) - static_cast<float>(i % 5) * 1.5f;
  const float odd[] = {50.0f, kNaN, kInf, -kInf, kMax, kTiny, 0.0f, -7.0f};
  for (size_t at : {3u, 40u, 65490u, 65495u}) p[at] = odd[kind];
  if (kind == 6) std::fill(p.begin(), p.end(), 0.0f);
  return p;
}
constexpr int kPriceKinds = 8;

const float kNumbers[] = {14, 0, 1, 2.5f, -0.6f, 1e9f, -1e9f, kNaN, kInf, -kInf, 65499, kMax};

// Runs a call on every price kind and range; check(rc, error) judges each.
template <class Setup>
void Sweep(HostFunction f, const std::set<std::string>& texts, Setup setup) {
  int calls = 0;
  for (int kind = 0; kind < kPriceKinds; ++kind) {
    const std::vector<float> prices = Prices(kind);
    for (const Range& r : kRanges) {
      for (float a : kNumbers) {
        for (float b : {2.0f, 0.0f, kNaN, kInf, -3.0f}) {
          TestChart c(prices, 1.5f);
          c.SetRange(r.first, r.last);
          setup(c, a, b);
          const int32_t rc = c.Call(f);
          ++calls;
          ASSERT_TRUE(rc == 0 || rc == -1) << rc;
          ASSERT_TRUE(c.GuardsIntact()) << "kind " << kind << " range " << r.first << ".." << r.last
                                        << " args " << a << ", " << b;
          if (rc == -1) {
            ASSERT_TRUE(texts.count(c.Error()) == 1) << c.Error();
            ASSERT_EQ(c.result.first, -77);
          }
        }
      }
    }
  }
  EXPECT_GT(calls, 3000);
}

TEST(HostileInput, NrtrWatr) {
  Sweep(NRTR_WATR, {"ResultRec.szExtendedError"}, [](TestChart& c, float length, float m) {
    c.AddClose();
    c.AddConstant(length, c.data.close.first, c.data.close.last);
    c.AddConstant(m, c.data.close.first, c.data.close.last);
  });
}

TEST(HostileInput, Cer) {
  Sweep(CER, {"ResultRec.szExtendedError"}, [](TestChart& c, float length, float) {
    c.AddClose();
    c.AddNumber(length);
  });
}

TEST(HostileInput, RenkoWatr) {
  const std::set<std::string> texts = {kKoefficientNotPositive, kSmoothingNotAboveZero,
                                       "Range check error", "Invalid floating point operation",
                                       "Floating point overflow"};
  int32_t mode = 0;
  Sweep(RENKO_WATR, texts, [&](TestChart& c, float smooth, float k) {
    c.AddClose();
    c.AddNumber(k);
    c.AddNumber(smooth);
    c.AddCustom(mode++ % 8 - 1);  // -1 to 6: six modes and two unknown
  });
}

}  // namespace
}  // namespace msx
