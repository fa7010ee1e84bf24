// The steps by which one strategy instance's order goes out and is
// remembered, in the order that makes it go out exactly once, across
// crashes too: the transaction number is taken (and written) before the
// line, so a settings file that cannot be written stops the order before it
// goes out; the order is recorded (bar, number, the transaction file's
// length, the line, the position it leads to) before the line is appended;
// the line is appended, and journaled, before the kept position and then
// the last bar seen are written. A host that dies anywhere in between
// leaves the record, and the next calculation finishes it (FinishRecorded):
// it looks for the line after the recorded length and sends it only when it
// is not there.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "host/MSXStruct.h"
#include "trading/OrderJournal.h"
#include "trading/OrderPolicy.h"
#include "trading/OrderRecord.h"
#include "trading/TradingSettings.h"

namespace msx {

struct OrderFields;

// How many times an order line is tried, one right after the other, before
// the call fails.
inline constexpr int32_t kOrderLineAttempts = 3;

class OrderDesk {
 public:
  // The instance's keys are "DateTime_", "Order_" and "Position_" + suffix
  // (account + "_" + client code + "_" + Ident) in section.
  OrderDesk(TradingSettings& settings, std::string section, const std::string& suffix,
            std::string file, std::string templateText, OrderJournal& journal);

  // The last bar seen, stored durably.
  void RememberBar(const HostDateTimeEntry& bar);

  // The kept position of Orders=Position: nothing when the key is absent; a
  // fault when it holds anything but a whole number.
  std::optional<int32_t> KeptPosition() const;
  void KeepPosition(int32_t position);
  // Removes the kept position (Orders=Changes), so that a stale one never
  // survives a switch of modes.
  void ForgetPosition();

  // An order decided on: not sent while orders are switched off, refused
  // above the cap, else sent; journaled either way. fields carries all but
  // the transaction number; row the journal's view of the decision. Returns
  // the refusal's message, empty when there was none.
  std::string Decide(const OrderPolicy& policy, OrderFields fields, JournalRow row,
                     std::optional<int32_t> target);

  // An order recorded by a calculation that ended before it remembered its
  // bar: its line is made to be in the file exactly once (or, with orders
  // switched off, it is dropped), the kept position follows, and the bar is
  // remembered.
  void FinishRecorded(const RecordedOrder& order, bool enabled);

 private:
  // Records the order and appends its line; the line's number is taken
  // first.
  RecordedOrder Send(OrderFields fields, const HostDateTimeEntry& bar,
                     std::optional<int32_t> target);
  void Record(const RecordedOrder& order);
  void Append(const std::string& line);
  // Sends a recorded order whose line is missing, or whose fragment another
  // writer closed off (under a new number); row takes the line sent.
  void Resend(const RecordedOrder& order, RecordedLineState state, JournalRow& row);

  TradingSettings& settings_;
  std::string section_, seenKey_, orderKey_, positionKey_, file_, template_;
  OrderJournal& journal_;
};

}  // namespace msx
