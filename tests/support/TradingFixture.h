// A chart and a settings file of its own for the trading functions' tests:
// every test gets a fresh folder holding the settings file, the trade files
// and the transaction file, and calls the exported functions as the host does.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "Exports.h"
#include "Poison.h"
#include "TempFolder.h"
#include "host/Export.h"
#include "host/MSXStruct.h"
#include "trading/TradingSettings.h"

namespace msx {

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

inline void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

inline std::vector<std::string> FileLines(const std::string& path) {
  std::vector<std::string> lines;
  const std::string text = ReadFile(path);
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t end = text.find("\r\n", at);
    if (end == std::string::npos) {
      lines.push_back(text.substr(at) + "<no CR LF>");
      break;
    }
    lines.push_back(text.substr(at, end - at));
    at = end + 2;
  }
  return lines;
}

// Makes every write beyond bytes fail in this process (for a death-test
// child): a full disk, as far as the process can tell.
inline void LimitFileSize(rlim_t bytes) {
  ::signal(SIGXFSZ, SIG_IGN);
  rlimit limit{};
  limit.rlim_cur = limit.rlim_max = bytes;
  ::setrlimit(RLIMIT_FSIZE, &limit);
}

// A host array of kMaxBars values with a valid range.
struct Series {
  std::vector<float> values = std::vector<float>(kMaxBars, 0.0f);
  HostSeries record{values.data(), 0, -1};
  Series() = default;
  Series(const Series&) = delete;
  void Set(const std::vector<float>& v) {
    std::copy(v.begin(), v.end(), values.begin());
    record.first = 0;
    record.last = static_cast<int32_t>(v.size()) - 1;
  }
};

// The chart: bars dated 2024-01-01 + i (dates only as the host gives them),
// times 0; a close series; texts; the result poisoned.
struct TradingChart {
  std::vector<HostDateTimeEntry> dates = std::vector<HostDateTimeEntry>(kMaxBars);
  Series close;
  std::vector<float> out = std::vector<float>(kMaxBars, kPoison);
  HostSeries result{out.data(), -77, -77};
  ResultRec rec{&result, {}};
  std::string securityName = "SEC1";
  std::string symbol = "SEC1";
  std::string folder = "C:\\Data";
  HostDataRecord data{};
  HostSeriesArgs series{};
  HostNumericArgs numeric{};
  HostStringArgs strings{};
  HostCustomArgs custom{};
  std::vector<std::string> texts;  // the string arguments

  TradingChart() {
    for (int32_t i = 0; i < kMaxBars; ++i) dates[static_cast<size_t>(i)] = {20240101 + i, 0};
    std::strcpy(rec.szExtendedError, "poison");
  }

  void SetClose(const std::vector<float>& v) { close.Set(v); }

  // Refreshes the record's pointers (texts may have changed).
  void Prepare(char period, int32_t interval) {
    data.dates = dates.data();
    data.close = close.record;
    data.high = data.low = close.record;
    data.securityName = securityName.data();
    data.symbol = symbol.data();
    data.securityPath = folder.data();
    data.period = static_cast<unsigned char>(period);
    data.interval = interval;
    strings.count = static_cast<int32_t>(texts.size());
    for (size_t i = 0; i < texts.size(); ++i) strings.items[i] = texts[i].data();
  }
  float R(int32_t i) const { return out[static_cast<size_t>(i)]; }
  std::string Error() const { return rec.szExtendedError; }
};

// A fresh folder and settings file per test; the settings opened and read
// as the library's load does.
class TradingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = temp_.Path() + "/";
    CloseTradingSettings();
  }
  void TearDown() override { CloseTradingSettings(); }

  std::string Path(const std::string& name) const { return folder_ + name; }
  std::string SettingsPath() const { return Path("msx_qmr.ini"); }

  // Writes the settings file's text (when given) and opens the settings as
  // the load does.
  TradingSettings& Load(const std::string& iniText = {}) {
    CloseTradingSettings();
    if (!iniText.empty()) WriteFile(SettingsPath(), iniText);
    OpenTradingSettings(SettingsPath());
    ReadTradeFileSettings();
    ReadTradeQuikSettings();
    return *CurrentTradingSettings();
  }

  TempFolder temp_{"trading_"};
  std::string folder_;
};

}  // namespace msx
