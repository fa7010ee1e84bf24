// The chart of a replay: its live part, and the chart as it grows by one
// bar at a time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Chart.h"
#include "Replay.h"

namespace msxhost {

struct LivePart {
  int32_t first = 0;          // the first live bar; the bars before it arm
  bool opening = true;        // each live bar calculated on opening too
  std::vector<bool> skipped;  // per live bar
};

// The live part the request's --live, --live-from, --ticks and --skip
// ask for. Throws HostError (kExitUsage) naming the option, among others
// for a live part that leaves no bar to arm on and a --skip date that is
// no bar of the live part.
LivePart ParseLivePart(const Chart& chart, const ReplayRequest& request);

// The chart's section in the settings file: FOLDER\SYMBOL(TAG), the tag
// the period letter (D W M Q Y) or an intraday chart's interval ("T" for
// 0); empty for any other letter.
std::string SecuritySection(const Chart& chart);

// "2008-09-19", with the time on an intraday chart: "2024-01-15 10:05"
// (and the seconds when they are not 0).
std::string BarText(const Chart& chart, int32_t bar);

// Bars 0 to last (1 or more); with `opening`, the last one as it has just
// opened: open, high, low and close at its open (at the bar before's close
// where the data has no open), volume 0, extra columns at the bar before's
// values.
Chart GrownChart(const Chart& chart, int32_t last, bool opening);

}  // namespace msxhost
