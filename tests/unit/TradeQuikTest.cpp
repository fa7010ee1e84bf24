// TradeQuik: the order-line promise (exactly one line per position change
// on a new last bar; none on recalculation, reload or restart; none lost),
// the lines and results, the settings it reads and their error messages in
// order, section names, and hostile inputs.

#include <cmath>
#include <limits>

#include "TradeQuikCall.h"

namespace msx {
namespace {

TEST_F(TradeQuikCall, OneLinePerChangeOnANewLastBarNeverARepeat) {
  signal = {0, 0, 0};
  ASSERT_EQ(Run(), 0) << chart.Error();  // the first calculation arms
  EXPECT_EQ(Orders(), Lines{});
  EXPECT_EQ(Seen(), "20240103,0");
  EXPECT_EQ(chart.result.first, 0);
  EXPECT_EQ(chart.result.last, 2);
  EXPECT_EQ(chart.R(2), 0.0f);
  EXPECT_EQ(chart.Error(), "poison");  // success leaves the text alone

  signal = {0, 0, 0, 1};  // a new bar: long
  ASSERT_EQ(Run(), 0) << chart.Error();
  EXPECT_EQ(Orders(), Lines{Line(2, "B", "101.5", 10)});
  EXPECT_EQ(chart.R(3), 10.0f);
  EXPECT_EQ(Seen(), "20240104,0");
  ASSERT_EQ(Run(), 0);  // the same bar again
  ASSERT_EQ(Run(), 0);
  EXPECT_EQ(Orders().size(), 1u);
  EXPECT_EQ(chart.R(3), 0.0f);  // seen: no order found any more

  Load();  // the host restarted: the settings read anew
  ASSERT_EQ(Run(), 0);
  EXPECT_EQ(Orders().size(), 1u);

  signal = {0, 0, 0, 1, -1};  // long to short: twice the unit
  ASSERT_EQ(Run(), 0);
  EXPECT_EQ(Orders(), (Lines{Line(2, "B", "101.5", 10), Line(3, "S", "101.5", 20)}));
  EXPECT_EQ(chart.R(4), -20.0f);
  EXPECT_EQ(CurrentTradingSettings()->ReadText("TradeQuik", "TransId", ""), "3");
}

// A chart shown for a while with fewer bars (still loading) must not move
// the last bar seen back: the order of the newer bar would go out again.
TEST_F(TradeQuikCall, TheLastBarSeenNeverMovesBack) {
  signal = {0, 0};
  ASSERT_EQ(Run(), 0);
  signal = {0, 0, 1};
  ASSERT_EQ(Run(), 0);
  EXPECT_EQ(Orders().size(), 1u);
  signal = {0};
  ASSERT_EQ(Run(), 0);
  EXPECT_EQ(Seen(), "20240103,0");
  signal = {0, 0, 1};
  ASSERT_EQ(Run(), 0);
  EXPECT_EQ(Orders().size(), 1u);
  // A value that is no bar is replaced by the last bar.
  CurrentTradingSettings()->WriteText(kSection, kKey, "garbage");
  ASSERT_EQ(Run(), 0);
  EXPECT_EQ(Seen(), "20240103,0");
  EXPECT_EQ(Orders().size(), 1u);
}

TEST_F(TradeQuikCall, ChangesBeforeTheLastBarCountButSendNothing) {
  signal = {0, 0};
  ASSERT_EQ(Run(), 0);
  signal = {0, 0, 1, -1, -1};
  ASSERT_EQ(Run(), 0);
  EXPECT_EQ(Orders(), Lines{});
  EXPECT_EQ(chart.R(1), 0.0f);
  EXPECT_EQ(chart.R(2), 10.0f);
  EXPECT_EQ(chart.R(3), -10.0f);
  EXPECT_EQ(chart.R(4), -10.0f);
  EXPECT_EQ(Seen(), "20240105,0");
}

TEST_F(TradeQuikCall, IdentZeroWritesNothingAtAll) {
  CurrentTradingSettings()->WriteText(kSection, "DateTime_ACC1_CL1_0", "20240102,0");
  signal = {0, 0, 1};
  ASSERT_EQ(Run(0.4f), 0);  // rounds to 0
  EXPECT_EQ(Orders(), Lines{});
  EXPECT_EQ(chart.R(2), 10.0f);  // the change is found, but not sent
  EXPECT_EQ(Seen("DateTime_ACC1_CL1_0"), "20240102,0");
  EXPECT_FALSE(CurrentTradingSettings()->SectionHasKeys("TradeQuik") &&
               CurrentTradingSettings()->ReadText("TradeQuik", "TransId", "") != "");
}

TEST_F(TradeQuikCall, MarketOrdersPricesAndTheTemplate) {
  CurrentTradingSettings()->WriteText(kSection, "Template", "ID=%N;X=%x;T=%T;P=%P;%%;%");
  CurrentTradingSettings()->WriteText("TradeQuik", "TransId", "4");
  signal = {0};
  ASSERT_EQ(Run(), 0);
  signal = {0, -1};
  ASSERT_EQ(Run(1, 0.12345f, 3, kMarketOrder), 0);
  EXPECT_EQ(Orders(), Lines{"ID=5;X=;T=M;P=0.123;%;"});
  EXPECT_EQ(FormatOrderPrice(101.5), "101.5");
  EXPECT_EQ(FormatOrderPrice(12), "12");
  EXPECT_EQ(FormatOrderPrice(0.0004), "0");
  EXPECT_EQ(FormatOrderPrice(-0.0004), "0");
  EXPECT_EQ(FormatOrderPrice(-2.25), "-2.25");
  EXPECT_EQ(FormatOrderPrice(1e9), "1000000000");
}

TEST_F(TradeQuikCall, SettingsAndTheirMessagesInOrder) {
  // A new section is created for the user to fill in.
  chart.data.securityPath = chart.Text("C:\\New");
  signal = {0, 1};
  ASSERT_EQ(Run(), -1);
  EXPECT_EQ(chart.Error(), "ClassCode is not defined");
  EXPECT_EQ(chart.result.first, -77);
  TradingSettings& s = *CurrentTradingSettings();
  EXPECT_TRUE(s.SectionHasKeys("C:\\New\\SEC1(D)"));
  EXPECT_EQ(s.ReadText("C:\\New\\SEC1(D)", "SecCode", "none"), "");

  struct Step {
    const char* key;
    const char* value;
    const char* message;
  };
  chart.data.securityPath = chart.Text("C:\\Data");
  chart.SetTexts({"", ""});
  const std::string transactions = Transactions();
  s.WriteText(kSection, "Template", "");
  s.WriteText(kSection, "SecCode", "");
  s.WriteText(kSection, "ClassCode", "");
  s.WriteText(kSection, "File", "");
  for (const Step& step :
       {Step{"Account", "ACC1", "Account is not defined"},
        Step{"ClientCode", "CL1", "ClientCode is not defined"},
        Step{"ClassCode", "QJSIM", "ClassCode is not defined"},
        Step{"Template", kDefaultTemplate, "Template is not defined"},
        Step{"SecCode", "SBER", "SecCode is not defined"},
        Step{"File", transactions.c_str(), "Quik transaction file is not defined"}}) {
    ASSERT_EQ(Run(), -1);
    EXPECT_EQ(chart.Error(), step.message);
    s.WriteText(kSection, step.key, step.value);  // from the section
  }
  ASSERT_EQ(Run(), 0) << chart.Error();
  EXPECT_EQ(Seen(), "20240102,0");
  EXPECT_EQ(Orders(), Lines{});
}

TEST_F(TradeQuikCall, AnEmptyFileKeyOverridesTheDefaultAnAbsentOneDoesNot) {
  Load("[TradeQuik]\r\nFile=" + Transactions() + "\r\n[" + kSection +
       "]\r\nClassCode=QJSIM\r\nSecCode=SBER\r\n");
  signal = {0};
  EXPECT_EQ(Run(), 0) << chart.Error();
  CurrentTradingSettings()->WriteText(kSection, "File", "");
  EXPECT_EQ(Run(), -1);
  EXPECT_EQ(chart.Error(), "Quik transaction file is not defined");
}

TEST_F(TradeQuikCall, SectionNames) {
  HostDataRecord d{};
  char path[] = "C:\\Data";
  char symbol[] = "SEC1";
  d.securityPath = path;
  d.symbol = symbol;
  const auto name = [&](char letter, int32_t interval) {
    d.period = static_cast<unsigned char>(letter);
    d.interval = interval;
    return SecuritySectionName(d);
  };
  EXPECT_EQ(name('D', 0), "C:\\Data\\SEC1(D)");
  EXPECT_EQ(name('Y', 7), "C:\\Data\\SEC1(Y)");
  EXPECT_EQ(name('I', 5), "C:\\Data\\SEC1(5)");
  EXPECT_EQ(name('I', 0), "C:\\Data\\SEC1(T)");
  EXPECT_EQ(name('d', 0), "");
  EXPECT_EQ(name('X', 0), "");
}

// A chart whose section has no name cannot keep settings: the call stops at
// the first missing one and the file is left as it was.
TEST_F(TradeQuikCall, TheNamelessSectionHoldsNothing) {
  const std::string before = ReadFile(SettingsPath());
  signal = {0, 1};
  chart.data.period = 'd';
  EXPECT_EQ(Run(1, 100), -1);
  EXPECT_EQ(chart.Error(), "ClassCode is not defined");
  EXPECT_EQ(ReadFile(SettingsPath()), before);
}

// The line cannot be written: the call fails naming the file, and the bar
// stays unseen, so the next calculation sends the order, with the number
// it was recorded with.
TEST_F(TradeQuikCall, AnOrderThatCannotBeWrittenFailsAndIsSentNextTime) {
  const std::string folder = Path("terminal");
  const std::string file = folder + "/" + std::string(120, 'o') + ".tri";
  Load(SectionText(file));
  signal = {0};
  ASSERT_EQ(Run(), 0);
  signal = {0, 1};
  ASSERT_EQ(Run(), -1);
  EXPECT_EQ(chart.Error(), ("Cannot write Quik transaction file " + file).substr(0, 99));
  EXPECT_EQ(Seen(), "20240101,0");
  std::filesystem::create_directories(folder);
  ASSERT_EQ(Run(), 0) << chart.Error();
  EXPECT_EQ(FileLines(file), Lines{Line(2, "B", "101.5", 10)});
  ASSERT_EQ(Run(), 0);
  EXPECT_EQ(FileLines(file).size(), 1u);
}

// The settings file cannot be written: no order goes out (it could never be
// remembered and would repeat at every calculation).
TEST_F(TradeQuikCall, ASettingsFileThatCannotBeWrittenStopsTheOrder) {
  signal = {0};
  ASSERT_EQ(Run(), 0);
  signal = {0, 1};
  EXPECT_EXIT(
      {
        LimitFileSize(10);
        const bool failed = Run() == -1 && chart.Error() == "Cannot write settings file " +
                                                                SettingsPath().substr(0, 72);
        std::_Exit(failed && !std::filesystem::exists(Transactions()) ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
  // A key that could not be stored (an "=" in the account) likewise.
  chart.SetTexts({"A=1", "CL1"});
  EXPECT_EQ(Run(), -1);
  EXPECT_EQ(chart.Error().rfind("Cannot write settings file ", 0), 0u);
  EXPECT_EQ(Orders(), Lines{});
}

TEST_F(TradeQuikCall, ARangeEndingAtBarZeroIsProcessed) {
  signal = {1};
  ASSERT_EQ(Run(), 0) << chart.Error();
  EXPECT_EQ(chart.result.first, 0);
  EXPECT_EQ(chart.result.last, 0);
  EXPECT_EQ(chart.R(0), 0.0f);
  EXPECT_EQ(Seen(), "20240101,0");
}

TEST_F(TradeQuikCall, HostileInputsFailCleanlyAndSendNothing) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  signal = {0};
  ASSERT_EQ(Run(), 0);
  struct Case {
    std::vector<float> signal;
    float ident, price, unit;
    const char* message;
  };
  for (const Case& c : {Case{{0, nan}, 1, 100, 10, "Invalid floating point operation"},
                        Case{{0, 3e9f}, 1, 100, 10, "Range check error"},
                        Case{{0, 1}, 1, 100, 3e9f, "Range check error"},
                        Case{{1, -1}, 1, 100, 2e9f, "Integer overflow"},
                        Case{{0, 1}, nan, 100, 10, "Invalid floating point operation"},
                        Case{{0, 1}, 1, nan, 10, "Invalid floating point operation"},
                        Case{{0, 1},
                             1,
                             std::numeric_limits<float>::infinity(),
                             10,
                             "Invalid floating point operation"}}) {
    signal = c.signal;
    EXPECT_EQ(Run(c.ident, c.price, c.unit), -1);
    EXPECT_EQ(chart.Error(), c.message);
  }
  EXPECT_EQ(Orders(), Lines{});
  EXPECT_EQ(CurrentTradingSettings()->ReadText("TradeQuik", "TransId", "none"), "none");

  // Broken ranges.
  signal = {0, 1};
  Run();
  chart.SetRange(-3, 1);
  EXPECT_EQ(Call(), -1);
  EXPECT_EQ(chart.Error(), "Range check error");
  chart.SetRange(0, kMaxBars + 5);
  shortLong.last = price.last = quantity.last = kMaxBars + 5;
  EXPECT_EQ(Call(), -1);
  EXPECT_EQ(chart.Error(), "Range check error");

  // Long texts and brackets: a defined result and a file that still reads.
  chart.SetTexts({std::string(5000, 'a'), "CL1"});
  chart.data.symbol = chart.Text("S[E]C=1");
  chart.data.securityPath = chart.Text("C:\\Data");
  signal = {0, 1};
  EXPECT_EQ(Run(), -1);  // "]" in the section: the section cannot hold ClassCode
  EXPECT_EQ(chart.Error(), "ClassCode is not defined");
  chart.data.symbol = chart.Text("SEC1");
  EXPECT_EQ(Run(), 0) << chart.Error();
  EXPECT_EQ(CurrentTradingSettings()->ReadText(kSection, "ClassCode", ""), "QJSIM");
  EXPECT_EQ(Seen("DateTime_" + std::string(5000, 'a') + "_CL1_1"), "20240102,0");
}

}  // namespace
}  // namespace msx
