// The trading outputs at the host's maximum of 65,500 bars, with a position
// change every 65 bars. TradeFile: the walk over the bars and about 1,000
// trades, the trade file written line by line (each line with its own open,
// append and close). TradeQuik: the walk over the bars, the settings read
// from the settings file, and, when the last bar is new and brings a change,
// one order line appended to the transaction file with the settings file
// written twice (the transaction number, then the last bar seen).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "PriceData.h"
#include "Rates.h"
#include "host/MSXStruct.h"
#include "trading/MSX_QMR_TradeFile.h"
#include "trading/MSX_QMR_TradeQUIK.h"
#include "trading/TradingSettings.h"

namespace {

using msx::kMaxBars;

constexpr int32_t kBarsPerPosition = 65;

// Long and short by turns, kBarsPerPosition bars each: 1,007 changes.
std::vector<float> FlipSignal() {
  std::vector<float> signal(kMaxBars);
  for (int32_t i = 0; i < kMaxBars; ++i)
    signal[static_cast<size_t>(i)] = (i / kBarsPerPosition) % 2 ? -1.0f : 1.0f;
  return signal;
}

// A fresh folder of the system's temporary folder, removed with the object.
struct ScratchFolder {
  std::string path;
  explicit ScratchFolder(const char* name)
      : path((std::filesystem::temp_directory_path() / name).string()) {
    std::filesystem::remove_all(path);
    std::filesystem::create_directories(path);
  }
  ~ScratchFolder() { std::filesystem::remove_all(path); }
  std::string File(const char* name) const { return path + "/" + name; }
};

// The lines of a file (none when it is missing).
int64_t LinesIn(const std::string& path) {
  int64_t lines = 0;
  std::ifstream in(path, std::ios::binary);
  for (std::string line; std::getline(in, line);) ++lines;
  return lines;
}

void BM_TradeFile(benchmark::State& state) {
  const msxbench::Bars& bars = msxbench::RealBars();
  std::vector<float> close = bars.close;
  std::vector<float> signal = FlipSignal();
  std::vector<msx::HostDateTimeEntry> dates(kMaxBars);
  for (int32_t i = 0; i < kMaxBars; ++i) dates[static_cast<size_t>(i)] = {19000101 + i, 0};
  std::vector<float> out(kMaxBars);
  char name[] = "SEC1";
  msx::HostDataRecord data{};
  data.dates = dates.data();
  data.close = {close.data(), 0, kMaxBars - 1};
  data.securityName = name;
  data.period = 'D';
  const msx::HostSeries price{close.data(), 0, kMaxBars - 1};
  const msx::HostSeries buySell{signal.data(), 0, kMaxBars - 1};
  const ScratchFolder folder("msx_bench_tradefile");
  const msx::TradeFileSettings settings{"bench", folder.path, true};
  for (auto _ : state) {
    msx::BarRange r = msx::ComputeTradeFile(data, price, buySell, msx::kLongAndShort, "flip",
                                            settings, out.data());
    benchmark::DoNotOptimize(r);
  }
  state.counters["trades"] = static_cast<double>(kMaxBars / kBarsPerPosition);
  state.counters["file_lines"] =
      static_cast<double>(LinesIn(msx::TradeFilePath(settings, "flip", "SEC1", "D")));
  msxbench::Rates(state);
}
BENCHMARK(BM_TradeFile)->Unit(benchmark::kMillisecond);

// A live five-minute chart whose strategy turns every 65 bars. The
// settings file beside the library holds the security's section. The
// first calculation (untimed) arms the strategy: it remembers the last bar
// without sending anything. Then:
//   new_bar:  every calculation sees a new last bar (the next five-minute
//             stamp) on which the position turns, so every call appends one
//             order line;
//   same_bar: the chart is calculated again without a new bar, so no call
//             sends anything (the host recalculates on every tick).
void BM_TradeQuik(benchmark::State& state, bool newBar) {
  msxbench::IntradayChart chart;
  std::vector<float> signal = FlipSignal();
  signal.back() = -signal[kMaxBars - 2];  // the last bar turns
  std::vector<float> quantity(kMaxBars, 10.0f);
  const msx::HostSeries shortLong{signal.data(), 0, kMaxBars - 1};
  const msx::HostSeries price = chart.Close();
  const msx::HostSeries lots{quantity.data(), 0, kMaxBars - 1};
  const msx::TradeQuikInputs in{&shortLong, &price, &lots, "ACC1", "CL1", msx::kLimitOrder, 1.0f};
  char securityFolder[] = "C:\\Data";
  chart.data.securityPath = securityFolder;

  const ScratchFolder folder("msx_bench_tradequik");
  const std::string orders = folder.File("orders.tri");
  std::ofstream(folder.File("msx_qmr.ini"), std::ios::binary)
      << "[TradeQuik]\r\nTransId=1\r\n"
      << "[" << msx::SecuritySectionName(chart.data) << "]\r\nClassCode=QJSIM\r\nSecCode=SBER\r\n"
      << "File=" << orders << "\r\n";
  msx::TradingSettings settings(folder.File("msx_qmr.ini"));
  settings.tradeQuik.templateText = msx::kDefaultTemplate;

  msx::ComputeTradeQuik(chart.data, in, settings, chart.out.data());  // arms
  for (auto _ : state) {
    if (newBar) chart.dates.back() = chart.clock.Next();
    msx::BarRange r = msx::ComputeTradeQuik(chart.data, in, settings, chart.out.data());
    benchmark::DoNotOptimize(r);
  }
  const int64_t sent = LinesIn(orders);
  if (sent != (newBar ? state.iterations() : 0))
    state.SkipWithError("the orders sent differ from the new bars");
  state.counters["orders_per_call"] =
      static_cast<double>(sent) / static_cast<double>(state.iterations());
  msxbench::Rates(state);
}
BENCHMARK_CAPTURE(BM_TradeQuik, new_bar, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TradeQuik, same_bar, false)->Unit(benchmark::kMillisecond);

}  // namespace
