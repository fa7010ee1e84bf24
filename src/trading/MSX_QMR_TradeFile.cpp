// TradeFile: walks the chart's bars, opens and closes long and/or short
// positions as the rounded signal changes, and writes one row per completed
// trade into the trade file, which is deleted and written anew at every call
// so that it always holds the chart's latest calculation.
#include "trading/MSX_QMR_TradeFile.h"

#include <algorithm>

#include "common/HostCall.h"
#include "common/MSX_QMR_CommonFunc.h"
#include "common/NumberText.h"
#include "platform/Platform.h"

namespace msx {
namespace {

constexpr ArgumentRow kArguments[] = {
    {kSeriesArg, "Close[]", 0, ""},
    {kSeriesArg, "BuySell[]", 0, ""},
    {kCustomArg, "[Long|L|Short|S|Both|B]", 6, "Long,0;L,0;Short,1;S,1;Both,2;B,2;"},
    {kStringArg, "\"Strategy\"", 0, ""},
};

constexpr const char* kHelpLines[] = {
    "TradeFile -  stores a simulated trade history in a file to use with the trade analyser. ",
    "          Library code: the msx_qmr developers, 2026.",
};

std::string Decimal(int64_t v) { return std::to_string(v); }

// "03/28/2002 14:05:09": two digits each, four for the year; the slashes
// fixed, the time separator the system's.
std::string CreationTime() {
  const platform::LocalTime t = platform::CurrentLocalTime();
  const std::string sep = platform::UserLocaleFormats().timeSeparator;
  std::string s;
  AppendPaddedInt(s, t.month, 2);
  s += '/';
  AppendPaddedInt(s, t.day, 2);
  s += '/';
  AppendPaddedInt(s, t.year, 4);
  s += ' ';
  AppendTimeOfDay(s, t.hour, t.minute, t.second, sep);
  return s;
}

void LogRange(int32_t first, int32_t last) {
  DiagnosticLog("FirstValid=" + Decimal(first));
  DiagnosticLog("LastValid=" + Decimal(last));
}

// The wanted position for a rounded signal in a mode; any other mode keeps
// the previous one, so no trade is ever opened.
int32_t Wanted(int64_t s, int32_t mode, int32_t previous) {
  switch (mode) {
    case kLongOnly:
      return s > 0 ? 1 : 0;
    case kShortOnly:
      return s < 0 ? -1 : 0;
    case kLongAndShort:
      return s < 0 ? -1 : (s > 0 ? 1 : 0);
    default:
      return previous;
  }
}

}  // namespace

constinit const FunctionTable kTradeFileTable{
    "TradeFile",
    "TradeFile stores a simulated trade history in a file",
    kArguments,
    kHelpLines,
    /*emptyLineAfterHelp=*/true,
    /*codePageOnly=*/false,
    {kTableCounts, ErrorPolicy::kFaultMessage, /*clearsErrorText=*/true,
     WhenNotOffered::kAnswersAsComputed},
};

void AppendLineWithRetry(std::string_view line, const std::string& path) {
  // Every line goes whole with its line break: a cut line would glue rows
  // together for the program that reads the file.
  std::string text;
  text.reserve(line.size() + 2);
  text.append(line).append("\r\n");
  for (int32_t attempt = 0; attempt < kTradeFileAttempts; ++attempt)
    if (platform::AppendLineToFile(path, text).ok()) return;
  RaiseWriteFault(kCannotWriteTradeFile, path);
}

void WriteTradeRow(const std::string& path, std::string_view strategy, std::string_view security,
                   int32_t position, int32_t entryDate, int32_t exitDate, double gain) {
  std::string row;
  row.reserve(strategy.size() + security.size() + 48);
  row.append(strategy).append(",").append(security).append(",");
  row.append(Decimal(position)).append(",").append(Decimal(entryDate)).append(",");
  row.append(Decimal(exitDate)).append(",");
  AppendPrintfFixed(row, gain, 4);
  AppendLineWithRetry(row, path);
}

std::string TradeFilePeriodLabel(int32_t period, int32_t interval) {
  const char letter = static_cast<char>(period & 0xFF);
  std::string label = (letter == 'I' || letter == 'i') ? Decimal(interval) : std::string(1, letter);
  return label == "0" ? "T" : label;
}

std::string TradeFilePath(const TradeFileSettings& settings, std::string_view strategy,
                          std::string_view security, std::string_view periodLabel) {
  std::string name = settings.author;
  name.append("[").append(strategy).append("]").append(security);
  name.append("[").append(periodLabel).append("].csv");
  const std::string& dir = settings.directory;
  if (dir.empty()) return name;
  const char sep = platform::PathSeparator();
  return dir.back() == sep ? dir + name : dir + sep + name;
}

BarRange ComputeTradeFile(const HostDataRecord& data, const HostSeries& close,
                          const HostSeries& buySell, int32_t mode, const char* strategyText,
                          const TradeFileSettings& settings, float* out) {
  // The processed range: the chart's Close range, narrowed by each series
  // argument. A series that lowers the last bar below 0 is a range fault.
  BarRange range = ValidRangeOf(data.close);
  LogRange(range.first, range.last);
  range = NarrowedRange(range, {&close, &buySell});
  if (range.last < 0) RaiseFault(kRangeCheckError);
  LogRange(range.first, range.last);

  DiagnosticLog("Initializing inputs");
  const std::string strategy = strategyText != nullptr ? strategyText : "";
  const std::string security = data.securityName != nullptr ? data.securityName : "";
  const std::string period = TradeFilePeriodLabel(data.period, data.interval);
  int32_t position = 0;
  int32_t wanted = 0;
  int32_t entryDate = 0;
  double entryPrice = 0.0;
  DiagnosticLog("Initializing variables");

  const std::string path = TradeFilePath(settings, strategy, security, period);
  (void)platform::RemoveFile(path);  // a file that cannot be deleted is written over
  AppendLineWithRetry(
      ";  This file was created " + CreationTime() + " with TradeFile() MSX function", path);
  AppendLineWithRetry(";  Written by the msx_qmr library for the trade analyser", path);
  AppendLineWithRetry(";%A=" + settings.author, path);
  AppendLineWithRetry(";%S=" + strategy, path);
  AppendLineWithRetry(";%T=" + security, path);
  AppendLineWithRetry(";%P=" + period, path);
  AppendLineWithRetry("<Strategy>,<Ticker>,<Position>,<EnterDate>,<ExitDate>,<Gain>", path);

  const SeriesIn price(close.values);
  const SeriesIn signal(buySell.values);
  const SeriesOut result(out);
  const HostBars bars(range.first, range.last);
  for (int32_t i = range.first; i <= bars.stop; ++i) {
    result[i] = 0.0f;
    wanted = Wanted(RoundToInt64(signal[i]), mode, wanted);
    if (i == range.last && settings.closePositionAtLastBar) wanted = 0;
    if (wanted == position) continue;
    const int32_t date = data.dates[i].date;
    const float p = price[i];
    if (position == 1 && entryPrice > 0) {
      WriteTradeRow(path, strategy, security, 1, entryDate, date,
                    static_cast<double>(p / static_cast<long double>(entryPrice) - 1));
      entryPrice = 0.0;
      position = 0;
    }
    if (position == -1 && entryPrice > 0) {
      WriteTradeRow(path, strategy, security, -1, entryDate, date,
                    static_cast<double>(1 - p / static_cast<long double>(entryPrice)));
      entryPrice = 0.0;
      position = 0;
    }
    if (wanted != 0) {
      entryDate = date;
      entryPrice = p;
      position = wanted;
    }
  }
  bars.End();
  LogRange(range.first, data.close.last);
  return range;
}

void LoadTradeFile() { ReadTradeFileSettings(); }

// TradeQuik's unload step, which runs first, has closed the settings
// already; this one is for a library built without it.
void UnloadTradeFile() { CloseTradingSettings(); }

}  // namespace msx

using namespace msx;

namespace {

BarRange ComputeTradeFileCall(const HostCall& c) {
  return ComputeTradeFile(c.Data(), c.Series(0), c.Series(1), c.Custom(0), c.String(0),
                          OpenTradingSettingsOrFault().tradeFile, c.Out());
}

}  // namespace

MSX_EXPORT int32_t MSX_CALL TradeFile(const HostDataRecord* data, const HostSeriesArgs* series,
                                      const HostNumericArgs* numeric, const HostStringArgs* strings,
                                      const HostCustomArgs* custom, ResultRec* result) {
  return CallFunction(kTradeFileTable, {data, series, numeric, strings, custom, result},
                      ComputeTradeFileCall);
}
