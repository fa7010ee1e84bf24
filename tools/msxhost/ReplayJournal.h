// What a replay reads back after each calculation: the lines appended to
// the transaction files and the rows appended to TradeQuik's journals.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace msxhost {

// The fields of a text in the journal's form: ";" between fields, rows
// ending in CR LF (or LF), a field in double quotes may hold ";", quotes
// (doubled) and line breaks. Only rows that end in a line break count.
std::vector<std::vector<std::string>> ParseJournalRows(std::string_view text);

// One journal row, as far as a replay needs it.
struct JournalRow {
  std::optional<int32_t> ident;
  std::optional<int64_t> wanted;
  std::optional<int64_t> quantity;
  std::string operation;  // "B", "S" or empty
  std::string outcome;
};

// The rows appended to a set of files since the last look.
class JournalWatch {
 public:
  explicit JournalWatch(std::vector<std::string> paths);
  std::vector<JournalRow> NewRows();

 private:
  std::vector<std::string> paths_;
  std::vector<std::size_t> rowsSeen_;
};

// The lines appended to a set of files since the last look, without their
// line ends.
class LineWatch {
 public:
  explicit LineWatch(std::vector<std::string> paths);
  std::vector<std::string> NewLines();

 private:
  std::vector<std::string> paths_;
  std::vector<std::size_t> bytesSeen_;
};

// The position the orders of one TradeQuik instance add up to, in lots:
// the armed position (the armed row's Wanted times its Quantity) plus the
// signed quantities of the orders that went out. Empty until armed.
class PositionLedger {
 public:
  void Add(const JournalRow& row);
  std::optional<int64_t> position() const;

 private:
  std::optional<int64_t> armed_;
  int64_t sent_ = 0;
};

}  // namespace msxhost
