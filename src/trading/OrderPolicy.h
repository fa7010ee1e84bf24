// The trader's brakes on TradeQuik: keys of the settings file that switch
// orders off, cap their size and choose how orders follow the signal. They
// are read at every calculation (an edit stops orders at the next one,
// without a restart), from the TradeQuik section and from the security's
// section, and compared without regard to case. An absent key, or one with
// an empty value, leaves TradeQuik as it always was; the library never
// writes them.
#pragma once

#include <cstdint>
#include <string>

#include "trading/TradingSettings.h"

namespace msx {

enum class OrderMode {
  kChanges,   // an order for a change of the signal on the last bar
  kPosition,  // an order for the difference between wanted and kept position
};

struct OrderPolicy {
  // Enabled: orders go only where neither section says no.
  bool enabled = true;
  // Enabled held a value that is neither yes nor no: the call runs as with
  // no, then fails with kEnabledMessage.
  bool enabledInvalid = false;
  // MaxQuantity: the smaller non-zero cap of the two sections; 0, no cap.
  int32_t maxQuantity = 0;
  OrderMode mode = OrderMode::kChanges;
  // Journal: the security's value, else the TradeQuik section's; empty, none.
  std::string journal;
};

inline constexpr const char* kEnabledMessage = "Enabled must be yes or no";
inline constexpr const char* kMaxQuantityMessage = "MaxQuantity must be a whole number";
inline constexpr const char* kOrdersMessage = "Orders must be Changes or Position";

// Reads the keys of both sections, in the order Enabled, MaxQuantity,
// Orders, Journal. A bad MaxQuantity or Orders is a fault with its message
// (reported as Enabled's when Enabled is bad as well, since it comes first);
// a bad Enabled alone only marks the policy.
OrderPolicy ReadOrderPolicy(const TradingSettings& settings, const std::string& section);

// "Order quantity Q is above MaxQuantity M" when the order's absolute
// quantity is above the cap; empty when it may go.
std::string CapRefusal(const OrderPolicy& policy, int32_t quantity);

}  // namespace msx
