#include "trading/OrderJournal.h"

#include <iterator>

#include "common/Fault.h"
#include "common/NumberText.h"
#include "platform/Platform.h"
#include "trading/MSX_QMR_TradeQUIK.h"

namespace msx {
namespace {

constexpr const char* kCannotWriteJournal = "Cannot write journal file ";

std::string LocalTimeText() {
  const platform::LocalTime t = platform::CurrentLocalTime();
  std::string s;
  AppendPaddedInt(s, t.year, 4);
  s += '-';
  AppendPaddedInt(s, t.month, 2);
  s += '-';
  AppendPaddedInt(s, t.day, 2);
  s += ' ';
  AppendTimeOfDay(s, t.hour, t.minute, t.second, ":");
  return s;
}

std::string Optional(const std::optional<int32_t>& n) {
  return n ? std::to_string(*n) : std::string();
}

}  // namespace

std::string JournalField(std::string_view text) {
  if (text.find_first_of(";\"\r\n") == std::string_view::npos) return std::string(text);
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

OrderJournal::OrderJournal(std::string path, std::string section, std::string account,
                           std::string clientCode, int32_t ident)
    : path_(std::move(path)),
      section_(std::move(section)),
      account_(std::move(account)),
      clientCode_(std::move(clientCode)),
      ident_(ident) {}

void OrderJournal::CheckWritable() const {
  if (on() && !platform::AppendToFile(path_, {}).ok())
    RaiseFault((kCannotWriteJournal + path_).c_str());
}

std::string OrderJournal::RowText(const JournalRow& row, std::string_view time) const {
  const std::string fields[] = {
      std::string(time),
      section_,
      account_,
      clientCode_,
      std::to_string(ident_),
      std::to_string(row.bar.date),
      std::to_string(row.bar.time),
      Optional(row.previous),
      Optional(row.wanted),
      Optional(row.quantity),
      row.direction > 0 ? "B" : (row.direction < 0 ? "S" : ""),
      row.price ? FormatOrderPrice(*row.price) : std::string(),
      Optional(row.transId),
      row.outcome,
      row.line,
  };
  std::string text = JournalField(fields[0]);
  for (std::size_t i = 1; i < std::size(fields); ++i) text.append(";").append(JournalField(fields[i]));
  return text;
}

void OrderJournal::Write(const JournalRow& row) {
  if (!on()) return;
  std::string text;
  int64_t length = 0;
  if (!platform::FileLength(path_, &length).ok() || length == 0)
    text.append(kJournalHeader).append("\r\n");
  text.append(RowText(row, LocalTimeText())).append("\r\n");
  if (!platform::AppendLineToFile(path_, text).ok()) lost_ = true;
}

void OrderJournal::FailIfLost() const {
  if (lost_) RaiseFault((kCannotWriteJournal + path_).c_str());
}

}  // namespace msx
