// The data exchange at the host's maximum of 65,500 bars: WriteData (lines
// and handoff), WriteDataEx (basic layout and patterns) and ReadData (take
// over, parse, align), on real files in the system's temporary folder.
// The chart has five-minute bars, so that times are parsed too.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "PriceData.h"
#include "Rates.h"
#include "exchange/MSX_QMR_ReadData.h"
#include "exchange/MSX_QMR_WriteData.h"
#include "exchange/MSX_QMR_WriteDataEx.h"
#include "host/MSXStruct.h"
#include "platform/Platform.h"

namespace {

using msx::HostSeries;
using msx::kMaxBars;

using msxbench::IntradayChart;

std::string Template() {
  return (std::filesystem::temp_directory_path() / "msx_bench_%S_%P.txt").string();
}
std::string FileName() {
  return (std::filesystem::temp_directory_path() / "msx_bench_BENCH_5.txt").string();
}
void RemoveFiles() {
  for (const char* suffix : {"", ".out", ".in"}) std::remove((FileName() + suffix).c_str());
}
// The size of the data file written or read, for the cost per byte.
void CountFileBytes(benchmark::State& state) {
  std::error_code error;
  const auto bytes = std::filesystem::file_size(FileName(), error);
  if (error) state.SkipWithError("the data file is missing");
  state.counters["file_bytes"] = error ? 0.0 : static_cast<double>(bytes);
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
  CountFileBytes(state);
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
  CountFileBytes(state);
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
  CountFileBytes(state);
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
