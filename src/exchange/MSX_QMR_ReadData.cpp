// ReadData: takes another chart's data file over and lines its rows up with
// this chart's bars. The chart may show another security or period than the
// writer's; a bar without a row of its own takes the next row at or after it.
#include "exchange/MSX_QMR_ReadData.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

#include "common/HostCall.h"
#include "exchange/DataFileText.h"
#include "host/Token.h"

namespace msx {
namespace {

constexpr ArgumentRow kArguments[] = {
    {kStringArg, "\"FileName\"", 0, ""},
};

constexpr const char* kHelpLines[] = {
    "ReadData - Reads data from the external file created by an another chart.",
    "          Library code: the msx_qmr developers, 2026.",
};

// Later than any bar's time of day: on a daily chart a row of the same date
// always matches.
constexpr int32_t kEndOfDay = 2359999;

// The runtime's message for a number text that does not convert.
constexpr const char* kNotANumber = "Invalid numeric text in the data file";

int32_t IntegerOf(std::string_view text) {
  // The columns as the writers write them, up to 9 plain digits, directly.
  if (!text.empty() && text.size() <= 9) {
    int32_t digits = 0;
    bool plain = true;
    for (const char c : text) {
      if (c < '0' || c > '9') {
        plain = false;
        break;
      }
      digits = digits * 10 + (c - '0');
    }
    if (plain) return digits;
  }
  int32_t v = 0;
  const char* end = text.data() + text.size();
  const auto [p, ec] = std::from_chars(text.data(), end, v);
  if (text.empty() || ec != std::errc{} || p != end) RaiseFault(kNotANumber);
  return v;
}

// A number as the writers write it: "." as the point, an optional exponent,
// INF and NAN with an optional "-".
float ValueOf(std::string_view text) {
  double v = 0;
  const char* end = text.data() + text.size();
  const auto [p, ec] = std::from_chars(text.data(), end, v);
  if (text.empty() || ec != std::errc{} || p != end) RaiseFault(kNotANumber);
  const float f = static_cast<float>(v);
  if (std::isinf(f) && std::isfinite(v)) RaiseFault(kFloatOverflow);
  return f;
}

}  // namespace

constinit const FunctionTable kReadDataTable{
    "ReadData",
    "Read Data from a file",
    kArguments,
    kHelpLines,
    /*emptyLineAfterHelp=*/true,
    /*codePageOnly=*/false,
    {kTableCounts, ErrorPolicy::kUntouched, /*clearsErrorText=*/false, WhenNotOffered::kAnswersAsComputed},
};

void AlignDataLines(const DataLines& lines, const HostDataRecord& data, BarRange bars, float* out) {
  if (bars.last < bars.first) return;
  const bool daily = PeriodLetter(data) == 'D';
  const std::size_t count = lines.size();
  std::size_t k = 0;
  // Line k parsed once however many bars look at it.
  std::string_view fields[3];  // date, time, value
  std::size_t parsed = count;
  int32_t lineDate = 0;
  int32_t lineTime = 0;
  std::size_t valued = count;
  float value = 0.0f;

  const HostBars run(bars.first, bars.last);
  for (int32_t i = bars.first; i <= run.stop; ++i) {
    const HostDateTimeEntry& bar = data.dates[i];
    while (k < count) {
      const std::string_view line = lines[k];
      if (line.empty()) {
        ++k;
        continue;
      }
      if (parsed != k) {
        LeadingTokens(line, ',', fields);
        lineDate = IntegerOf(fields[0]);
        lineTime = daily ? kEndOfDay : IntegerOf(fields[1]);
        parsed = k;
      }
      const bool match = bar.date < lineDate || (bar.date == lineDate && bar.time <= lineTime);
      if (!match) {
        ++k;
        continue;
      }
      if (valued != k) {
        value = ValueOf(fields[2]);
        valued = k;
      }
      break;  // line k stays the candidate for the next bar
    }
    out[i] = value;
  }
  run.End();
}

BarRange ComputeReadData(const HostDataRecord& data, std::string_view fileTemplate, float* out,
                         FileService& files) {
  const BarRange bars{data.close.first, data.close.last};
  if (bars.first < 0 || bars.last < 0) RaiseFault(kRangeCheckError);
  const std::string name =
      ExpandDataFileName(fileTemplate, SymbolText(data), ReaderPeriodText(data));
  DataLines lines;
  if (TakeOverDataFile(name, lines, files)) AlignDataLines(lines, data, bars, out);
  return bars;
}

}  // namespace msx

using namespace msx;

MSX_EXPORT int32_t MSX_CALL ReadData(const HostDataRecord* data, const HostSeriesArgs* series,
                                     const HostNumericArgs* numeric, const HostStringArgs* strings,
                                     const HostCustomArgs* custom, ResultRec* result) {
  return CallFunction(kReadDataTable, {data, series, numeric, strings, custom, result},
                      [](const HostCall& c) { return ComputeReadData(c.Data(), c.String(0), c.Out()); });
}
