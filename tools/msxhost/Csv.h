// Bars from a CSV file. The first line names the columns (case-insensitive):
// date and high, low, close are required; time, open and volume are
// optional; any other column is an extra series named by its header. Dates
// are YYYYMMDD or YYYY-MM-DD, times HHMMSS, HH:MM or HH:MM:SS. Empty lines
// are skipped and CR LF line ends are accepted.
#pragma once

#include <string>
#include <string_view>

#include "Chart.h"

namespace msxhost {

// Reads the file into a chart whose symbol is the file's base name without
// extension in upper case, whose security name is the symbol, whose folder
// is the file's folder, period D, interval 0. Throws HostError (kExitUsage):
// "cannot read PATH", or "PATH: line N: what is wrong" (N counted from 1 over
// every line of the file).
Chart ReadCsv(const std::string& path);

// Parses CSV text into the bars of a chart (texts, period and interval left
// as a default Chart has them). `fileName` names the text in error messages.
Chart ParseCsv(std::string_view text, const std::string& fileName);

}  // namespace msxhost
