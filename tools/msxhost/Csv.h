// Bars from a CSV file, as charting programs and data vendors export them.
//
// The first line names the columns, in any letter case, with or without
// angle brackets (<DATE>): date and close are required; time, open, high,
// low and volume (or vol) are optional; ticker and per are skipped; any other
// column is an extra series named by its header. Fields are separated by ","
// or, when the header holds a ";", by ";", and then numbers may have a
// decimal comma. Dates are YYYYMMDD, YYYY-MM-DD or DD.MM.YYYY; times HHMMSS,
// HH:MM or HH:MM:SS (a time column of only midnights counts as none). Empty
// lines are skipped and CR LF line ends are accepted.
//
// A file without high or low (line data, such as a close-only file) has the
// missing open, high and low taken as the close.
// Bars must rise in time: a file that runs newest first throughout is put in
// order; a repeated date (with its time) or a bar out of order is an error.
// Both fillings are told in the chart's notices.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "Chart.h"

namespace msxhost {

// The date forms the tester reads, for messages.
inline constexpr const char* kDateForms = "YYYYMMDD, YYYY-MM-DD or DD.MM.YYYY";

// A date in one of those forms as the host's integer YYYYMMDD; empty when the
// text is no such calendar date.
std::optional<int32_t> ParseDate(std::string_view text);

// Reads the file into a chart whose symbol is the file's base name without
// extension in upper case, whose security name is the symbol, whose folder
// is the file's folder, period D, interval 0. Throws HostError (kExitUsage):
// "cannot read PATH: reason", or "PATH: line N: what is wrong and what was
// expected" (N counted from 1 over every line of the file).
Chart ReadCsv(const std::string& path);

// Parses CSV text into the bars of a chart (texts, period and interval left
// as a default Chart has them). `fileName` names the text in messages.
Chart ParseCsv(std::string_view text, const std::string& fileName);

}  // namespace msxhost
