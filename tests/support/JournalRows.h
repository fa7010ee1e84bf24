// The rows of a TradeQuik journal, read back as a spreadsheet reads them:
// fields separated by ";", RFC 4180 quoting, CR LF line ends. A row that
// does not parse (an open quote, a bare LF) comes back as one field
// "<broken>".
#pragma once

#include <string>
#include <vector>

#include "TradingFixture.h"

namespace msx {

using JournalFields = std::vector<std::string>;

inline std::vector<JournalFields> JournalRows(const std::string& path) {
  const std::string text = ReadFile(path);
  std::vector<JournalFields> rows;
  JournalFields row(1);
  bool quoted = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c != '"') row.back() += c;
      else if (i + 1 < text.size() && text[i + 1] == '"') row.back() += text[++i];
      else quoted = false;
    } else if (c == '"' && row.back().empty()) {
      quoted = true;
    } else if (c == ';') {
      row.emplace_back();
    } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      rows.push_back(row);
      row.assign(1, {});
      ++i;
    } else if (c == '\r' || c == '\n' || c == '"') {
      row.assign(1, "<broken>");
    } else {
      row.back() += c;
    }
  }
  if (quoted || row.size() > 1 || !row.front().empty()) rows.push_back({"<broken>"});
  return rows;
}

// The columns of a journal row.
enum JournalColumn {
  kJournalTime, kJournalSection, kJournalAccount, kJournalClient, kJournalIdent, kJournalDate,
  kJournalBarTime, kJournalPrevious, kJournalWanted, kJournalQuantity, kJournalOperation,
  kJournalPrice, kJournalTransId, kJournalOutcome, kJournalLine, kJournalColumns
};

}  // namespace msx
