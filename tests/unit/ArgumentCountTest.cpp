// Every exported function against argument counts the host got wrong: each
// count the function compares, off by one either way, gives -1 and leaves the
// result record as it was (values, range, error text); each count it does not
// compare, raised by one, gives the plain call's answer and record byte for
// byte. The compared counts are stated here, apart from the tables.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "Exports.h"
#include "TradingFixture.h"
#include "common/MSX_QMR_CommonFunc.h"
#include "exchange/MSX_QMR_ReadData.h"
#include "exchange/MSX_QMR_WriteData.h"
#include "exchange/MSX_QMR_WriteDataEx.h"
#include "host/Export.h"
#include "indicators/MSX_QMR_CER.h"
#include "indicators/MSX_QMR_JMA.h"
#include "indicators/MSX_QMR_JTPO.h"
#include "indicators/MSX_QMR_NRTR.h"
#include "indicators/MSX_QMR_NRTR_WATR.h"
#include "indicators/MSX_QMR_RENKO_WATR.h"
#include "trading/MSX_QMR_TradeFile.h"
#include "trading/MSX_QMR_TradeQUIK.h"

namespace msx {
namespace {

enum class Count { kSeries, kNumeric, kString, kCustom };
constexpr Count kCounts[] = {Count::kSeries, Count::kNumeric, Count::kString, Count::kCustom};

// A chart's arguments: series (by their values), numbers, texts (a "%F"
// in a text stands for the test's folder), custom IDs.
struct Arguments {
  std::vector<std::vector<float>> series;
  std::vector<float> numbers;
  std::vector<std::string> texts;
  std::vector<int32_t> choices;
};
Arguments Args(std::vector<std::vector<float>> series, std::vector<float> numbers = {},
               std::vector<std::string> texts = {}, std::vector<int32_t> choices = {}) {
  return {std::move(series), std::move(numbers), std::move(texts), std::move(choices)};
}

struct Function {
  const char* name;
  HostFunction call;
  const FunctionTable& table;
  std::vector<Count> compared;
  Arguments arguments;
};

const std::vector<float> kPrices = {10, 11, 10.5f, 12, 13,    12.5f, 12, 14, 15, 14.5f,
                                    16, 15, 17,    18, 17.5f, 19,    18, 20, 21, 20.5f};
const std::vector<float> kOnes(kPrices.size(), 1.0f);

const Function kFunctions[] = {
    {"NRTR", NRTR, kNrtrTable, {Count::kSeries, Count::kNumeric}, Args({kPrices, kOnes})},
    {"NRTR_WATR", NRTR_WATR, kNrtrWatrTable, {Count::kSeries}, Args({kPrices, kOnes, kOnes})},
    {"CER", CER, kCerTable, {Count::kNumeric, Count::kSeries}, Args({kPrices}, {3})},
    {"RENKO_WATR",
     RENKO_WATR,
     kRenkoWatrTable,
     {Count::kSeries, Count::kNumeric, Count::kCustom},
     Args({kPrices}, {2, 5}, {}, {2})},
    {"JMA",
     JMA,
     kJmaTable,
     {Count::kSeries, Count::kNumeric, Count::kCustom},
     Args({kPrices}, {5, 0})},
    {"JTPO",
     JTPO,
     kJtpoTable,
     {Count::kSeries, Count::kNumeric, Count::kCustom},
     Args({kPrices}, {5})},
    {"WriteData",
     WriteData,
     kWriteDataTable,
     {Count::kSeries, Count::kNumeric, Count::kCustom},
     Args({kPrices}, {}, {"%F%S.txt"})},
    {"WriteDataEx",
     WriteDataEx,
     kWriteDataExTable,
     {Count::kSeries, Count::kNumeric, Count::kCustom},
     Args({kPrices, kOnes, kPrices, kOnes, kPrices, kOnes, kPrices}, {}, {"", "%F%S_ex.txt"})},
    {"ReadData",
     ReadData,
     kReadDataTable,
     {Count::kSeries, Count::kNumeric, Count::kCustom},
     Args({}, {}, {"%F%S.txt"})},
    {"TradeFile",
     TradeFile,
     kTradeFileTable,
     {Count::kSeries, Count::kNumeric, Count::kCustom},
     Args({kPrices, kOnes}, {}, {"MAcross"}, {2})},
    {"TradeQuik",
     TradeQuik,
     kTradeQuikTable,
     {Count::kSeries, Count::kNumeric, Count::kCustom, Count::kString},
     Args({kOnes, kPrices, kOnes}, {1}, {"ACC1", "CL1"}, {0})},
};

// What a call leaves in the result record.
struct Record {
  int32_t answer;
  std::vector<float> values;
  int32_t first;
  int32_t last;
  std::string error;  // all 100 bytes
  bool operator==(const Record&) const = default;
};

class ArgumentCounts : public TradingTest, public ::testing::WithParamInterface<Function> {
 protected:
  // One call on a fresh folder and settings file, with one count moved by
  // delta (0: the plain call).
  Record CallWith(Count moved, int32_t delta) {
    const Function& f = GetParam();
    temp_.Clear();
    Load("[TradeFile]\r\nDirectory=" + folder_ + "\r\n");
    SetCodePageFlag(true);

    TestChart chart(kPrices);
    chart.data.securityPath = chart.Text(folder_);
    for (const auto& values : f.arguments.series) chart.AddSeries(values);
    for (float v : f.arguments.numbers) chart.AddNumber(v);
    for (int32_t id : f.arguments.choices) chart.AddCustom(id);
    std::vector<std::string> texts = f.arguments.texts;
    for (std::string& text : texts)
      if (const auto at = text.find("%F"); at != std::string::npos) text.replace(at, 2, folder_);
    chart.SetTexts(texts);
    switch (moved) {
      case Count::kSeries:
        chart.AddSeries(kPrices);  // what a raised count finds
        chart.series.count += delta - 1;
        break;
      case Count::kNumeric:
        chart.numeric.count += delta;
        break;
      case Count::kString:
        chart.strings.count += delta;
        break;
      case Count::kCustom:
        chart.custom.count += delta;
        break;
    }
    const int32_t answer = chart.Call(f.call);
    const float* out = chart.result.values;
    return {answer, std::vector<float>(out, out + kMaxBars), chart.result.first, chart.result.last,
            std::string(chart.rec.szExtendedError, sizeof chart.rec.szExtendedError)};
  }
};

TEST_P(ArgumentCounts, ComparedCountsRefuseTheCallOthersAreNotRead) {
  const Function& f = GetParam();
  // The counts the table compares are the ones stated here.
  uint8_t stated = 0;
  for (Count c : f.compared) {
    stated |= c == Count::kSeries    ? kSeriesCount
              : c == Count::kNumeric ? kNumericCount
              : c == Count::kString  ? kStringCount
                                     : kCustomCount;
  }
  EXPECT_EQ(f.table.call.comparedCounts, stated);

  const Record untouched = CallWith(Count::kSeries, -1000);  // refused whatever
  ASSERT_EQ(untouched.answer, -1);
  ASSERT_EQ(untouched.values, std::vector<float>(kMaxBars, kPoison));
  ASSERT_EQ(untouched.first, -77);
  ASSERT_EQ(untouched.error.substr(0, 7), std::string("poison", 7));

  const Record plain = CallWith(Count::kSeries, 0);
  for (Count c : kCounts) {
    const bool compared = std::find(f.compared.begin(), f.compared.end(), c) != f.compared.end();
    const auto which = static_cast<int>(c);
    if (compared) {
      EXPECT_EQ(CallWith(c, 1), untouched) << "count " << which << " + 1";
      EXPECT_EQ(CallWith(c, -1), untouched) << "count " << which << " - 1";
    } else {
      EXPECT_EQ(CallWith(c, 1), plain) << "count " << which << " + 1";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(EveryFunction, ArgumentCounts, ::testing::ValuesIn(kFunctions),
                         [](const ::testing::TestParamInfo<Function>& param) {
                           return std::string(param.param.name);
                         });

}  // namespace
}  // namespace msx
