// Which bars of the data make the chart: --from DATE and --to DATE (both
// included, in the date forms of the CSV reader) and --last N (the newest N
// of those). The one place that cuts bars, for the calculation and for
// anything drawn from it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "Chart.h"

namespace msxhost {

struct BarSelection {
  std::optional<int32_t> from;  // YYYYMMDD
  std::optional<int32_t> to;    // YYYYMMDD
  std::optional<int32_t> last;  // a count of 1 or more
};

// The selection the option values ask for. Throws HostError (kExitUsage)
// naming the option and what it takes.
BarSelection ParseBarSelection(const std::optional<std::string>& from,
                               const std::optional<std::string>& to,
                               const std::optional<std::string>& last);

// The indexes of the first and last bar the selection keeps. Throws
// HostError (kExitUsage) when it keeps none, naming the dates the data has.
struct BarIndexes {
  int32_t first = 0;
  int32_t last = -1;
};
BarIndexes SelectedBars(const Chart& chart, const BarSelection& selection);

// Keeps only the selected bars in every column of the chart.
void SelectBars(Chart& chart, const BarSelection& selection);

}  // namespace msxhost
