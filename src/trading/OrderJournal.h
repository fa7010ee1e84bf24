// The trader's record of what TradeQuik decided: one row per decision
// (armed, sent, not sent and why, refused, failed, and what a restart found),
// appended to the file the Journal key names. A record for people and
// spreadsheets, never the source of truth: what makes every order go out
// exactly once stays in the settings file.
//
// The file: a header row, then rows of fields separated by ";" with
// RFC 4180 quoting (the order line itself holds ";"), CR LF line ends, text
// in the ANSI code page like the settings file, so that a spreadsheet set to
// the system's language opens it directly.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "host/MSXStruct.h"

namespace msx {

inline constexpr const char* kJournalHeader =
    "Time;Section;Account;ClientCode;Ident;Date;BarTime;Previous;Wanted;Quantity;Operation;"
    "Price;TransId;Outcome;Line";

// The outcomes; refusals and failures carry their message after ": ".
inline constexpr const char* kArmed = "armed";
inline constexpr const char* kSent = "sent";
inline constexpr const char* kResent = "re-sent after restart";
inline constexpr const char* kFound = "found after restart";
inline constexpr const char* kFragment = "fragment closed off";
inline constexpr const char* kNotLastBar = "not sent: not the last bar";
inline constexpr const char* kNotEnabled = "not sent: Enabled=no";
inline constexpr const char* kDropped = "dropped: Enabled=no";
inline constexpr const char* kRefused = "refused: ";
inline constexpr const char* kFailed = "failed: ";

// One decision about one bar. direction 1 buy, -1 sell, 0 none; what a
// decision does not know stays empty.
struct JournalRow {
  HostDateTimeEntry bar{};
  std::optional<int32_t> previous;
  std::optional<int32_t> wanted;
  std::optional<int32_t> quantity;
  int32_t direction = 0;
  std::optional<double> price;
  std::optional<int32_t> transId;
  std::string outcome;
  std::string line;
};

// A row of the bar, with what the decision knows of the positions.
inline JournalRow RowAt(const HostDateTimeEntry& bar, std::optional<int32_t> previous = {},
                        std::optional<int32_t> wanted = {}, std::optional<int32_t> quantity = {}) {
  JournalRow row;
  row.bar = bar;
  row.previous = previous;
  row.wanted = wanted;
  row.quantity = quantity;
  return row;
}

// A field as the file carries it: in double quotes, its quotes doubled,
// when it holds ";", a double quote, CR or LF; else as it is.
std::string JournalField(std::string_view text);

class OrderJournal {
 public:
  // The journal of one strategy instance; an empty path keeps none.
  OrderJournal(std::string path, std::string section, std::string account,
               std::string clientCode, int32_t ident);

  bool on() const { return !path_.empty(); }

  // A journal that cannot be opened stops the call before anything goes
  // out: a fault "Cannot write journal file PATH".
  void CheckWritable() const;

  // Appends the row (the header first into a new or empty file). A row that
  // cannot be written is remembered: FailIfLost() raises it once the call has
  // done what must not be undone (remembering the bar of an order that
  // went out).
  void Write(const JournalRow& row);
  void FailIfLost() const;

  // The row's text without its line end, the local time given.
  std::string RowText(const JournalRow& row, std::string_view time) const;

 private:
  std::string path_, section_, account_, clientCode_;
  int32_t ident_;
  bool lost_ = false;
};

}  // namespace msx
