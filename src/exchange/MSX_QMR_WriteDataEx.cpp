// WriteDataEx: seven series into one data file. The basic layout is that of
// WriteData with seven value columns, which ReadData reads through the first;
// patterns let the file feed other programs as well.
#include "exchange/MSX_QMR_WriteDataEx.h"

#include <algorithm>
#include <optional>
#include <string>
#include <utility>

#include "common/HostCall.h"
#include "common/MSX_QMR_CommonFunc.h"
#include "exchange/DataFileText.h"
#include "exchange/DateTimePattern.h"
#include "common/NumberText.h"
#include "exchange/ValuePattern.h"

namespace msx {
namespace {

constexpr ArgumentRow kArguments[] = {
    {kStringArg, "\"FormatString\"", 0, ""}, {kSeriesArg, "DataArray1[]", 0, ""},
    {kSeriesArg, "DataArray2[]", 0, ""},     {kSeriesArg, "DataArray3[]", 0, ""},
    {kSeriesArg, "DataArray4[]", 0, ""},     {kSeriesArg, "DataArray5[]", 0, ""},
    {kSeriesArg, "DataArray6[]", 0, ""},     {kSeriesArg, "DataArray7[]", 0, ""},
    {kStringArg, "\"FileName\"", 0, ""},
};

constexpr const char* kHelpLines[] = {
    "WriteDataEx  - stores multiple column of data in a file. ",
    "          Library code: the msx_qmr developers, 2026.",
};

constexpr std::size_t kLineReserve = 96;

}  // namespace

constinit const FunctionTable kWriteDataExTable{
    "WriteDataEx",
    "Write multiple data columns into a file",
    kArguments,
    kHelpLines,
    /*emptyLineAfterHelp=*/true,
    /*codePageOnly=*/false,
    {kTableCounts, ErrorPolicy::kFaultMessage, /*clearsErrorText=*/false,
     WhenNotOffered::kAnswersAsComputed},
};

LinePatterns SplitFormatString(std::string_view format) {
  const std::size_t bar = format.find('|');
  if (bar == std::string_view::npos) return {{}, format};
  return {format.substr(0, bar), format.substr(bar + 1)};
}

BarRange ComputeWriteDataEx(const HostDataRecord& data,
                            const HostSeries* const (&series)[kWriteDataExSeries],
                            std::string_view format, std::string_view fileTemplate, float* out,
                            FileService& files, const platform::LocaleFormats* locale) {
  // From the first series' range, narrowed to where all seven are valid.
  const BarRange range =
      NarrowedRange(ValidRangeOf(*series[0]),
                    {series[1], series[2], series[3], series[4], series[5], series[6]});
  const LinePatterns patterns = SplitFormatString(format);
  std::optional<platform::LocaleFormats> userLocale;
  if (locale == nullptr && (!patterns.dateTime.empty() || !patterns.values.empty()))
    locale = &userLocale.emplace(platform::UserLocaleFormats());
  std::optional<ValuePattern> valuePattern;
  if (!patterns.values.empty()) valuePattern.emplace(patterns.values, *locale);

  std::string content;
  if (range.last >= range.first) {
    const HostBars bars(range.first, range.last);
    content.reserve(static_cast<std::size_t>(bars.stop - range.first + 1) * kLineReserve);
    for (int32_t i = range.first; i <= bars.stop; ++i) {
      const HostDateTimeEntry& stamp = data.dates[i];
      if (patterns.dateTime.empty()) {
        AppendBasicDateTime(content, stamp.date, stamp.time);
      } else {
        (void)HostDateTime(stamp.date, stamp.time);  // a bar that is no real date or time fails
        AppendDateTime(content, patterns.dateTime, HostDateTimeParts(stamp.date, stamp.time),
                       *locale);
      }
      float values[kPatternValues];
      for (int32_t k = 0; k < kWriteDataExSeries; ++k) values[k] = series[k]->values[i];
      if (valuePattern) {
        valuePattern->Append(content, values);
      } else {
        char columns[kWriteDataExSeries * (kValueTextCapacity + 1)];
        char* p = columns;
        for (const float v : values) {
          *p++ = ',';
          p = PutValueText(p, v);
        }
        content.append(columns, p);
      }
      content += "\r\n";
      out[i] = 0.0f;
    }
    bars.End();
  }
  PublishChartData(data, fileTemplate, std::move(content), files);
  return range;
}

}  // namespace msx

using namespace msx;

namespace {

BarRange ComputeWriteDataExCall(const HostCall& c) {
  const HostSeries* const columns[kWriteDataExSeries] = {&c.Series(0), &c.Series(1), &c.Series(2),
                                                         &c.Series(3), &c.Series(4), &c.Series(5),
                                                         &c.Series(6)};
  return ComputeWriteDataEx(c.Data(), columns, c.String(0), c.String(1), c.Out());
}

}  // namespace

MSX_EXPORT int32_t MSX_CALL WriteDataEx(const HostDataRecord* data, const HostSeriesArgs* series,
                                        const HostNumericArgs* numeric,
                                        const HostStringArgs* strings, const HostCustomArgs* custom,
                                        ResultRec* result) {
  return CallFunction(kWriteDataExTable, {data, series, numeric, strings, custom, result},
                      ComputeWriteDataExCall);
}
