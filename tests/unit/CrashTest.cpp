// TradeQuik's host killed in the middle of its calculations, then started
// again on the same settings file: every order goes out once, whatever the
// moment of the kill. A program of its own (about a minute), run by
// scripts/test.sh.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <chrono>
#include <iostream>
#include <map>
#include <random>
#include <set>

#include "JournalRows.h"
#include "KilledChild.h"
#include "OrderRun.h"

namespace msx {
namespace {

// A write beyond bytes ends the process with SIGXFSZ (and no core file).
void DieWritingBeyond(rlim_t bytes) {
  rlimit limit{};
  setrlimit(RLIMIT_CORE, &limit);
  limit.rlim_cur = limit.rlim_max = bytes;
  setrlimit(RLIMIT_FSIZE, &limit);
}

// What the transaction file must show: whole lines, numbers rising, no bar
// twice, and (orders on changes) every bar that a completed calculation
// ended on.
void ExpectEachOrderOnce(const std::string& orders, const std::set<int32_t>& completed,
                         bool everyBar) {
  std::set<int32_t> bars;
  int32_t lastId = 0;
  for (const OrderLine& o : OrderLines(orders)) {
    EXPECT_TRUE(o.whole) << "a broken line for bar " << o.bar;
    EXPECT_GT(o.id, lastId) << "bar " << o.bar;
    EXPECT_TRUE(bars.insert(o.bar).second) << "bar " << o.bar << " ordered twice";
    lastId = o.id;
  }
  for (const int32_t bar : completed) {
    if (everyBar) {
      EXPECT_TRUE(bars.count(bar - 1)) << "the order of bar " << bar - 1 << " is missing";
    }
  }
}

// The settings file parses and holds every setting; no temporary file is left.
void ExpectSettingsWhole(const std::string& folder, int32_t lastId) {
  TradingSettings check(folder + "msx_qmr.ini");
  EXPECT_GE(check.ReadInteger("TradeQuik", "TransId", 0), lastId);
  EXPECT_EQ(check.ReadText("TradeQuik", "Template", "?"), kDefaultTemplate);
  EXPECT_EQ(check.ReadText("TradeFile", "Author", "?"), "noname");
  EXPECT_EQ(FilesStartingWith(folder, "msx_qmr.ini.tmp"), std::vector<std::string>{});
}

// A child calculates the chart growing from `from` bars on and reports each
// completed calculation; it is killed after a random pause (within a load,
// a read, a write, an append). The next child starts with the chart of the
// killed calculation, or now and then one bar further on, so that bars are
// missed as when a host was closed. Orders=Position (with a journal) must
// then catch up: the position its lines add up to is the kept one, and the
// last bar's wanted one at the end.
void KillAtRandom(const std::string& name, int32_t restarts, bool position) {
  const std::string folder = ScratchFolder(name);
  const std::string orders = folder + "orders.tri";
  const std::string journal = folder + "journal.csv";
  WriteFile(folder + "msx_qmr.ini",
            OrderSection("SEC1", orders) +
                (position ? "Orders=Position\r\n[TradeQuik]\r\nJournal=" + journal + "\r\n"
                          : ""));
  LoadSettings(folder + "msx_qmr.ini");
  ASSERT_EQ(OrderRun().Calc(1), 0);  // armed long
  CloseTradingSettings();

  std::mt19937 random(15);
  std::set<int32_t> completed;
  int32_t from = 2;
  for (int32_t round = 0; round < restarts; ++round) {
    const KilledChild child = RunAndKill(
        [&](const std::function<void(int32_t)>& report) {
          LoadSettings(folder + "msx_qmr.ini");
          OrderRun run;
          for (int32_t bars = from;; ++bars) {
            if (run.Calc(bars) != 0) std::_Exit(3);
            report(bars);
          }
        },
        std::chrono::microseconds(random() % 25000), /*afterFirstReport=*/false);
    ASSERT_TRUE(child.killed) << "the child stopped by itself";
    completed.insert(child.reported.begin(), child.reported.end());
    const int32_t last = child.reported.empty() ? from - 1 : child.reported.back();
    from = last + 1 + (random() % 4 == 0 ? 1 : 0);
  }
  // The host started once more, calculating to the end.
  LoadSettings(folder + "msx_qmr.ini");
  ASSERT_EQ(OrderRun().Calc(from), 0);
  completed.insert(from);
  const std::string kept =
      CurrentTradingSettings()->ReadText("C:\\Data\\SEC1(D)", "Position_ACC1_CL1_1", "none");
  CloseTradingSettings();

  ExpectEachOrderOnce(orders, completed, !position);
  const std::vector<OrderLine> lines = OrderLines(orders);
  ExpectSettingsWhole(folder, lines.empty() ? 0 : lines.back().id);
  if (position) {
    int32_t sum = 1;  // armed long, each line a reversal of two units of 10
    for (const std::string& line : FileLines(orders))
      sum += line.find("OPERATION=B;") != std::string::npos ? 2 : -2;
    EXPECT_EQ(kept, std::to_string(sum));
    EXPECT_EQ(kept, (from - 1) % 2 == 0 ? "1" : "-1");  // in step with the last bar
    const std::vector<JournalFields> rows = JournalRows(journal);
    std::map<std::string, int32_t> outcomes;
    for (const JournalFields& row : rows) {
      EXPECT_EQ(row.size(), size_t{kJournalColumns});
      if (row.size() == kJournalColumns && &row != &rows.front()) ++outcomes[row[kJournalOutcome]];
    }
    std::cout << "[ summary  ] journal:";
    for (const auto& [outcome, count] : outcomes) std::cout << " " << count << " " << outcome << ";";
    std::cout << "\n";
  }
  std::cout << "[ summary  ] " << restarts << " kills, " << completed.size()
            << " completed calculations, " << lines.size() << " order lines over " << from
            << " bars\n";
  std::filesystem::remove_all(folder);
}

TEST(OrdersAcrossCrashes, KilledAtRandomMomentsEveryOrderGoesOutOnce) {
  KillAtRandom("crash_random", 400, /*position=*/false);
}

TEST(OrdersAcrossCrashes, KilledAtRandomMomentsPositionOrdersCatchUpOnce) {
  KillAtRandom("crash_position", 300, /*position=*/true);
}

// The kill between the append and the last bar's write, as the probe found
// it: the size limit lets the record and the line through and stops the
// settings file's next write with SIGXFSZ, which ends the process. The
// restarted host sends nothing more, and the killed writer's temporary file
// goes.
TEST(OrdersAcrossCrashes, KilledBetweenTheLineAndTheLastBarSeenTheOrderGoesOutOnce) {
  // The uninterrupted run, in a folder with a name as long: the settings
  // file's size after it is one more than the limit that stops the last write.
  OrderRun first, run;
  const auto prepare = [](const std::string& name, OrderRun& r) {
    const std::string folder = ScratchFolder(name);
    WriteFile(folder + "msx_qmr.ini", OrderSection("SEC1", folder + "orders.tri"));
    LoadSettings(folder + "msx_qmr.ini");
    r.chart.Date(1).time = 1000000;  // the last bar's key is longer than the first's
    EXPECT_EQ(r.Calc(1), 0);
    return folder;
  };
  const std::string whole = prepare("crash_a", first);
  ASSERT_EQ(first.Calc(2), 0);
  const std::string wholeOrders = ReadFile(whole + "orders.tri");
  std::string wholeSettings = ReadFile(whole + "msx_qmr.ini");
  const std::size_t limit = wholeSettings.size() - 1;

  const std::string folder = prepare("crash_b", run);
  EXPECT_EXIT(
      {
        DieWritingBeyond(limit);
        run.Calc(2);
        std::_Exit(0);
      },
      ::testing::KilledBySignal(SIGXFSZ), "");
  EXPECT_EQ(ReadFile(folder + "orders.tri"), wholeOrders);  // the line went out
  EXPECT_EQ(CurrentTradingSettings()->ReadText("C:\\Data\\SEC1(D)", "DateTime_ACC1_CL1_1", ""),
            "20240101,0");  // and the bar was not remembered
  EXPECT_EQ(FilesStartingWith(folder, "msx_qmr.ini.tmp").size(), 1u);

  LoadSettings(folder + "msx_qmr.ini");
  ASSERT_EQ(run.Calc(2), 0) << run.chart.Error();
  ASSERT_EQ(run.Calc(2), 0);
  EXPECT_EQ(ReadFile(folder + "orders.tri"), wholeOrders);
  for (std::size_t at; (at = wholeSettings.find("crash_a")) != std::string::npos;)
    wholeSettings.replace(at, 7, "crash_b");
  EXPECT_EQ(ReadFile(folder + "msx_qmr.ini"), wholeSettings);
  ExpectSettingsWhole(folder, 2);
  CloseTradingSettings();
  std::filesystem::remove_all(whole);
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace msx
