// Calls through the host records into the built library: what a function
// writes, and what it leaves alone, on success and on failure.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "HostRecords.h"
#include "LibraryFixture.h"
#include "Poison.h"

using msx::kPoison;

namespace msxtest {
namespace {

using msxhost::HostArguments;
using msxhost::HostArray;

// A call with every record owned here, the result poisoned.
struct Call {
  HostArray close{10.0f};
  HostArray percent{2.0f};
  HostArray high{10.0f};
  HostArray low{10.0f};
  msx::HostDataRecord data{};
  HostArguments args;
  PoisonedResult result;

  explicit Call(int32_t first, int32_t last) {
    for (HostArray* a : {&close, &percent, &high, &low}) a->SetRange(first, last);
    data.high = *high.series();
    data.low = *low.series();
    args.AddSeries(close.series());
    args.AddSeries(percent.series());
  }
  int32_t Run(const char* name = "NRTR") {
    return msxtest::Library().Call(name, data, args, *result.record());
  }
  float R(int32_t i) const { return result.R(i); }
};

TEST(NrtrCall, SetsValuesAndRange) {
  Call c(100, 65499);
  ASSERT_EQ(c.Run(), 0);
  EXPECT_EQ(c.result.array().first(), 101);
  EXPECT_EQ(c.result.array().last(), 65499);
  EXPECT_EQ(c.R(100), kPoison);
  EXPECT_EQ(c.R(101), 10.2f);
  EXPECT_EQ(c.R(65499), 10.2f);
  EXPECT_STREQ(c.result.record()->szExtendedError, "poison");
}

TEST(NrtrCall, WrongArgumentCountsLeaveEverythingUntouched) {
  Call threeSeries(0, 10);
  threeSeries.args.AddSeries(threeSeries.close.series());
  EXPECT_EQ(threeSeries.Run(), -1);
  Call oneNumber(0, 10);
  oneNumber.args.AddNumber(2.0f);
  EXPECT_EQ(oneNumber.Run(), -1);
  for (Call* c : {&threeSeries, &oneNumber}) {
    EXPECT_STREQ(c->result.record()->szExtendedError, "poison");
    EXPECT_EQ(c->result.array().first(), -9);
    for (int32_t i = 0; i <= 11; ++i) EXPECT_EQ(c->R(i), kPoison);
  }
}

TEST(NrtrCall, ALastIndexBeyondTheHostArraysFailsAfterWritingUpTo65499) {
  Call c(65480, 65500);
  EXPECT_EQ(c.Run(), -1);
  EXPECT_STREQ(c.result.record()->szExtendedError, "ResultRec.szExtendedError");
  EXPECT_EQ(c.R(65481), 10.2f);
  EXPECT_EQ(c.R(65499), 10.2f);
  EXPECT_EQ(c.result.array().first(), -9);
  EXPECT_EQ(c.result.array().last(), -9);
}

TEST(NrtrCall, ANegativeRangeFailsWithTheFixedText) {
  Call c(-5, -1);
  EXPECT_EQ(c.Run(), -1);
  EXPECT_STREQ(c.result.record()->szExtendedError, "ResultRec.szExtendedError");
  EXPECT_EQ(c.result.array().last(), -9);
}

// JMA and JTPO are exported whatever the code page; the host sees them only
// under 866, and called elsewhere they compute their result but answer -1.
TEST(CodePageFunctionCall, ComputeUnderAnyCodePageAndAnswerByIt) {
  const bool offered = Library().FindFunction("JMA") != nullptr;
  EXPECT_EQ(Library().FindFunction("JTPO") != nullptr, offered);
  for (const char* name : {"JMA", "JTPO"}) {
    HostArray price;
    for (size_t i = 0; i < 50; ++i) price.values()[i] = 20.0f + 0.5f * static_cast<float>(i);
    price.SetRange(0, 49);
    msx::HostDataRecord data{};
    data.close = *price.series();
    HostArguments args;
    args.AddSeries(price.series());
    args.AddNumber(5.0f);
    if (std::string(name) == "JMA") args.AddNumber(0.0f);
    PoisonedResult result;
    EXPECT_EQ(Library().Call(name, data, args, *result.record()), offered ? 0 : -1) << name;
    EXPECT_STREQ(result.record()->szExtendedError, "poison") << name;
    const bool jma = std::string(name) == "JMA";
    EXPECT_EQ(result.array().first(), jma ? 30 : 5) << name;
    EXPECT_EQ(result.array().last(), 49) << name;
    // Rising prices: JMA's warm-up ends on bar 30 with the price itself,
    // JTPO is +1 from its first full window on.
    EXPECT_EQ(result.array().values()[30], jma ? 35.0f : 1.0f) << name;
  }
}

}  // namespace
}  // namespace msxtest
