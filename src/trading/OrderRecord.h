// An order on its way: recorded in the settings file (the security
// section's key "Order_" + account + "_" + client code + "_" + Ident) after
// its transaction number is taken and before its line is appended, as
// "date,time,number,length,line|": the bar, the number, the transaction
// file's length before the line, and the line. In Orders=Position mode the
// position the order leads to follows the last "|". The order is done once
// the strategy's last-seen bar has reached the recorded bar; until then a
// later calculation looks for its line and finishes it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "host/MSXStruct.h"

namespace msx {

struct RecordedOrder {
  HostDateTimeEntry bar{};
  int32_t transId = 0;
  int64_t length = 0;
  std::string line;
  std::optional<int32_t> target = std::nullopt;  // the kept position once the order is out
};
std::string RecordedOrderText(const RecordedOrder& order);
// Nothing for a text that is not a whole record.
std::optional<RecordedOrder> ParseRecordedOrder(const std::string& text);

// Where a recorded order's line stands in the transaction file.
enum class RecordedLineState {
  kThere,    // the whole line is in the file after the recorded length
  kMissing,  // not there (what a killed write left at the very end is cut off)
  // A killed write left the start of the line, and another writer has since
  // closed it off with a line end and written after it: the fragment is a
  // line of its own for the terminal and stays. The order must go again
  // under a new number, since the fragment may have used the old one.
  kFragmentClosedOff,
};
struct RecordedLine {
  RecordedLineState state = RecordedLineState::kMissing;
  std::string fragment;  // kFragmentClosedOff: the fragment, as the file holds it
};

// Looks for the line after the recorded length (in the whole file when the
// file has become shorter). False when the file cannot be read or cut: then
// nothing may be sent yet.
bool LocateRecordedLine(const RecordedOrder& order, const std::string& filePath,
                        RecordedLine* found);

// The line with the transaction number newId where the template put oldId:
// the line is matched against the template to find the places of %N.
// Nothing when the line does not fit the template (it was changed since).
std::optional<std::string> RenumberOrderLine(const std::string& line,
                                             const std::string& templateText, int32_t oldId,
                                             int32_t newId);

}  // namespace msx
