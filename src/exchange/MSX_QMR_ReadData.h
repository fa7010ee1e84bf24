// ReadData: the series another chart stored with WriteData or WriteDataEx,
// lined up with this chart's bars by date and time.
#pragma once

#include <string_view>

#include "common/Checked.h"
#include "exchange/DataFile.h"
#include "host/MSXStruct.h"
#include "common/FunctionTable.h"

namespace msx {

extern const FunctionTable kReadDataTable;

// Takes over the data file the template names for this chart and gives
// each bar of the Close range the value of the first remaining row whose
// date and time are not earlier than the bar's (on a daily chart only dates
// count); rows earlier than a bar are passed over for good, and once the
// rows are used up the bars keep the last value taken (0 if none). With no
// file to load nothing is written. Returns the Close range.
BarRange ComputeReadData(const HostDataRecord& data, std::string_view fileTemplate, float* out,
                         FileService& files = PlatformFiles());

// Aligns loaded lines with the chart's bars first to last (the part of
// ComputeReadData after the takeover). A row's date, time or value that
// does not parse, when the row is looked at, is an invalid-argument fault.
void AlignDataLines(const DataLines& lines, const HostDataRecord& data, BarRange bars, float* out);


}  // namespace msx
