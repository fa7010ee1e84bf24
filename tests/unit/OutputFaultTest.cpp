// The output files under faults: a full disk that cuts a line leaves the
// transaction file and the trade file as they were; writers that died leave
// no temporary settings files for long; two processes on one settings file
// never hand out one transaction number twice.
#include <gtest/gtest.h>
#include <signal.h>

#include <set>

#include "OrderRun.h"
#include "platform/Platform.h"
#include "trading/MSX_QMR_TradeFile.h"

namespace msx {
namespace {

using Lines = std::vector<std::string>;

class OutputFaults : public TradingTest {};

// A size limit that stops the append in the middle of its line: the call
// fails naming the file, which is byte for byte what it was; the next call
// (no limit) writes the order as one whole line, under its number.
TEST_F(OutputFaults, ACutOrderLineLeavesTheTransactionFileAsItWas) {
  const std::string orders = Path("orders.tri");
  Load(OrderSection("SEC1", orders));
  OrderRun run;
  ASSERT_EQ(run.Calc(1), 0);  // arms
  // The terminal's earlier lines: a file longer than the settings file, so
  // that only the append reaches the limit.
  WriteFile(orders, std::string(2000, 'x') + "\r\n");
  const std::string before = ReadFile(orders);
  EXPECT_EXIT(
      {
        LimitFileSize(before.size() + 40);
        const bool failed =
            run.Calc(2) == -1 &&
            run.chart.Error() == ("Cannot write Quik transaction file " + orders).substr(0, 99);
        std::_Exit(failed ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
  EXPECT_EQ(ReadFile(orders), before);
  ASSERT_EQ(run.Calc(2), 0) << run.chart.Error();
  ASSERT_EQ(run.Calc(2), 0);
  const Lines lines = FileLines(orders);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1],
            "TRANS_ID=2;ACCOUNT=ACC1;CLIENT_CODE=CL1;TYPE=L;CLASSCODE=QJSIM;SECCODE=SEC1;"
            "ACTION=NEW_ORDER;OPERATION=S;PRICE=101;QUANTITY=20;");
}

// The same for the trade file: the rows before the cut one stay, whole, and
// the call fails naming the file.
TEST_F(OutputFaults, ACutTradeRowLeavesTheRowsBeforeIt) {
  Load("[TradeFile]\r\nDirectory=" + folder_ + "\r\n");
  std::vector<float> prices, signal;
  for (int i = 0; i < 40; ++i) {
    prices.push_back(static_cast<float>(100 + i));
    signal.push_back(i % 2 == 0 ? 1.0f : -1.0f);
  }
  TestChart chart(prices);
  HostSeries& buySell = chart.AddSeries(signal);
  chart.series = {{&chart.data.close, &buySell}, 2};
  chart.AddCustom(kLongAndShort);
  chart.SetTexts({"Flip"});
  const auto call = [&] { return chart.Call(TradeFile); };
  const std::string file = Path("noname[Flip]SEC1[D].csv");
  ASSERT_EQ(call(), 0);
  const Lines whole = FileLines(file);
  ASSERT_EQ(whole.size(), 7u + 39u);  // a flip on every bar closes a trade
  const std::size_t limit = ReadFile(file).size() / 2;
  EXPECT_EXIT(
      {
        LimitFileSize(limit);
        const bool failed = call() == -1 && chart.Error() == ("Cannot write trade file " + file).substr(0, 99);
        std::_Exit(failed ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
  const std::string cut = ReadFile(file);
  EXPECT_LE(cut.size(), limit);
  EXPECT_GT(cut.size() + 60, limit);  // every row that fitted is there
  const Lines lines = FileLines(file);
  ASSERT_GT(lines.size(), 8u);
  for (std::size_t i = 1; i < lines.size(); ++i) EXPECT_EQ(lines[i], whole[i]) << "line " << i;
}

// What a host that died after recording an order leaves, by how much of
// the line went out: all of it (killed before it remembered the bar), a
// part (killed in the middle of the write), none (killed before it). The
// next calculation leaves the order's line in the file once, whole, under
// the recorded number. The record reads back as written, blanks at the end
// of the line too.
TEST_F(OutputFaults, ARecordedOrderIsFinishedOnceWhateverWentOut) {
  const std::string orders = Path("orders.tri");
  for (const std::size_t written : {std::string::npos, std::size_t{30}, std::size_t{0}}) {
    std::filesystem::remove(orders);
    Load(OrderSection("SEC1", orders) + "[TradeQuik]\r\nTransId=6\r\n");
    OrderRun run;
    ASSERT_EQ(run.Calc(1), 0);
    WriteFile(orders, "earlier line\r\n");
    ASSERT_EQ(run.Calc(2), 0);
    const std::string whole = ReadFile(orders);
    TradingSettings& s = *CurrentTradingSettings();
    const std::optional<RecordedOrder> order =
        ParseRecordedOrder(s.ReadText("C:\\Data\\SEC1(D)", "Order_ACC1_CL1_1", ""));
    ASSERT_TRUE(order.has_value());
    EXPECT_EQ(order->transId, 7);
    EXPECT_EQ(order->length, 14);
    ASSERT_TRUE(s.WriteText("C:\\Data\\SEC1(D)", "DateTime_ACC1_CL1_1", "20240101,0"));
    if (written != std::string::npos) WriteFile(orders, whole.substr(0, 14 + written));
    Load();
    ASSERT_EQ(run.Calc(2), 0) << run.chart.Error();
    EXPECT_EQ(ReadFile(orders), whole) << written;
  }
  const RecordedOrder blanks{{20240105, 1000000}, 12, 345, "A=1, B=2;  "};
  const std::optional<RecordedOrder> back = ParseRecordedOrder(RecordedOrderText(blanks));
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(back->line, blanks.line);
  EXPECT_FALSE(ParseRecordedOrder("20240105,0,12,x,line|").has_value());
}

// Temporary settings files of writers that no longer run go at load and
// before each write; a running writer's file and other names stay.
TEST_F(OutputFaults, TemporarySettingsFilesOfDeadWritersAreRemoved) {
  const auto deadProcess = [] {
    const pid_t child = fork();
    if (child == 0) std::_Exit(0);
    waitpid(child, nullptr, 0);
    return std::to_string(child);
  };
  const std::string settings = SettingsPath();
  const std::string live = ".tmp" + std::to_string(getpid()) + "_7";
  for (const std::string& suffix : {".tmp" + deadProcess() + "_1", live, std::string(".tmpx_1")})
    WriteFile(settings + suffix, "[TradeQuik]\r\nTransId=5\r\n");
  const auto left = [&] {
    const Lines names = FilesStartingWith(folder_, "msx_qmr.ini.tmp");
    return std::set<std::string>(names.begin(), names.end());
  };
  const std::set<std::string> kept{"msx_qmr.ini" + live, "msx_qmr.ini.tmpx_1"};
  TradingSettings& s = Load();
  EXPECT_EQ(left(), kept);
  WriteFile(settings + ".tmp" + deadProcess() + "_2", "x");
  ASSERT_TRUE(s.WriteText("TradeQuik", "TransId", "3"));
  EXPECT_EQ(left(), kept);
}

// Two hosts, each in a process of its own, trade one chart each, 1,000
// calculations each, with one settings file and one transaction file:
// every line whole, every transaction number once.
TEST(OrdersAcrossProcesses, TwoHostsOnOneSettingsFileNeverShareANumber) {
  constexpr int32_t kCalls = 1000;
  const std::string folder = ScratchFolder("two_hosts");
  const std::string settings = folder + "msx_qmr.ini";
  const std::string orders = folder + "orders.tri";
  WriteFile(settings, OrderSection("SEC1", orders) + OrderSection("SEC2", orders));
  std::vector<pid_t> hosts;
  for (const char* symbol : {"SEC1", "SEC2"}) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      LoadSettings(settings);
      OrderRun run(symbol);
      for (int32_t bars = 1; bars <= kCalls; ++bars)
        if (run.Calc(bars) != 0) std::_Exit(1);
      std::_Exit(0);
    }
    hosts.push_back(child);
  }
  for (const pid_t host : hosts) {
    int status = 0;
    waitpid(host, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  std::set<int32_t> ids;
  int32_t whole = 0;
  for (const OrderLine& o : OrderLines(orders)) {
    ids.insert(o.id);
    whole += o.whole;
  }
  EXPECT_EQ(whole, 2 * (kCalls - 1));  // the first calculation of each arms
  EXPECT_EQ(ids.size(), static_cast<std::size_t>(2 * (kCalls - 1)))
      << "a transaction number was handed out twice";
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace msx
