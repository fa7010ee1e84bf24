// WriteData: stores one series of the chart in a data file, one line per bar
// (date, time, value), for ReadData in another chart; the result is the
// series itself.
#pragma once

#include <string_view>

#include "common/Checked.h"
#include "exchange/DataFile.h"
#include "host/MSXStruct.h"
#include "common/FunctionTable.h"

namespace msx {

extern const FunctionTable kWriteDataTable;

// Writes the lines of the bars where values is valid to the file the
// template names for this chart and copies those values into out; returns
// the range of the bars written.
BarRange ComputeWriteData(const HostDataRecord& data, const HostSeries& values,
                          std::string_view fileTemplate, float* out,
                          FileService& files = PlatformFiles());


}  // namespace msx
