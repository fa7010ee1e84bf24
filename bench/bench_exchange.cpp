// The data exchange at the host's maximum of 65,500 bars: WriteData (lines
// and handoff), WriteDataEx (basic layout and patterns) and ReadData (take
// over, parse, align), on real files in the system's temporary folder.
// Intraday bars, 78 five-minute bars a day, so that times are parsed too.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "PriceData.h"
#include "Rates.h"
#include "common/Calendar.h"
#include "exchange/MSX_QMR_ReadData.h"
#include "exchange/MSX_QMR_WriteData.h"
#include "exchange/MSX_QMR_WriteDataEx.h"
#include "host/MSXStruct.h"
#include "platform/Platform.h"

namespace {

using msx::HostSeries;
using msx::kMaxBars;

struct IntradayChart {
  std::vector<msx::HostDateTimeEntry> dates;
  std::vector<float> close;
  std::vector<float> out = std::vector<float>(kMaxBars);
  char symbol[8] = "BENCH";
  msx::HostDataRecord data{};

  IntradayChart() : close(msxbench::RealBars().close) {
    int32_t year = 2000, month = 1, day = 3;
    for (int32_t i = 0; i < kMaxBars; ++i) {
      const int32_t slot = i % 78;
      if (i > 0 && slot == 0 && ++day > msx::DaysInMonth(year, month)) {
        day = 1;
        if (++month > 12) month = 1, ++year;
      }
      const int32_t minutes = 10 * 60 + 5 * slot;
      dates.push_back(
          {(year * 100 + month) * 100 + day, (minutes / 60 * 100 + minutes % 60) * 1000});
    }
    data.dates = dates.data();
    data.close = {close.data(), 0, kMaxBars - 1};
    data.symbol = symbol;
    data.period = 'I';
    data.interval = 5;
  }
  HostSeries Close() { return {close.data(), 0, kMaxBars - 1}; }
};

std::string Template() {
  return (std::filesystem::temp_directory_path() / "msx_bench_%S_%P.txt").string();
}
std::string FileName() {
  return (std::filesystem::temp_directory_path() / "msx_bench_BENCH_5.txt").string();
}
void RemoveFiles() {
  for (const char* suffix : {"", ".out", ".in"}) std::remove((FileName() + suffix).c_str());
}

void BM_WriteData(benchmark::State& state) {
  IntradayChart chart;
  const HostSeries close = chart.Close();
  const std::string t = Template();
  RemoveFiles();
  for (auto _ : state) {
    msx::BarRange r = msx::ComputeWriteData(chart.data, close, t, chart.out.data());
    benchmark::DoNotOptimize(r);
  }
  msxbench::Rates(state);
  RemoveFiles();
}
BENCHMARK(BM_WriteData)->Unit(benchmark::kMillisecond);

void BM_WriteDataEx(benchmark::State& state, const char* format) {
  IntradayChart chart;
  const HostSeries close = chart.Close();
  const HostSeries* const series[7] = {&close, &close, &close, &close, &close, &close, &close};
  const std::string t = Template();
  const msx::platform::LocaleFormats locale;  // the C locale's
  RemoveFiles();
  for (auto _ : state) {
    msx::BarRange r = msx::ComputeWriteDataEx(chart.data, series, format, t, chart.out.data(),
                                              msx::PlatformFiles(), &locale);
    benchmark::DoNotOptimize(r);
  }
  msxbench::Rates(state);
  RemoveFiles();
}
BENCHMARK_CAPTURE(BM_WriteDataEx, basic, "")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_WriteDataEx, patterns, "dd.mm.yyyy hh:nn|;%.2f;%.2f;%g")
    ->Unit(benchmark::kMillisecond);

// Each read takes a freshly published file over: between reads (untimed) the
// reader's copy goes back under the data file's name.
void BM_ReadData(benchmark::State& state) {
  IntradayChart chart;
  const HostSeries close = chart.Close();
  const std::string t = Template();
  RemoveFiles();
  msx::ComputeWriteData(chart.data, close, t, chart.out.data());
  for (auto _ : state) {
    msx::BarRange r = msx::ComputeReadData(chart.data, t, chart.out.data());
    benchmark::DoNotOptimize(r);
    state.PauseTiming();
    if (!msx::platform::RenameNoReplace(FileName() + ".in", FileName()).ok())
      state.SkipWithError("the reader's copy is missing");
    state.ResumeTiming();
  }
  msxbench::Rates(state);
  // The file holds 6 significant digits of each value.
  for (int32_t i = 0; i < kMaxBars; ++i) {
    const double written = chart.close[static_cast<std::size_t>(i)];
    if (std::fabs(chart.out[static_cast<std::size_t>(i)] - written) > 1e-5 * std::fabs(written)) {
      state.SkipWithError("the values read differ from the values written");
      break;
    }
  }
  RemoveFiles();
}
BENCHMARK(BM_ReadData)->Unit(benchmark::kMillisecond);

}  // namespace
