// The shared helpers: date-time conversion, the weighted average, appending
// a line, the code-page flag.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "FaultOf.h"
#include "PriceSeries.h"
#include "common/Fault.h"
#include "common/MSX_QMR_CommonFunc.h"
#include "common/WeightedAverage.h"
#include "host/MSXStruct.h"
#include "indicators/TrueRange.h"

namespace msx {
namespace {

constexpr double kDec23of2006 = 39074;  // days since 30 December 1899

TEST(HostDateTime, DateAndTimeOfDay) {
  EXPECT_EQ(HostDateTime(20061223, 0), kDec23of2006);
  EXPECT_EQ(HostDateTime(18991230, 0), 0);
  EXPECT_EQ(HostDateTime(18991229, 0), -1);
  EXPECT_EQ(HostDateTime(10101, 0), -693593);     // 1 January of year 1
  EXPECT_EQ(HostDateTime(99991231, 0), 2958465);  // the last encodable day
  EXPECT_EQ(HostDateTime(20061223, 1530000), kDec23of2006 + 15.5 / 24);
  EXPECT_EQ(HostDateTime(20000229, 1200000), 36585.5);  // a leap day
}

TEST(HostDateTime, TheLastDigitIsMilliseconds) {
  const double whole = HostDateTime(20061223, 1530000);
  const double plus5ms = HostDateTime(20061223, 1530005);
  EXPECT_NEAR((plus5ms - whole) * 86400000.0, 5.0, 1e-3);
  EXPECT_EQ(plus5ms,
            static_cast<double>(39074.0L + static_cast<double>(55800005.0L / 86400000.0L)));
  // Two stamps a tenth of a second apart in the digits are 1 ms apart.
  EXPECT_NEAR((HostDateTime(20061223, 1530001) - whole) * 86400000.0, 1.0, 1e-3);
}

TEST(HostDateTime, InvalidDatesAndTimesFaultWithTheRuntimesMessages) {
  EXPECT_EQ(FaultOf([] { HostDateTime(20060230, 0); }), kInvalidDateEncode);
  EXPECT_EQ(FaultOf([] { HostDateTime(19000229, 0); }), kInvalidDateEncode);  // not a leap year
  EXPECT_EQ(FaultOf([] { HostDateTime(20061300, 0); }), kInvalidDateEncode);
  EXPECT_EQ(FaultOf([] { HostDateTime(1231, 0); }), kInvalidDateEncode);  // year 0
  EXPECT_EQ(FaultOf([] { HostDateTime(20061223, 2400000); }), kInvalidTimeEncode);
  EXPECT_EQ(FaultOf([] { HostDateTime(20061223, 1260000); }), kInvalidTimeEncode);
  EXPECT_EQ(FaultOf([] { HostDateTime(20061223, 1235990); }), kInvalidTimeEncode);
  // A bad date is reported before a bad time.
  EXPECT_EQ(FaultOf([] { HostDateTime(20060230, 2400000); }), kInvalidDateEncode);
}

TEST(HostDateTime, PartsOutsideSixteenBitsAreRangeFaults) {
  EXPECT_EQ(FaultOf([] { HostDateTime(-20061223, 0); }), kRangeCheckError);
  EXPECT_EQ(FaultOf([] { HostDateTime(20061223, -1); }), kRangeCheckError);
  EXPECT_EQ(FaultOf([] { HostDateTime(2147483647, 0); }), kRangeCheckError);  // year 214748
}

struct WeightedAverageTest : ::testing::Test {
  std::vector<float> x = std::vector<float>(kMaxBars, 0.0f);
  void SetUp() override {
    for (int i = 0; i < 10; ++i) x[static_cast<size_t>(i)] = static_cast<float>(i * i + 1);
  }
};

TEST_F(WeightedAverageTest, NewestValueWeighsMost) {
  // X[3..5] = 10, 17, 26
  EXPECT_DOUBLE_EQ(WeightedAverage(x.data(), 5, 3), (10.0 + 2 * 17.0 + 3 * 26.0) / 6);
  EXPECT_EQ(WeightedAverage(x.data(), 7, 1), 50.0);
}

TEST_F(WeightedAverageTest, TheOldestIndexUsedIsOneOrMore) {
  // n = i: X[1] to X[i]; X[0] is never read.
  EXPECT_DOUBLE_EQ(WeightedAverage(x.data(), 5, 5),
                   (1 * 2.0 + 2 * 5.0 + 3 * 10.0 + 4 * 17.0 + 5 * 26.0) / 15);
  EXPECT_EQ(WeightedAverage(x.data(), 4, 5), 0);
  EXPECT_EQ(WeightedAverage(x.data(), 5, 0), 0);
  EXPECT_EQ(WeightedAverage(x.data(), 5, -3), 0);
}

TEST_F(WeightedAverageTest, IndexesBeyondTheArrayFault) {
  EXPECT_EQ(FaultOf([&] { WeightedAverage(x.data(), 65500, 3); }), kRangeCheckError);
  EXPECT_NO_THROW(WeightedAverage(x.data(), 65499, 65499));
  // A window longer than any chart (a rounded length up to 2^32 - 1) is 0.
  EXPECT_EQ(WeightedAverage(x.data(), 65499, 4294967295LL), 0);
}

// 1 + 2^-52 plus three times a float just below 2^-53 / 3 lies within 2^-64
// below the midpoint of two doubles: extended precision rounds it onto the
// midpoint and the double store then to the even neighbour 1 + 2^-51, where a
// sum formed in double gives 1 + 2^-52.
void PlaceDoubleRoundingWindow(std::vector<float>& x, size_t at) {
  const auto third = std::nextafter(static_cast<float>(0x1p-53 / 3), 0.0f);
  ASSERT_LT(3.0L * third, 0x1p-53L);
  x[at] = 1.0f;
  x[at + 1] = 0x1p-53f;  // weight 2: 2^-52
  x[at + 2] = third;     // weight 3
}

TEST_F(WeightedAverageTest, EachSumIsRoundedToExtendedThenToDouble) {
  PlaceDoubleRoundingWindow(x, 1);
  EXPECT_EQ(WeightedAverage(x.data(), 3, 3), static_cast<double>((1.0L + 0x1p-51L) / 6));
}

TEST_F(WeightedAverageTest, WindowsSummedSideBySideEqualOneAtATime) {
  uint32_t state = 7;
  for (size_t i = 1; i < 300; ++i) {
    state = state * 1664525u + 1013904223u;
    x[i] = static_cast<float>(state >> 8) / 65536.0f;
  }
  for (size_t at : {40u, 45u, 51u}) PlaceDoubleRoundingWindow(x, at);
  for (int64_t n : {1, 3, 14, 50}) {
    for (int32_t i = 0; i + 7 < 300; ++i) {
      double block[8];
      WeightedAverages<8>(x.data(), i, n, block);
      for (int b = 0; b < 8; ++b)
        ASSERT_EQ(block[b], WeightedAverage(x.data(), i + b, n)) << "n " << n << " bar " << i + b;
    }
  }
}

// The true range of a chart's prices, at index 1 on: the series the
// indicators average.
std::vector<float> TrueRanges(PriceBars bars) {
  const auto last = static_cast<int32_t>(bars.close.size()) - 1;
  std::vector<float> tr(bars.close.size(), 0.0f);
  ComputeTrueRange({bars.high.data(), 0, last}, {bars.low.data(), 0, last},
                   {bars.close.data(), 0, last}, 1, last, tr.data());
  return tr;
}

// Random values from 2^-60 to 2^60, either sign: no grid fits them.
std::vector<float> WideRange(int count) {
  std::vector<float> x(1, 0.0f);
  uint32_t state = 99;
  for (int i = 1; i < count; ++i) {
    state = state * 1664525u + 1013904223u;
    const float v = std::ldexp(static_cast<float>(state >> 8), static_cast<int>(state % 121) - 84);
    x.push_back(state & 0x80u ? -v : v);
  }
  return x;
}

TEST(ForEachWeightedAverage, RunningSumsGiveTheChainsBitsAndRunWhereProvenExact) {
  struct Case {
    const char* name;
    std::vector<float> x;
    bool exact;  // the running sum is expected on every bar with a window
  };
  const Case cases[] = {
      {"bundled prices", TrueRanges(BundledPrices()), true},
      {"random walk", TrueRanges(RandomWalk(5000, 40, 5)), true},
      {"wide range", WideRange(3000), false},
  };
  // Fixed lengths, and a length that changes every 37 bars.
  auto steady = [](int64_t n) { return [n](int32_t) { return n; }; };
  auto changing = [](int32_t i) { return int64_t{1} + (i / 37) % 5 * 21; };
  for (const Case& c : cases) {
    const auto last = static_cast<int32_t>(c.x.size()) - 1;
    for (int64_t length : {1, 2, 14, 200, 0}) {
      auto windowOf = [&](int32_t i) { return length ? steady(length)(i) : changing(i); };
      auto averages = [&](WindowSums sums, int32_t* running) {
        std::vector<uint64_t> bits;
        *running = ForEachWeightedAverage(
            c.x.data(), 5, last, windowOf,
            [&](int32_t i, int32_t j) { return windowOf(i) == windowOf(j); },
            [&](int32_t, double a) { bits.push_back(std::bit_cast<uint64_t>(a)); }, sums);
        return bits;
      };
      int32_t running = 0, plain = 0, windows = 0;
      for (int32_t i = 5; i <= last; ++i) windows += i >= windowOf(i);
      ASSERT_EQ(averages(WindowSums::kRunningWhereExact, &running),
                averages(WindowSums::kChainOnly, &plain))
          << c.name << ", length " << length;
      EXPECT_EQ(plain, 0);
      EXPECT_EQ(running, c.exact ? windows : 0) << c.name << ", length " << length;
    }
  }
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(AppendLine, CreatesTheFileAndAppendsCrLfLines) {
  const std::string path = ::testing::TempDir() + "append_line_test.txt";
  std::remove(path.c_str());
  AppendLine("first", path);
  AppendLine("", path);
  AppendLine("third,3.5", path);
  EXPECT_EQ(ReadBytes(path), "first\r\n\r\nthird,3.5\r\n");
  std::remove(path.c_str());
}

TEST(AppendLine, AMissingFolderWritesNothingAndReportsNothing) {
  const std::string path = ::testing::TempDir() + "no/such/folder/file.txt";
  AppendLine("lost", path);
  EXPECT_EQ(ReadBytes(path), "");
}

TEST(AppendLine, ConvertsToTheOemCodePage) {
  // Under a Windows-1251 Russian locale the ANSI text goes to code page 866:
  // CYRILLIC CAPITAL A is 0xC0 in 1251 and 0x80 in 866.
  const char* saved = std::getenv("LC_ALL");
  const std::string restore = saved != nullptr ? saved : "";
  setenv("LC_ALL", "ru_RU.CP1251", 1);
  const std::string path = ::testing::TempDir() + "append_line_oem.txt";
  std::remove(path.c_str());
  AppendLine("\xC0\xE0 x", path);
  EXPECT_EQ(ReadBytes(path), "\x80\xA0 x\r\n");
  std::remove(path.c_str());
  if (saved != nullptr)
    setenv("LC_ALL", restore.c_str(), 1);
  else
    unsetenv("LC_ALL");
}

}  // namespace
}  // namespace msx
