// Rounding, checked arithmetic and the catch point.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "common/Checked.h"
#include "FaultOf.h"
#include "common/GuardedCall.h"

namespace msx {
namespace {

TEST(Rounding, HalvesGoToTheEvenNeighbour) {
  EXPECT_EQ(RoundToInt32(0.5L), 0);
  EXPECT_EQ(RoundToInt32(1.5L), 2);
  EXPECT_EQ(RoundToInt32(2.5L), 2);
  EXPECT_EQ(RoundToInt32(-0.5L), 0);
  EXPECT_EQ(RoundToInt32(-1.5L), -2);
  EXPECT_EQ(RoundToInt32(2.5000001L), 3);
  EXPECT_EQ(RoundToInt64(1e15L + 0.5L), 1000000000000000);
}

TEST(Rounding, ValuesWithoutAFittingIntegerFault) {
  EXPECT_EQ(FaultOf([] { RoundToInt32(2147483647.5L); }), kRangeCheckError);
  EXPECT_EQ(FaultOf([] { RoundToInt32(-2147483649.0L); }), kRangeCheckError);
  EXPECT_EQ(RoundToInt32(-2147483648.0L), std::numeric_limits<int32_t>::min());
  EXPECT_EQ(FaultOf([] { RoundToUInt32(-1.0L); }), kRangeCheckError);
  EXPECT_EQ(RoundToUInt32(4294967295.0L), 4294967295u);
  EXPECT_EQ(FaultOf([] { RoundToUInt32(4294967296.0L); }), kRangeCheckError);
  EXPECT_EQ(FaultOf([] { RoundToInt64(std::nanl("")); }), kInvalidFloatOperation);
  EXPECT_EQ(FaultOf([] { RoundToInt64(1e19L); }), kInvalidFloatOperation);
  EXPECT_EQ(FaultOf([] { RoundToInt32(std::numeric_limits<float>::infinity()); }),
            kInvalidFloatOperation);
}

TEST(CheckedArithmetic, OverflowIsAFault) {
  EXPECT_EQ(CheckedAdd(2147483646, 1), 2147483647);
  EXPECT_EQ(FaultOf([] { CheckedAdd(2147483647, 1); }), kIntegerOverflow);
  EXPECT_EQ(FaultOf([] { CheckedSub(int32_t{-2147483647 - 1}, 1); }), kIntegerOverflow);
  EXPECT_EQ(FaultOf([] { CheckedMul(65536, 65536); }), kIntegerOverflow);
}

TEST(CheckedIndex, OnlyTheHostArraysIndexesPass) {
  EXPECT_EQ(CheckedIndex(0), 0);
  EXPECT_EQ(CheckedIndex(65499), 65499);
  EXPECT_EQ(FaultOf([] { CheckedIndex(65500); }), kRangeCheckError);
  EXPECT_EQ(FaultOf([] { CheckedIndex(-1); }), kRangeCheckError);
}

TEST(BarRanges, NarrowedByEverySeriesAndNeverLoweredByAnEmptyOne) {
  HostSeries s[7] = {{nullptr, 5, 100}, {nullptr, 7, 90},  {nullptr, 7, 100}, {nullptr, 7, 100},
                     {nullptr, 7, 100}, {nullptr, 7, 100}, {nullptr, 9, 100}};
  BarRange r = NarrowedRange(ValidRangeOf(s[0]), {&s[1], &s[2], &s[3], &s[4], &s[5], &s[6]});
  EXPECT_EQ(r.first, 9);
  EXPECT_EQ(r.last, 90);
  HostSeries empty{nullptr, 20, 3};
  r = NarrowedRange(ValidRangeOf(s[0]), {&empty});
  EXPECT_EQ(r.first, 20);
  EXPECT_EQ(r.last, 100);
  for (HostSeries negative : {HostSeries{nullptr, -1, 10}, HostSeries{nullptr, 10, -1}})
    EXPECT_EQ(FaultOf([&] { ValidRangeOf(negative); }), kRangeCheckError);
}

TEST(StoreFloat, NaNAndOverflowFault) {
  EXPECT_EQ(StoreFloat(97.9L), 97.9f);
  EXPECT_EQ(FaultOf([] { StoreFloat(std::nanl("")); }), kInvalidFloatOperation);
  EXPECT_EQ(FaultOf([] { StoreFloat(1e39L); }), kFloatOverflow);
  EXPECT_TRUE(std::isinf(StoreFloat(std::numeric_limits<long double>::infinity())));
}

struct GuardedCallFixture : ::testing::Test {
  float values[4] = {};
  HostSeries series{values, 7, 9};
  ResultRec result{&series, {}};
  void SetUp() override { WriteErrorText(&result, "untouched"); }
};

TEST_F(GuardedCallFixture, SuccessSetsTheRange) {
  EXPECT_EQ(GuardedCall(&result, ErrorPolicy::kFaultMessage, [] { return BarRange{2, 3}; }), 0);
  EXPECT_EQ(series.first, 2);
  EXPECT_EQ(series.last, 3);
  EXPECT_STREQ(result.szExtendedError, "untouched");
}

TEST_F(GuardedCallFixture, AFaultLeavesTheRangeAndReportsByPolicy) {
  auto fail = []() -> BarRange { RaiseFault(kIntegerOverflow); };
  EXPECT_EQ(GuardedCall(&result, ErrorPolicy::kUntouched, fail), -1);
  EXPECT_STREQ(result.szExtendedError, "untouched");
  EXPECT_EQ(GuardedCall(&result, ErrorPolicy::kFaultMessage, fail), -1);
  EXPECT_STREQ(result.szExtendedError, kIntegerOverflow);
  EXPECT_EQ(GuardedCall(&result, ErrorPolicy::kFixedText, fail), -1);
  EXPECT_STREQ(result.szExtendedError, "ResultRec.szExtendedError");
  EXPECT_EQ(series.first, 7);
  EXPECT_EQ(series.last, 9);
}

TEST_F(GuardedCallFixture, LongMessagesAreCutTo99Characters) {
  const std::string longText(300, 'x');
  EXPECT_EQ(GuardedCall(&result, ErrorPolicy::kFaultMessage,
                        [&]() -> BarRange { throw std::runtime_error(longText); }),
            -1);
  EXPECT_EQ(std::string(result.szExtendedError), std::string(99, 'x'));
  EXPECT_EQ(GuardedCall(&result, ErrorPolicy::kFaultMessage,
                        []() -> BarRange { throw std::bad_alloc(); }),
            -1);
  EXPECT_STREQ(result.szExtendedError, kOutOfMemory);
  EXPECT_EQ(GuardedCall(&result, ErrorPolicy::kFaultMessage, []() -> BarRange { throw 42; }), -1);
  EXPECT_STREQ(result.szExtendedError, kUnexpectedFault);
}

}  // namespace
}  // namespace msx
