// A settings file of its own for the trading functions' tests: every test
// gets a fresh folder holding the settings file, the trade files and the
// transaction file, and calls the exported functions on a TestChart as the
// host does.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "Exports.h"
#include "TempFolder.h"
#include "TestChart.h"
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
