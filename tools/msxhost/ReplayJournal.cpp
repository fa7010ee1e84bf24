#include "ReplayJournal.h"

#include "Text.h"
#include "platform/Platform.h"

namespace msxhost {
namespace {

// The columns as the journal's header names them, in the order the library
// writes them.
constexpr const char* kColumns[] = {"Time",      "Section", "Account",  "ClientCode", "Ident",
                                    "Date",      "BarTime", "Previous", "Wanted",     "Quantity",
                                    "Operation", "Price",   "TransId",  "Outcome",    "Line"};
constexpr std::size_t kIdent = 4, kWanted = 8, kQuantity = 9, kOperation = 10, kOutcome = 13;

// The file's bytes; none for a file that is not there (yet).
std::string Contents(const std::string& path) {
  std::string bytes;
  if (!msx::platform::ReadWholeFile(path, &bytes).ok()) bytes.clear();
  return bytes;
}

bool IsHeader(const std::vector<std::string>& row) {
  return row.size() == std::size(kColumns) && row.front() == kColumns[0] &&
         row[kOutcome] == kColumns[kOutcome];
}

std::optional<int64_t> Number(const std::vector<std::string>& row, std::size_t column) {
  if (column >= row.size()) return std::nullopt;
  const std::optional<int32_t> value = ParseInt(row[column]);
  if (!value) return std::nullopt;
  return *value;
}

}  // namespace

std::vector<std::vector<std::string>> ParseJournalRows(std::string_view text) {
  std::vector<std::vector<std::string>> rows;
  std::vector<std::string> row;
  std::string field;
  bool quoted = false;
  bool fieldQuoted = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c != '"')
        field += c;
      else if (i + 1 < text.size() && text[i + 1] == '"')
        field += text[++i];
      else
        quoted = false;
    } else if (c == '"' && field.empty() && !fieldQuoted) {
      quoted = fieldQuoted = true;
    } else if (c == ';') {
      row.push_back(std::move(field));
      field.clear();
      fieldQuoted = false;
    } else if (c == '\n' || (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) {
      if (c == '\r') ++i;
      row.push_back(std::move(field));
      rows.push_back(std::move(row));
      row.clear();
      field.clear();
      fieldQuoted = false;
    } else {
      field += c;
    }
  }
  return rows;
}

JournalWatch::JournalWatch(std::vector<std::string> paths)
    : paths_(std::move(paths)), rowsSeen_(paths_.size(), 0) {}

std::vector<JournalRow> JournalWatch::NewRows() {
  std::vector<JournalRow> fresh;
  for (std::size_t f = 0; f < paths_.size(); ++f) {
    const std::vector<std::vector<std::string>> rows = ParseJournalRows(Contents(paths_[f]));
    for (std::size_t r = rowsSeen_[f]; r < rows.size(); ++r) {
      const std::vector<std::string>& row = rows[r];
      if (IsHeader(row) || row.size() <= kOutcome) continue;
      const std::optional<int64_t> ident = Number(row, kIdent);
      fresh.push_back({ident ? std::optional<int32_t>(static_cast<int32_t>(*ident)) : std::nullopt,
                       Number(row, kWanted), Number(row, kQuantity), row[kOperation],
                       row[kOutcome]});
    }
    if (rows.size() > rowsSeen_[f]) rowsSeen_[f] = rows.size();
  }
  return fresh;
}

LineWatch::LineWatch(std::vector<std::string> paths)
    : paths_(std::move(paths)), bytesSeen_(paths_.size(), 0) {}

std::vector<std::string> LineWatch::NewLines() {
  std::vector<std::string> fresh;
  for (std::size_t f = 0; f < paths_.size(); ++f) {
    const std::string bytes = Contents(paths_[f]);
    if (bytes.size() < bytesSeen_[f]) bytesSeen_[f] = 0;  // cut back: read it afresh
    for (std::string_view line : SplitLines(std::string_view(bytes).substr(bytesSeen_[f])))
      if (!line.empty()) fresh.emplace_back(line);
    bytesSeen_[f] = bytes.size();
  }
  return fresh;
}

void PositionLedger::Add(const JournalRow& row) {
  if (row.outcome == "armed") {
    if (row.wanted && row.quantity) armed_ = *row.wanted * *row.quantity;
    sent_ = 0;
    return;
  }
  if (row.outcome != "sent" && row.outcome != "re-sent after restart" &&
      row.outcome != "found after restart")
    return;
  const int64_t quantity = row.quantity.value_or(0);
  if (row.operation == "B") sent_ += quantity;
  if (row.operation == "S") sent_ -= quantity;
}

std::optional<int64_t> PositionLedger::position() const {
  if (!armed_) return std::nullopt;
  return *armed_ + sent_;
}

}  // namespace msxhost
