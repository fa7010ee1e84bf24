// TradeQuik called as the host calls it, on a chart of one security whose
// section sends to a transaction file in the test's folder: the fixture of
// the tests of its orders and of the keys that stop and cap them.
#pragma once

#include <string>
#include <vector>

#include "TradingFixture.h"
#include "trading/MSX_QMR_TradeQUIK.h"

namespace msx {

inline constexpr const char* kSection = "C:\\Data\\SEC1(D)";
inline constexpr const char* kKey = "DateTime_ACC1_CL1_1";

// The default template's line for the fixture's security.
inline std::string Line(int32_t id, const char* operation, const char* price, int32_t quantity,
                 const char* type = "L") {
  return "TRANS_ID=" + std::to_string(id) + ";ACCOUNT=ACC1;CLIENT_CODE=CL1;TYPE=" + type +
         ";CLASSCODE=QJSIM;SECCODE=SBER;ACTION=NEW_ORDER;OPERATION=" + operation +
         ";PRICE=" + price + ";QUANTITY=" + std::to_string(quantity) + ";";
}

class TradeQuikCall : public TradingTest {
 protected:
  TestChart chart;
  HostSeries& shortLong = chart.AddSeries({});
  HostSeries& price = chart.AddSeries({});
  HostSeries& quantity = chart.AddSeries({});
  std::vector<float> signal;

  void SetUp() override {
    TradingTest::SetUp();
    Load(SectionText());
    chart.SetTexts({"ACC1", "CL1"});
  }
  std::string Transactions() const { return Path("orders.tri"); }
  std::string SectionText(const std::string& file = {}) const {
    return std::string("[") + kSection + "]\r\nClassCode=QJSIM\r\nSecCode=SBER\r\nFile=" +
           (file.empty() ? Transactions() : file) + "\r\n";
  }

  // One calculation over the bars of signal, every bar at the same price and
  // quantity unit.
  int32_t Run(float ident = 1, float px = 101.5f, float unit = 10,
              int32_t orderType = kLimitOrder) {
    const size_t n = signal.size();
    chart.SetCloses(std::vector<float>(n, px));
    chart.SetValues(shortLong, signal);
    chart.SetValues(price, std::vector<float>(n, px));
    chart.SetValues(quantity, std::vector<float>(n, unit));
    return Call(ident, orderType);
  }
  int32_t Call(float ident = 1, int32_t orderType = kLimitOrder) {
    chart.numeric = {{ident}, 1};
    chart.custom = {{orderType}, 1};
    return chart.Call(TradeQuik);
  }
  std::vector<std::string> Orders() const { return FileLines(Transactions()); }
  std::string Seen(const std::string& key = kKey) const {
    return CurrentTradingSettings()->ReadText(kSection, key, "none");
  }
};

using Lines = std::vector<std::string>;

}  // namespace msx
