// TradeFile: the trade file's name, header and rows for the modes, the
// rounding of the signal, ClosePositionAtLastBar, the entry-price rule, the
// processed range, whole lines, and the fault paths.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>

#include "TradingFixture.h"
#include "common/NumberText.h"
#include "trading/MSX_QMR_TradeFile.h"

namespace msx {
namespace {

// The gain column is the C library's "%.4f", whatever the gain: the sign of
// a loss that rounds to zero, the halfway cases, huge values and the values
// that are no numbers.
TEST(TradeRow, TheGainIsTheCLibrarysFourDecimals) {
  std::vector<double> gains = {0.052,  -0.00001, 0.00005, 0.00015, -0.99995, 1e300, -1e-300,
                               0.0,    -0.0,     std::numeric_limits<double>::infinity(),
                               -std::numeric_limits<double>::infinity(),
                               std::numeric_limits<double>::quiet_NaN(),
                               -std::numeric_limits<double>::quiet_NaN()};
  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> spread(-2.0, 2.0);
  for (int32_t k = 0; k < 2000; ++k) gains.push_back(spread(random));
  for (const double gain : gains) {
    char expected[400];
    std::snprintf(expected, sizeof expected, "%.4f", gain);
    std::string row;
    AppendPrintfFixed(row, gain, 4);
    EXPECT_EQ(row, expected) << gain;
  }
}

class TradeFileCall : public TradingTest {
 protected:
  TestChart chart;
  HostSeries& buySell = chart.AddSeries({});

  // Settings with the trade files in the test's folder; the chart's own
  // close and the signal as the series.
  void SetUp() override {
    TradingTest::SetUp();
    LoadWith("no");
    chart.series = {{&chart.data.close, &buySell}, 2};
  }
  void LoadWith(const std::string& closeAtLastBar, const std::string& directory = {}) {
    Load("[TradeFile]\r\nDirectory=" + (directory.empty() ? folder_ : directory) +
         "\r\nClosePositionAtLastBar=" + closeAtLastBar + "\r\n");
  }

  int32_t Run(const std::vector<float>& close, const std::vector<float>& signal, int32_t mode,
              const std::string& strategy = "MAcross", char period = 'D', int32_t interval = 0) {
    chart.SetCloses(close);
    chart.SetValues(buySell, signal);
    chart.custom = {{mode}, 1};
    chart.SetTexts({strategy});
    chart.data.period = static_cast<unsigned char>(period);
    chart.data.interval = interval;
    return Again();
  }
  int32_t Again() { return chart.Call(TradeFile); }

  std::string TradePath(const std::string& strategy = "MAcross", const std::string& p = "D") {
    return folder_ + "noname[" + strategy + "]SEC1[" + p + "].csv";
  }
  // The rows after the seven header lines.
  std::vector<std::string> Rows(const std::string& strategy = "MAcross",
                                const std::string& p = "D") {
    std::vector<std::string> lines = FileLines(TradePath(strategy, p));
    EXPECT_GE(lines.size(), 7u);
    if (lines.size() < 7) return {};
    return {lines.begin() + 7, lines.end()};
  }
};

using Lines = std::vector<std::string>;

TEST_F(TradeFileCall, TheExampleFileHeaderAndResult) {
  ASSERT_EQ(Run({10, 10, 10}, {0, 0, 0}, kLongAndShort), 0) << chart.Error();
  const std::vector<std::string> lines = FileLines(TradePath());
  ASSERT_EQ(lines.size(), 7u);
  // ";  This file was created MM/DD/YYYY HH:MM:SS with TradeFile() MSX function"
  const std::string& created = lines[0];
  ASSERT_EQ(created.size(), 25u + 19u + 30u) << created;
  EXPECT_EQ(created.substr(0, 25), ";  This file was created ");
  EXPECT_EQ(created.substr(44), " with TradeFile() MSX function");
  EXPECT_EQ(created[27], '/');
  EXPECT_EQ(created[30], '/');
  EXPECT_EQ(created[35], ' ');
  EXPECT_EQ(lines[1].substr(0, 3), ";  ");
  EXPECT_EQ(Lines(lines.begin() + 2, lines.end()),
            (Lines{";%A=noname", ";%S=MAcross", ";%T=SEC1", ";%P=D",
                   "<Strategy>,<Ticker>,<Position>,<EnterDate>,<ExitDate>,<Gain>"}));
  EXPECT_EQ(chart.result.first, 0);
  EXPECT_EQ(chart.result.last, 2);
  for (int32_t i = 0; i <= 2; ++i) EXPECT_EQ(chart.R(i), 0.0f);
  EXPECT_EQ(chart.R(3), kPoison);
  EXPECT_EQ(std::string(chart.rec.szExtendedError, 100), std::string(100, '\0'));
}

TEST_F(TradeFileCall, HalvesRoundToEvenOnlyOnePointFiveOpensALong) {
  ASSERT_EQ(Run({10, 11, 12, 13}, {0.5f, 0, 1.5f, 0}, kLongOnly), 0);
  EXPECT_EQ(Rows(), (Lines{"MAcross,SEC1,1,20240103,20240104,0.0833"}));
  ASSERT_EQ(Run({10, 11, 12, 13}, {-0.5f, -2.5f, 0.4999f, 2.5f}, kLongOnly), 0);
  EXPECT_EQ(Rows(), Lines{});
}

TEST_F(TradeFileCall, ShortsOnlyInModeShortWithTheShortGain) {
  ASSERT_EQ(Run({10, 8, 6}, {1, -1, 1}, kShortOnly), 0);
  EXPECT_EQ(Rows(), (Lines{"MAcross,SEC1,-1,20240102,20240103,0.2500"}));  // 1 - 6/8
}

TEST_F(TradeFileCall, LongToShortOnOneBarAtOnePrice) {
  ASSERT_EQ(Run({10, 12, 9}, {1, -1, 0}, kLongAndShort), 0);
  EXPECT_EQ(Rows(), (Lines{"MAcross,SEC1,1,20240101,20240102,0.2000",
                           "MAcross,SEC1,-1,20240102,20240103,0.2500"}));
  // Any other mode never trades.
  ASSERT_EQ(Run({10, 12, 9}, {1, -1, 0}, 3), 0);
  EXPECT_EQ(Rows(), Lines{});
}

TEST_F(TradeFileCall, AnOpenTradeIsClosedAtTheLastBarOnlyWhenAskedTo) {
  ASSERT_EQ(Run({10, 11, 12}, {1, 1, 1}, kLongAndShort), 0);
  EXPECT_EQ(Rows(), Lines{});
  LoadWith("true");
  ASSERT_EQ(Run({10, 11, 12}, {1, 1, 1}, kLongAndShort), 0);
  EXPECT_EQ(Rows(), (Lines{"MAcross,SEC1,1,20240101,20240103,0.2000"}));
}

TEST_F(TradeFileCall, AnEntryAtPriceZeroIsNeverClosedByARow) {
  ASSERT_EQ(Run({0, 5, 6, 7, 8}, {1, 0, 1, -1, 0}, kLongAndShort), 0);
  // The long at 0 stays open through the flat bar; the short replaces it
  // without a row and is closed normally.
  EXPECT_EQ(Rows(), (Lines{"MAcross,SEC1,-1,20240104,20240105,-0.1429"}));
}

TEST_F(TradeFileCall, PeriodLabelsInTheNameAndHeader) {
  ASSERT_EQ(Run({1}, {0}, kLongAndShort, "MAcross", 'I', 5), 0);
  EXPECT_EQ(FileLines(TradePath("MAcross", "5"))[5], ";%P=5");
  ASSERT_EQ(Run({1}, {0}, kLongAndShort, "MAcross", 'I', 0), 0);
  EXPECT_EQ(FileLines(TradePath("MAcross", "T"))[5], ";%P=T");
  ASSERT_EQ(Run({1}, {0}, kLongAndShort, "MAcross", 'W'), 0);
  EXPECT_EQ(FileLines(TradePath("MAcross", "W"))[5], ";%P=W");
  EXPECT_EQ(TradeFilePeriodLabel('i', 15), "15");
}

TEST_F(TradeFileCall, DirectoriesWithAndWithoutTheSeparator) {
  TradeFileSettings s{"noname", "", false};
  EXPECT_EQ(TradeFilePath(s, "MAcross", "SEC1", "D"), "noname[MAcross]SEC1[D].csv");
  s.directory = "/data/trades";
  EXPECT_EQ(TradeFilePath(s, "M", "S", "D"), "/data/trades/noname[M]S[D].csv");
  s.directory = "/data/trades/";
  EXPECT_EQ(TradeFilePath(s, "M", "S", "D"), "/data/trades/noname[M]S[D].csv");
}

// Lines are never cut: rows longer than 255 bytes are written whole with
// their line breaks, one per line. (The strategy and the security are also
// in the file's name, which the file system limits to about 255 bytes.)
TEST_F(TradeFileCall, LongRowsAreWrittenWhole) {
  const std::string strategy(220, 's');
  const std::string name(20, 'n');
  chart.data.securityName = chart.Text(name);
  ASSERT_EQ(Run({10, 11, 12, 13}, {1, 0, 1, 0}, kLongOnly, strategy), 0);
  const std::vector<std::string> lines =
      FileLines(folder_ + "noname[" + strategy + "]" + name + "[D].csv");
  ASSERT_EQ(lines.size(), 9u);
  EXPECT_EQ(lines[3], ";%S=" + strategy);
  const std::string row = strategy + "," + name + ",1,";
  EXPECT_EQ(lines[7], row + "20240101,20240102,0.1000");
  EXPECT_EQ(lines[8], row + "20240103,20240104,0.0833");
  EXPECT_GT(lines[8].size(), 255u);
  AppendLineWithRetry(std::string(300, 'x'), Path("whole.txt"));
  AppendLineWithRetry("y", Path("whole.txt"));
  EXPECT_EQ(ReadFile(Path("whole.txt")), std::string(300, 'x') + "\r\ny\r\n");
}

TEST_F(TradeFileCall, EveryCallRewritesTheFile) {
  ASSERT_EQ(Run({10, 11, 12, 13}, {1, 0, 1, 0}, kLongOnly), 0);
  ASSERT_EQ(Again(), 0);
  EXPECT_EQ(Rows().size(), 2u);
}

TEST_F(TradeFileCall, TheRangeNarrowsByTheSignalAndAnEmptyRangeWritesOnlyTheHeader) {
  chart.SetCloses({10, 11, 12, 13, 14});
  chart.SetValues(buySell, {1, 1, 0, 1, 0});
  buySell.first = 2;  // the signal starts later: bars 2 to 4
  chart.custom = {{kLongOnly}, 1};
  chart.SetTexts({"MAcross"});
  ASSERT_EQ(Again(), 0);
  EXPECT_EQ(chart.result.first, 2);
  EXPECT_EQ(chart.result.last, 4);
  EXPECT_EQ(chart.R(1), kPoison);
  EXPECT_EQ(Rows(), (Lines{"MAcross,SEC1,1,20240104,20240105,0.0769"}));

  buySell.first = 4;
  buySell.last = 3;  // an empty signal range does not shorten the range
  ASSERT_EQ(Again(), 0);
  EXPECT_EQ(chart.result.first, 4);
  EXPECT_EQ(chart.result.last, 4);

  buySell.first = 0;
  buySell.last = 4;
  chart.SetRange(3, 1);
  std::fill_n(chart.result.values, kMaxBars, kPoison);
  ASSERT_EQ(Again(), 0);
  EXPECT_EQ(chart.result.first, 3);
  EXPECT_EQ(chart.result.last, 1);
  EXPECT_EQ(chart.R(1), kPoison);
  EXPECT_EQ(FileLines(TradePath()).size(), 7u);
}

TEST_F(TradeFileCall, FaultsFailWithTheirMessageAfterTheRowsBefore) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  ASSERT_EQ(Run({10, 11, 12, 13}, {1, 0, nan, 0}, kLongOnly), -1);
  EXPECT_EQ(chart.Error(), "Invalid floating point operation");
  EXPECT_EQ(chart.result.first, -77);
  EXPECT_EQ(Rows(), (Lines{"MAcross,SEC1,1,20240101,20240102,0.1000"}));
  EXPECT_EQ(Run({10, 11}, {1, 1e30f}, kLongOnly), -1);
  EXPECT_EQ(chart.Error(), "Invalid floating point operation");

  // Bars beyond the host's arrays.
  std::fill_n(buySell.values, kMaxBars, 0.0f);
  chart.SetRange(0, kMaxBars);
  buySell.last = kMaxBars;
  EXPECT_EQ(Again(), -1);
  EXPECT_EQ(chart.Error(), "Range check error");
  EXPECT_EQ(chart.R(kMaxIndex), 0.0f);

  chart.SetRange(-1, kMaxBars);
  EXPECT_EQ(Again(), -1);
  EXPECT_EQ(chart.Error(), "Range check error");
}

}  // namespace
}  // namespace msx
