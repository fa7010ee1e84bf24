// WriteDataEx: stores seven series of the chart in one data file, with user
// patterns for the date-time and the value columns; the result is zero over
// the bars stored.
#pragma once

#include <string_view>

#include "common/Checked.h"
#include "exchange/DataFile.h"
#include "host/MSXStruct.h"
#include "common/FunctionTable.h"
#include "platform/Platform.h"

namespace msx {

extern const FunctionTable kWriteDataExTable;

inline constexpr int32_t kWriteDataExSeries = 7;

// The format string split at its first "|": the date-time pattern before it
// and the value pattern after it; without "|" the whole text is the value
// pattern. An empty pattern selects the basic columns.
struct LinePatterns {
  std::string_view dateTime;
  std::string_view values;
};
LinePatterns SplitFormatString(std::string_view format);

// Writes one line per bar where all seven series are valid to the file the
// template names and sets out to 0 there; returns the bars' range. locale:
// the names and formats for the patterns; null reads the user's locale when
// a pattern needs it.
BarRange ComputeWriteDataEx(const HostDataRecord& data,
                            const HostSeries* const (&series)[kWriteDataExSeries],
                            std::string_view format, std::string_view fileTemplate, float* out,
                            FileService& files = PlatformFiles(),
                            const platform::LocaleFormats* locale = nullptr);


}  // namespace msx
