// msxhost bench: how long formulas take through the library's exported
// interface, the way the host calls it.
#pragma once

#include <string>
#include <vector>

#include "Cli.h"

namespace msxhost {

// msxhost bench FORMULA... --data FILE.csv [--repeat N] [--lib PATH]
//
// Loads the chart and the library once, then evaluates each formula N times
// (default 5) over every bar and prints one tab-separated line per formula:
// the formula, the fastest and the median call in nanoseconds per bar, and a
// digest of the result's values in its valid range (equal digests, equal
// results: the targets can be compared by it). `arguments` starts with
// "bench".
CommandOutput RunBench(const std::vector<std::string>& arguments);

// The usage lines of the command.
std::string BenchUsage();

}  // namespace msxhost
