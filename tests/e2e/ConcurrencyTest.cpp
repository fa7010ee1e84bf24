// Charts calculated at once. The host calculates its charts on threads of
// its own, so every entry point of the library may run on several threads at
// the same time. Each thread here plays one chart, with bars, a symbol, a
// folder and files of its own, and calls every entry point round after
// round, the chart one bar longer each round; every answer, every value and
// every file must be those the same calls give on one thread alone. Charts
// that trade share the settings file and the transaction counter in it, and
// may share a transaction file: no order line may be lost or doubled, and no
// transaction number handed out twice.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <ostream>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "Chart.h"
#include "Csv.h"
#include "Files.h"
#include "HostRecords.h"
#include "LibraryFixture.h"
#include "LoadedLibrary.h"
#include "platform/Platform.h"

namespace msxtest {
namespace {

using msxhost::HostArray;
using msxhost::JoinPath;

constexpr int32_t kThreads = 8;
constexpr int32_t kRounds = 16;
constexpr int32_t kFirstBars = 200;  // a chart's bars in its first round

// Every chart's round starts when every chart's has. A mutex and a condition
// variable rather than std::barrier: the barrier of the MinGW runtime now and
// then lost a wakeup under Wine and left the charts waiting for good.
class RoundStart {
 public:
  explicit RoundStart(int32_t charts) : waiting_for_(charts), charts_(charts) {}
  void ArriveAndWait() {
    std::unique_lock<std::mutex> lock(mutex_);
    const int64_t round = round_;
    if (--waiting_for_ == 0) {
      NextRound();
      return;
    }
    wake_.wait(lock, [&] { return round_ != round; });
  }
  // A chart that stopped: the others go on without it.
  void ArriveAndDrop() {
    const std::lock_guard<std::mutex> lock(mutex_);
    --charts_;
    if (--waiting_for_ == 0) NextRound();
  }

 private:
  void NextRound() {
    ++round_;
    waiting_for_ = charts_;
    wake_.notify_all();
  }
  std::mutex mutex_;
  std::condition_variable wake_;
  int32_t waiting_for_;
  int32_t charts_;
  int64_t round_ = 0;
};

// What one call answered and left behind.
struct Outcome {
  std::string call;
  int32_t rc = 0;
  int32_t first = 0;
  int32_t last = -1;
  std::string error;
  std::vector<uint32_t> values;  // the result's valid range, bit for bit
  std::string file;              // what the call wrote, for the calls that write a file
  bool operator==(const Outcome&) const = default;
};

// An outcome that is only an answer.
Outcome Answer(std::string call, int32_t rc) {
  Outcome o;
  o.call = std::move(call);
  o.rc = rc;
  return o;
}

void PrintTo(const Outcome& o, std::ostream* os) {
  *os << o.call << ": rc " << o.rc << ", bars " << o.first << " to " << o.last << ", error \""
      << o.error << "\", " << o.values.size() << " values, file of " << o.file.size() << " bytes";
}

// Where two texts part: the first line that differs in each.
std::string FirstDifference(const std::string& a, const std::string& b) {
  const std::vector<std::string> x = CrLfLines(a), y = CrLfLines(b);
  for (std::size_t n = 0; n < std::max(x.size(), y.size()); ++n) {
    const std::string p = n < x.size() ? x[n] : "<none>", q = n < y.size() ? y[n] : "<none>";
    if (p != q) return "line " + std::to_string(n + 1) + ": \"" + p + "\" against \"" + q + "\"";
  }
  return "the same lines";
}

std::string FileText(const std::string& path) {
  std::string bytes;
  if (!msx::platform::ReadWholeFile(path, &bytes).ok()) return "<missing>";
  return bytes;
}

// The text without its first line (the trade file's creation time).
std::string AfterFirstLine(const std::string& text) {
  const std::size_t end = text.find('\n');
  return end == std::string::npos ? std::string() : text.substr(end + 1);
}

// Order lines with every transaction number taken out (into *ids): the
// numbers depend on which chart took one first, the rest of a line does not.
std::string WithoutTransIds(const std::string& text, std::vector<int32_t>* ids) {
  static constexpr std::string_view kKey = "TRANS_ID=";
  std::string out;
  std::size_t at = 0;
  for (;;) {
    const std::size_t key = text.find(kKey, at);
    if (key == std::string::npos) break;
    std::size_t end = key + kKey.size();
    int32_t id = 0;
    while (end < text.size() && text[end] >= '0' && text[end] <= '9')
      id = id * 10 + (text[end++] - '0');
    if (ids != nullptr) ids->push_back(id);
    out.append(text, at, key + kKey.size() - at).append("#");
    at = end;
  }
  return out.append(text, at);
}

// One chart: the bundled prices from an offset, and a signal that turns at
// every bar, so that each new last bar is an order.
struct ChartPlan {
  int32_t offset = 0;
  std::string symbol;
  std::string folder;  // the chart's files, and its settings section
};

msxhost::Chart ChartOf(const msxhost::Chart& prices, const ChartPlan& plan, int32_t bars) {
  msxhost::Chart chart;
  const std::ptrdiff_t from = plan.offset;
  const std::ptrdiff_t to = from + bars;
  const auto slice = [&](const auto& v) { return std::vector(v.begin() + from, v.begin() + to); };
  chart.dates = slice(prices.dates);
  chart.times = slice(prices.times);
  chart.high = slice(prices.high);
  chart.low = slice(prices.low);
  chart.close = slice(prices.close);
  msxhost::NamedSeries signal{"signal", {}};
  for (std::ptrdiff_t i = from; i < to; ++i) signal.values.push_back(i % 2 == 0 ? 1.0f : -1.0f);
  chart.extra.push_back(std::move(signal));
  chart.symbol = chart.securityName = plan.symbol;
  chart.folder = plan.folder;
  return chart;
}

// One call's records: the arguments in order, the result as the host
// prepares it.
class Call {
 public:
  Call& Series(HostArray array) {
    arrays_.push_back(std::move(array));
    args_.AddSeries(arrays_.back().series());
    return *this;
  }
  Call& Number(float value) {
    args_.AddNumber(value);
    return *this;
  }
  Call& Text(const std::string& text) {
    texts_.emplace_back(text);
    args_.AddString(texts_.back().data());
    return *this;
  }
  Call& Custom(int32_t id) {
    args_.AddCustom(id);
    return *this;
  }
  Outcome Run(const msxhost::LoadedLibrary& library, const char* name,
              const msxhost::ChartRecords& records) {
    Outcome o;
    o.call = name;
    o.rc = library.Call(name, records.data(), args_, *result_.record());
    o.first = result_.array().first();
    o.last = result_.array().last();
    o.error = result_.extendedError();
    for (int32_t i = std::max(o.first, 0); i <= std::min(o.last, msx::kMaxIndex); ++i)
      o.values.push_back(std::bit_cast<uint32_t>(result_.array().values()[static_cast<size_t>(i)]));
    return o;
  }

 private:
  std::vector<HostArray> arrays_;
  std::vector<msxhost::HostText> texts_;
  msxhost::HostArguments args_;
  msxhost::HostResult result_;
};

enum class Workload { kEveryEntryPoint, kOrdersOnly };

// One chart's rounds. With sync, every round starts when every chart's has.
std::vector<Outcome> RunChart(const msxhost::LoadedLibrary& library, const msxhost::Chart& prices,
                              const ChartPlan& plan, Workload workload, int32_t rounds,
                              RoundStart* sync) {
  std::vector<Outcome> outcomes;
  const std::string client = "CL_" + plan.symbol;
  for (int32_t round = 0; round < rounds; ++round) {
    if (sync != nullptr) sync->ArriveAndWait();
    const int32_t bars = kFirstBars + round;
    const msxhost::Chart chart = ChartOf(prices, plan, bars);
    const msxhost::ChartRecords records(chart);
    const auto close = [&] { return msxhost::MakeSeries(chart.close); };
    const auto constant = [&](float v) { return msxhost::ConstantSeries(v, bars); };
    const auto signal = [&] { return msxhost::MakeSeries(chart.extra[0].values); };

    Outcome order = Call()
                        .Series(signal())
                        .Text("ACC1")
                        .Text(client)
                        .Custom(0)
                        .Series(close())
                        .Series(constant(10))
                        .Number(1)
                        .Run(library, "TradeQuik", records);
    if (workload == Workload::kOrdersOnly) {
      outcomes.push_back(std::move(order));
      continue;
    }
    order.file = WithoutTransIds(FileText(JoinPath(plan.folder, "orders.tri")), nullptr);
    outcomes.push_back(std::move(order));

    // The host's description, read again through the four entry points.
    const msxhost::LoadedLibrary again(library.path());
    outcomes.push_back(Answer("describe", again.info() == library.info() ? 0 : 1));

    outcomes.push_back(Call().Series(close()).Series(constant(2)).Run(library, "NRTR", records));
    outcomes.push_back(Call()
                           .Series(close())
                           .Series(constant(10))
                           .Series(constant(2))
                           .Run(library, "NRTR_WATR", records));
    outcomes.push_back(Call().Series(close()).Number(10).Run(library, "CER", records));
    outcomes.push_back(
        Call().Series(close()).Number(2).Number(10).Custom(2).Run(library, "RENKO_WATR", records));
    outcomes.push_back(Call().Series(close()).Number(14).Number(0).Run(library, "JMA", records));
    outcomes.push_back(Call().Series(close()).Number(14).Run(library, "JTPO", records));

    Outcome written = Call()
                          .Series(close())
                          .Text(JoinPath(plan.folder, "wd_%S_%P.txt"))
                          .Run(library, "WriteData", records);
    written.file = FileText(JoinPath(plan.folder, "wd_" + plan.symbol + "_D.txt"));
    outcomes.push_back(std::move(written));
    Outcome writtenEx = Call()
                            .Text("dddd d mmmm yyyy hh:nn:ss|;%.2f;%1:12.4e;%2:n;%3:m;%6:g")
                            .Series(close())
                            .Series(msxhost::MakeSeries(chart.high))
                            .Series(msxhost::MakeSeries(chart.low))
                            .Series(close())
                            .Series(constant(1234567.5f))
                            .Series(constant(-0.5f))
                            .Series(signal())
                            .Text(JoinPath(plan.folder, "wdx_%S.txt"))
                            .Run(library, "WriteDataEx", records);
    writtenEx.file = FileText(JoinPath(plan.folder, "wdx_" + plan.symbol + ".txt"));
    outcomes.push_back(std::move(writtenEx));
    outcomes.push_back(
        Call().Text(JoinPath(plan.folder, "wd_%S_%P.txt")).Run(library, "ReadData", records));

    Outcome trades = Call().Series(close()).Series(signal()).Custom(2).Text("Flip").Run(
        library, "TradeFile", records);
    const std::string tradeFile =
        JoinPath(msxhost::FolderOf(library.path()), "conc[Flip]" + plan.symbol + "[D].csv");
    trades.file = AfterFirstLine(FileText(tradeFile));
    outcomes.push_back(std::move(trades));
  }
  return outcomes;
}

// The settings file: the trade files beside the library, and a section per
// chart naming its security and its transaction file.
std::string SettingsText(const LibraryFolder& lib, const std::vector<ChartPlan>& plans,
                         const std::vector<std::string>& transactionFiles) {
  std::string ini = "[TradeFile]\r\nAuthor=conc\r\nDirectory=" + lib.folder() + "\r\n";
  for (std::size_t k = 0; k < plans.size(); ++k) {
    ini += "[" + plans[k].folder + "\\" + plans[k].symbol +
           "(D)]\r\nClassCode=TQBR\r\nSecCode=" + plans[k].symbol +
           "\r\nFile=" + transactionFiles[k] + "\r\n";
  }
  return ini;
}

// The charts of one phase ("alone" or "together"): folders of their own.
std::vector<ChartPlan> Plans(const LibraryFolder& lib, const std::string& phase, int32_t charts) {
  std::vector<ChartPlan> plans;
  for (int32_t k = 0; k < charts; ++k) {
    ChartPlan& p = plans.emplace_back();
    p.offset = 37 * k;
    p.symbol = "SEC" + std::to_string(k);
    p.folder = lib.Path(phase + "_" + std::to_string(k));
    std::filesystem::create_directories(p.folder);
  }
  return plans;
}

// Runs every chart's rounds, each on a thread of its own, all at once.
std::vector<std::vector<Outcome>> RunTogether(const msxhost::LoadedLibrary& library,
                                              const msxhost::Chart& prices,
                                              const std::vector<ChartPlan>& plans,
                                              Workload workload, int32_t rounds) {
  std::vector<std::vector<Outcome>> outcomes(plans.size());
  RoundStart sync(static_cast<int32_t>(plans.size()));
  std::vector<std::thread> threads;
  for (std::size_t k = 0; k < plans.size(); ++k) {
    threads.emplace_back([&, k] {
      try {
        outcomes[k] = RunChart(library, prices, plans[k], workload, rounds, &sync);
      } catch (const std::exception& e) {
        outcomes[k].push_back(Answer(std::string("exception: ") + e.what(), -99));
        sync.ArriveAndDrop();  // the other charts go on without this one
      }
    });
  }
  for (std::thread& t : threads) t.join();
  return outcomes;
}

msxhost::Chart Prices() {
  return msxhost::ReadCsv(std::string(MSX_SOURCE_DIR) + "/data/goog-daily.csv");
}

// Each chart alone, then all of them at once: outcome for outcome the same.
// The transaction numbers of the charts together are each handed out once.
TEST(ChartsCalculatedAtOnce, EveryEntryPointAnswersAsItDoesAlone) {
  const msxhost::Chart prices = Prices();
  const LibraryFolder lib("e2e_concurrent", "");
  const std::vector<ChartPlan> alone = Plans(lib, "alone", kThreads);
  const std::vector<ChartPlan> together = Plans(lib, "together", kThreads);
  std::vector<ChartPlan> all = alone;
  all.insert(all.end(), together.begin(), together.end());
  std::vector<std::string> files;
  for (const ChartPlan& p : all) files.push_back(JoinPath(p.folder, "orders.tri"));
  msxhost::WriteWholeFile(lib.Path("msx_qmr.ini"), SettingsText(lib, all, files));
  const msxhost::LoadedLibrary library(lib.library());

  std::vector<std::vector<Outcome>> expected;
  for (const ChartPlan& p : alone)
    expected.push_back(RunChart(library, prices, p, Workload::kEveryEntryPoint, kRounds, nullptr));
  // Alone, every call does what it is there for: JMA and JTPO answer -1
  // where they are not offered, and the first round of TradeQuik only arms.
  const bool codePage = library.FindFunction("JMA") != nullptr;
  for (const Outcome& o : expected[0]) {
    const bool offered = codePage || (o.call != "JMA" && o.call != "JTPO");
    ASSERT_EQ(o.rc, offered ? 0 : -1) << o.call << ": " << o.error;
  }
  ASSERT_EQ(CrLfLines(FileText(files[0])).size(), static_cast<std::size_t>(kRounds - 1));

  const std::vector<std::vector<Outcome>> actual =
      RunTogether(library, prices, together, Workload::kEveryEntryPoint, kRounds);
  std::vector<int32_t> ids;
  for (std::size_t k = 0; k < together.size(); ++k) {
    ASSERT_EQ(actual[k].size(), expected[k].size())
        << "chart " << k << ": " << actual[k].back().call;
    for (std::size_t n = 0; n < actual[k].size(); ++n)
      EXPECT_EQ(actual[k][n], expected[k][n])
          << "chart " << k << ", call " << n
          << "; files: " << FirstDifference(actual[k][n].file, expected[k][n].file);
    WithoutTransIds(FileText(JoinPath(together[k].folder, "orders.tri")), &ids);
  }
  EXPECT_EQ(ids.size(), static_cast<std::size_t>(kThreads * (kRounds - 1)));
  EXPECT_EQ(std::set<int32_t>(ids.begin(), ids.end()).size(), ids.size())
      << "a transaction number was handed out twice";
}

// Two charts trading at once into one transaction file: every order of
// each goes in once, as a whole line, under a number of its own.
TEST(ChartsCalculatedAtOnce, TwoChartsAppendEveryOrderToOneTransactionFile) {
  const msxhost::Chart prices = Prices();
  const LibraryFolder lib("e2e_concurrent_orders", "");
  const std::vector<ChartPlan> alone = Plans(lib, "alone", 2);
  const std::vector<ChartPlan> together = Plans(lib, "together", 2);
  const std::string aloneFile = lib.Path("alone.tri");
  const std::string sharedFile = lib.Path("shared.tri");
  msxhost::WriteWholeFile(lib.Path("msx_qmr.ini"),
                          SettingsText(lib, {alone[0], alone[1], together[0], together[1]},
                                       {aloneFile, aloneFile, sharedFile, sharedFile}));
  const msxhost::LoadedLibrary library(lib.library());
  const int32_t rounds = 4 * kRounds;

  std::vector<std::vector<Outcome>> expected;
  for (const ChartPlan& p : alone)
    expected.push_back(RunChart(library, prices, p, Workload::kOrdersOnly, rounds, nullptr));
  const std::vector<std::vector<Outcome>> actual =
      RunTogether(library, prices, together, Workload::kOrdersOnly, rounds);
  for (std::size_t k = 0; k < together.size(); ++k) {
    ASSERT_EQ(actual[k].size(), expected[k].size()) << "chart " << k;
    for (std::size_t n = 0; n < actual[k].size(); ++n)
      EXPECT_EQ(actual[k][n], expected[k][n]) << "chart " << k << ", round " << n;
  }

  // The lines of both charts, in whatever order they came.
  std::vector<int32_t> ids;
  std::vector<std::string> want = CrLfLines(WithoutTransIds(FileText(aloneFile), nullptr));
  std::vector<std::string> got = CrLfLines(WithoutTransIds(FileText(sharedFile), &ids));
  ASSERT_EQ(want.size(), static_cast<std::size_t>(2 * (rounds - 1)));
  EXPECT_EQ(got.size(), want.size());
  std::sort(want.begin(), want.end());
  std::sort(got.begin(), got.end());
  std::string sortedWant, sortedGot;
  for (const std::string& line : want) sortedWant += line + "\r\n";
  for (const std::string& line : got) sortedGot += line + "\r\n";
  EXPECT_TRUE(got == want) << FirstDifference(sortedGot, sortedWant);
  EXPECT_EQ(std::set<int32_t>(ids.begin(), ids.end()).size(), ids.size())
      << "a transaction number was handed out twice";
}

}  // namespace
}  // namespace msxtest
