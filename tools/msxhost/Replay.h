// msxhost replay: a chart played live through one session of the library,
// to show before anything goes to a terminal every order a formula would
// send, whether the account stays in step with the chart, and which values
// change after their bar has closed.
//
// The model: a chart whose first bar stays put and which grows by one bar
// at a time. One calculation over the bars before the live part arms
// TradeQuik; then for each live bar i, one calculation over bars 0..i in
// which bar i has just opened (its open, high, low and close all at its
// open, the volume 0, extra columns at the bar before's values; the bar
// before's close stands for an open the data lacks), and one over bars 0..i
// with bar i complete.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "Chart.h"

namespace msxhost {

struct ReplayRequest {
  std::string formula;
  std::string library;       // the library to copy
  bool ownSettings = false;  // the settings file beside `library` comes along
  // The option texts as given: --live N (default 20), --live-from DATE,
  // --ticks open|close (default open), --keep DIR, --skip DATE (repeatable).
  std::optional<std::string> live, liveFrom, ticks, keep;
  std::vector<std::string> skip;
};

// Replays the formula over the chart and returns the report:
// - a line naming the chart, the arming bars and the live part;
// - every order line TradeQuik appended, and every TradeQuik call that
//   returned -1, with the bar and the calculation (open, complete) of it;
// - per TradeQuik Ident, a table in lots of the position the formula wants
//   on each complete live bar against the one the orders sent add up to
//   (read from the journal), the bars where they differ marked;
// - per value of the formula (its result; for TradeQuik its computed series
//   arguments), the value each live bar had while it was the last bar
//   against the value of the whole chart at the end, bars whose complete
//   value differs marked "repaints";
// - a closing line: orders sent, bars out of step, bars that repaint.
// The report holds no path and no clock time. A library call failing other
// than TradeQuik's stops the replay. Throws HostError: kExitUsage for the
// options or the formula, kExitFailure for the library or the folder.
std::string RunReplay(const Chart& chart, const ReplayRequest& request);

// The usage lines of the command.
std::string ReplayUsage();

}  // namespace msxhost
