// TradeQuik: a position signal turned into order lines appended to the
// transaction file of the Quik and NetInvestor trading terminals: exactly
// one line per position change on a new last bar, never a repeat when the
// same bar is calculated again, the chart reloaded or the host restarted.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "common/Checked.h"
#include "common/FunctionTable.h"
#include "host/MSXStruct.h"
#include "trading/OrderRecord.h"
#include "trading/TradingSettings.h"

namespace msx {

extern const FunctionTable kTradeQuikTable;

// Order types, the IDs of the fourth argument's choices.
enum OrderType : int32_t { kLimitOrder = 0, kMarketOrder = 1 };

inline constexpr const char* kCannotWriteSettings = "Cannot write settings file ";
inline constexpr const char* kCannotWriteTransactions = "Cannot write Quik transaction file ";

// The settings section of a chart: path\symbol(D) for the period letters D W
// M Q Y, path\symbol(interval) for I (path\symbol(T) for interval 0), the
// empty name for anything else (lower-case letters included).
std::string SecuritySectionName(const HostDataRecord& data);

// The order price as "0.###": at least one digit before the point, at most
// three decimals, no trailing zeros, no bare point ("101.5", "12", "0.123").
std::string FormatOrderPrice(double price);

// The values an order line's placeholders stand for.
struct OrderFields {
  int32_t transId;
  std::string account;
  std::string clientCode;
  int32_t orderType;
  std::string classCode;
  std::string secCode;
  int32_t direction;  // 1 buy, -1 sell
  double price;
  int32_t quantity;
};

// The template with its placeholders replaced, left to right: %N %A %C %T %M
// %S %O %P %Q and %% as their fields; a percent sign followed by any other
// character is dropped with it, one at the very end alone.
std::string ExpandOrderTemplate(const std::string& templateText, const OrderFields& fields);

// Reads TransId of the TradeQuik section (1 when absent or not an integer),
// writes it back one higher and returns it. A write that cannot be done is a
// fault ("Cannot write settings file PATH"): no number is handed out twice.
// The caller holds the settings' calculation lock.
int32_t NextTransId(TradingSettings& settings);

struct TradeQuikInputs {
  const HostSeries* shortLong;
  const HostSeries* price;
  const HostSeries* quantity;
  const char* account;
  const char* clientCode;
  int32_t orderType;
  float ident;
};

// One call: finds the orders on bars newer than the last one seen, writes
// the running total of their signed quantities into out over the processed
// range, sends the order of the last bar if there is one (Orders=Changes)
// or the one that brings the kept position to the last bar's wanted one
// (Orders=Position), as Enabled and MaxQuantity allow, journals each
// decision, remembers the last bar, and returns the range. Faults carry the
// messages the user sees.
// Calculations of several charts at once take turns on the settings'
// calculation lock.
BarRange ComputeTradeQuik(const HostDataRecord& data, const TradeQuikInputs& in,
                          TradingSettings& settings, float* out);

void LoadTradeQuik();
void UnloadTradeQuik();

}  // namespace msx
