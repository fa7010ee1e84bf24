// msxhost bench: how long formulas take through the library's exported
// interface, the way the host calls it.
#pragma once

#include <string>
#include <vector>

#include "Cli.h"

namespace msxhost {

// msxhost bench FORMULA... --data FILE.csv [--repeat N] [--lib PATH]
//
// Loads the chart and the library once, then evaluates each formula over
// every bar, making each of its library calls once untimed and then N times
// timed (default 5) on the same argument arrays and result record, allocated
// and written before any timing: the figures are the library's alone, not
// the host's allocations. Prints one tab-separated line per formula: the
// formula, the fastest and the median call (the sum of its library calls)
// in nanoseconds per bar, and a digest of the result's values in its valid
// range (equal digests, equal results: the targets can be compared by it).
// `arguments` starts with "bench".
CommandOutput RunBench(const std::vector<std::string>& arguments);

// The usage lines of the command.
std::string BenchUsage();

}  // namespace msxhost
