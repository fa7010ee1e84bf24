// A chart that trades at every bar, for the tests of TradeQuik across
// crashes, full disks and processes: the signal turns from long to short
// and back on each bar and the price of bar b is 100 + b, so that every
// order line tells its bar. Calc(bars) calculates the first `bars` bars, as
// a live chart growing bar by bar; the first calculation arms.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "TradingFixture.h"
#include "trading/MSX_QMR_TradeQUIK.h"

namespace msx {

struct OrderRun {
  TestChart chart;
  HostSeries& shortLong = chart.AddSeries({});
  HostSeries& price = chart.AddSeries({});
  HostSeries& quantity = chart.AddSeries({});

  explicit OrderRun(const std::string& symbol = "SEC1") {
    chart.data.symbol = chart.Text(symbol);
    chart.AddNumber(1);
    chart.AddCustom(kLimitOrder);
    chart.SetTexts({"ACC1", "CL1"});
  }

  int32_t Calc(int32_t bars) {
    std::vector<float> s(static_cast<size_t>(bars)), p(s.size());
    for (int32_t b = 0; b < bars; ++b) {
      s[static_cast<size_t>(b)] = b % 2 == 0 ? 1.0f : -1.0f;
      p[static_cast<size_t>(b)] = static_cast<float>(100 + b);
    }
    chart.SetCloses(p);
    chart.SetValues(shortLong, s);
    chart.SetValues(price, p);
    chart.SetValues(quantity, std::vector<float>(s.size(), 10.0f));
    return chart.Call(TradeQuik);
  }
};

// The settings section of OrderRun's chart on symbol, its orders going to file.
inline std::string OrderSection(const std::string& symbol, const std::string& file) {
  return "[C:\\Data\\" + symbol + "(D)]\r\nClassCode=QJSIM\r\nSecCode=" + symbol +
         "\r\nFile=" + file + "\r\n";
}

// One order line of OrderRun's charts: its number, its bar, and whether it
// is a whole line of the template.
struct OrderLine {
  int32_t id = 0;
  int32_t bar = -1;
  bool whole = false;
};

inline std::vector<OrderLine> OrderLines(const std::string& path) {
  std::vector<OrderLine> orders;
  for (const std::string& line : FileLines(path)) {
    OrderLine o;
    o.id = std::atoi(line.c_str() + line.find('=') + 1);
    const std::size_t price = line.find("PRICE=");
    if (price != std::string::npos) o.bar = std::atoi(line.c_str() + price + 6) - 100;
    o.whole = line.rfind("TRANS_ID=", 0) == 0 && line.ends_with(";QUANTITY=20;");
    orders.push_back(o);
  }
  return orders;
}

// A folder for tests that write the settings file thousands of times: in
// memory where the system has such a folder (each write is flushed to the
// disk, which would make them take minutes), else the test folder.
inline std::string ScratchFolder(const std::string& name) {
  const std::string base = std::filesystem::is_directory("/dev/shm") ? std::string("/dev/shm/")
                                                                       : ::testing::TempDir();
  const std::string folder = base + "msx_" + name + "_" + std::to_string(::getpid()) + "/";
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  return folder;
}

// The names in folder that start with prefix.
inline std::vector<std::string> FilesStartingWith(const std::string& folder,
                                                  const std::string& prefix) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(folder)) {
    const std::string name = e.path().filename().string();
    if (name.rfind(prefix, 0) == 0) names.push_back(name);
  }
  return names;
}

// Opens the settings at path as a freshly loaded library does.
inline void LoadSettings(const std::string& path) {
  CloseTradingSettings();
  OpenTradingSettings(path);
  ReadTradeFileSettings();
  ReadTradeQuikSettings();
}

}  // namespace msx
