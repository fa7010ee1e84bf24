// WriteData: one series of the chart into a data file that another chart's
// ReadData takes over. The result is the series, bit for bit, so a formula
// can store and plot a series in one call.
#include "exchange/MSX_QMR_WriteData.h"

#include <algorithm>
#include <string>
#include <utility>

#include "common/HostCall.h"
#include "exchange/DataFileText.h"
#include "common/NumberText.h"

namespace msx {
namespace {

constexpr ArgumentRow kArguments[] = {
    {kSeriesArg, "DataArray[]", 0, ""},
    {kStringArg, "\"FileName\"", 0, ""},
};

constexpr const char* kHelpLines[] = {
    "WriteData  - stores any data in a file. ",
    "          Library code: the msx_qmr developers, 2026.",
};

// A line of the usual dates and prices: 8 + 1 + 7 + 1 + 6 + 2 characters.
constexpr std::size_t kLineReserve = 28;

}  // namespace

constinit const FunctionTable kWriteDataTable{
    "WriteData",
    "Write Data into a file",
    kArguments,
    kHelpLines,
    /*emptyLineAfterHelp=*/true,
    /*codePageOnly=*/false,
    {kTableCounts, ErrorPolicy::kUntouched, /*clearsErrorText=*/false,
     WhenNotOffered::kAnswersAsComputed},
};

BarRange ComputeWriteData(const HostDataRecord& data, const HostSeries& values,
                          std::string_view fileTemplate, float* out, FileService& files) {
  const BarRange range = ValidRangeOf(values);
  std::string content;
  if (range.last >= range.first) {
    const HostBars bars(range.first, range.last);
    content.reserve(static_cast<std::size_t>(bars.stop - range.first + 1) * kLineReserve);
    for (int32_t i = range.first; i <= bars.stop; ++i) {
      const HostDateTimeEntry& stamp = data.dates[i];
      char line[kBasicDateTimeCapacity + kValueTextCapacity + 4];
      char* p = PutBasicDateTime(line, stamp.date, stamp.time);
      *p++ = ',';
      p = PutValueText(p, values.values[i]);
      *p++ = '\r';
      *p++ = '\n';
      content.append(line, p);
      out[i] = values.values[i];
    }
    bars.End();
  }
  PublishChartData(data, fileTemplate, std::move(content), files);
  return range;
}

}  // namespace msx

using namespace msx;

MSX_EXPORT int32_t MSX_CALL WriteData(const HostDataRecord* data, const HostSeriesArgs* series,
                                      const HostNumericArgs* numeric, const HostStringArgs* strings,
                                      const HostCustomArgs* custom, ResultRec* result) {
  return CallFunction(kWriteDataTable, {data, series, numeric, strings, custom, result},
                      [](const HostCall& c) {
                        return ComputeWriteData(c.Data(), c.Series(0), c.String(0), c.Out());
                      });
}
