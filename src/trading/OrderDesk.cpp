#include "trading/OrderDesk.h"

#include <cmath>

#include "common/Checked.h"
#include "common/MSX_QMR_CommonFunc.h"
#include "platform/Platform.h"
#include "trading/MSX_QMR_TradeQUIK.h"

namespace msx {
namespace {

constexpr const char* kLineTooLong = "Quik transaction line is too long";

// Runs a step that sends; a fault on the way is journaled as the row's
// failure, and the call fails with it.
template <typename Step>
void JournalingFaults(OrderJournal& journal, JournalRow& row, Step step) {
  try {
    step();
  } catch (const Fault& fault) {
    row.outcome = std::string(kFailed) + fault.what();
    journal.Write(row);
    throw;
  }
}

}  // namespace

OrderDesk::OrderDesk(TradingSettings& settings, std::string section, const std::string& suffix,
                     std::string file, std::string templateText, OrderJournal& journal)
    : settings_(settings),
      section_(std::move(section)),
      seenKey_("DateTime_" + suffix),
      orderKey_("Order_" + suffix),
      positionKey_("Position_" + suffix),
      file_(std::move(file)),
      template_(std::move(templateText)),
      journal_(journal) {}

void OrderDesk::RememberBar(const HostDateTimeEntry& bar) {
  if (!settings_.WriteText(section_, seenKey_,
                           std::to_string(bar.date) + "," + std::to_string(bar.time)))
    RaiseWriteFault(kCannotWriteSettings, settings_.path());
  settings_.Flush();
}

std::optional<int32_t> OrderDesk::KeptPosition() const {
  const std::string text = settings_.ReadText(section_, positionKey_, "");
  if (text.empty()) return std::nullopt;
  int32_t position = 0;
  if (!ParseInt32(text, &position)) RaiseFault((positionKey_ + " must be a whole number").c_str());
  return position;
}

void OrderDesk::KeepPosition(int32_t position) {
  if (!settings_.WriteInteger(section_, positionKey_, position))
    RaiseWriteFault(kCannotWriteSettings, settings_.path());
}

void OrderDesk::ForgetPosition() {
  // No value read back holds a line break: the default tells an absent key.
  if (settings_.ReadText(section_, positionKey_, "\n") == "\n") return;
  if (!settings_.DeleteKey(section_, positionKey_))
    RaiseWriteFault(kCannotWriteSettings, settings_.path());
}

void OrderDesk::Record(const RecordedOrder& order) {
  const std::string record = RecordedOrderText(order);
  if (record.size() > platform::kProfileValueLimit) RaiseFault(kLineTooLong);
  if (!settings_.WriteText(section_, orderKey_, record))
    RaiseWriteFault(kCannotWriteSettings, settings_.path());
}

void OrderDesk::Append(const std::string& line) {
  for (int32_t attempt = 0; attempt < kOrderLineAttempts; ++attempt)
    if (AppendLine(line, file_)) return;
  RaiseWriteFault(kCannotWriteTransactions, file_);
}

RecordedOrder OrderDesk::Send(OrderFields fields, const HostDateTimeEntry& bar,
                              std::optional<int32_t> target) {
  if (!std::isfinite(fields.price)) RaiseFault(kInvalidFloatOperation);  // no order at no price
  (void)CheckedMul(fields.direction, fields.quantity);
  fields.transId = NextTransId(settings_);
  RecordedOrder order{bar, fields.transId, 0, ExpandOrderTemplate(template_, fields), target};
  if (!platform::FileLength(file_, &order.length).ok()) order.length = 0;
  Record(order);
  Append(order.line);
  return order;
}

std::string OrderDesk::Decide(const OrderPolicy& policy, OrderFields fields, JournalRow row,
                              std::optional<int32_t> target) {
  row.direction = fields.direction;
  row.price = fields.price;
  if (!policy.enabled) {
    row.outcome = kNotEnabled;
    journal_.Write(row);
    return {};
  }
  std::string refusal = CapRefusal(policy, fields.quantity);
  if (!refusal.empty()) {
    row.outcome = kRefused + refusal;
    journal_.Write(row);
    return refusal;
  }
  RecordedOrder sent;
  JournalingFaults(journal_, row, [&] { sent = Send(fields, row.bar, target); });
  row.transId = sent.transId;
  row.outcome = kSent;
  row.line = sent.line;
  journal_.Write(row);
  if (target) KeepPosition(*target);
  return {};
}

void OrderDesk::FinishRecorded(const RecordedOrder& order, bool enabled) {
  RecordedLine found;
  if (!LocateRecordedLine(order, file_, &found))
    RaiseWriteFault(kCannotWriteTransactions, file_);  // cannot tell: send nothing yet
  JournalRow row = RowAt(order.bar);
  row.wanted = order.target;
  row.transId = order.transId;
  row.line = order.line;
  bool out = found.state == RecordedLineState::kThere;
  if (found.state == RecordedLineState::kFragmentClosedOff) {
    JournalRow fragment = row;
    fragment.outcome = kFragment;
    fragment.line = found.fragment;
    journal_.Write(fragment);
  }
  if (out) {
    row.outcome = kFound;
  } else if (!enabled) {
    row.outcome = kDropped;
  } else {
    JournalingFaults(journal_, row, [&] { Resend(order, found.state, row); });
    out = true;
  }
  journal_.Write(row);
  if (out && order.target) KeepPosition(*order.target);
  RememberBar(order.bar);
}

void OrderDesk::Resend(const RecordedOrder& order, RecordedLineState state, JournalRow& row) {
  row.outcome = kResent;
  if (state == RecordedLineState::kMissing) {
    Append(order.line);
  } else {
    // The fragment may have used the number: the order goes under a new
    // one, recorded first. A line that no longer fits the template (changed
    // since) goes as it was.
    RecordedOrder again = order;
    again.transId = NextTransId(settings_);
    again.line = RenumberOrderLine(order.line, template_, order.transId, again.transId)
                     .value_or(order.line);
    if (!platform::FileLength(file_, &again.length).ok()) again.length = 0;
    Record(again);
    Append(again.line);
    row.transId = again.transId;
    row.line = again.line;
  }
}

}  // namespace msx
