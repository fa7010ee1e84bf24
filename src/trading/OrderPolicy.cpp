#include "trading/OrderPolicy.h"

#include <optional>

#include "common/Fault.h"

namespace msx {
namespace {

// The key's value with the blanks around it gone (empty when absent).
std::string Value(const TradingSettings& settings, const std::string& section, const char* key) {
  std::string v = settings.ReadText(section, key, "");
  const std::size_t from = v.find_first_not_of(" \t");
  if (from == std::string::npos) return {};
  return v.substr(from, v.find_last_not_of(" \t") - from + 1);
}

// yes/true/1 or no/false/0; nothing for any other value.
std::optional<bool> OnOff(const std::string& v) {
  if (SameNameIgnoringCase(v, "yes") || SameNameIgnoringCase(v, "true") || v == "1") return true;
  if (SameNameIgnoringCase(v, "no") || SameNameIgnoringCase(v, "false") || v == "0") return false;
  return std::nullopt;
}

}  // namespace

OrderPolicy ReadOrderPolicy(const TradingSettings& settings, const std::string& section) {
  OrderPolicy policy;
  const std::string sections[] = {kTradeQuikSection, section};

  for (const std::string& s : sections) {
    const std::string v = Value(settings, s, "Enabled");
    if (v.empty()) continue;
    const std::optional<bool> on = OnOff(v);
    if (!on) policy.enabledInvalid = true;
    if (!on || !*on) policy.enabled = false;
  }

  bool otherInvalid = false;
  const char* otherMessage = nullptr;
  const auto invalid = [&](const char* message) {
    if (otherMessage == nullptr) otherMessage = message;
    otherInvalid = true;
  };
  for (const std::string& s : sections) {
    const std::string v = Value(settings, s, "MaxQuantity");
    if (v.empty()) continue;
    int32_t cap = 0;
    if (v.find_first_not_of("0123456789") != std::string::npos || !ParseInt32(v, &cap)) {
      invalid(kMaxQuantityMessage);
      continue;
    }
    if (cap > 0 && (policy.maxQuantity == 0 || cap < policy.maxQuantity)) policy.maxQuantity = cap;
  }

  std::string orders = Value(settings, section, "Orders");
  if (orders.empty()) orders = Value(settings, kTradeQuikSection, "Orders");
  if (SameNameIgnoringCase(orders, "Position"))
    policy.mode = OrderMode::kPosition;
  else if (!orders.empty() && !SameNameIgnoringCase(orders, "Changes"))
    invalid(kOrdersMessage);

  if (otherInvalid) RaiseFault(policy.enabledInvalid ? kEnabledMessage : otherMessage);

  policy.journal = Value(settings, section, "Journal");
  if (policy.journal.empty()) policy.journal = Value(settings, kTradeQuikSection, "Journal");
  return policy;
}

std::string CapRefusal(const OrderPolicy& policy, int32_t quantity) {
  const int64_t size = quantity < 0 ? -int64_t{quantity} : int64_t{quantity};
  if (policy.maxQuantity == 0 || size <= policy.maxQuantity) return {};
  return "Order quantity " + std::to_string(size) + " is above MaxQuantity " +
         std::to_string(policy.maxQuantity);
}

}  // namespace msx
