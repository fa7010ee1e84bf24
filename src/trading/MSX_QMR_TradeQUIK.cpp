// TradeQuik: at every chart calculation the wanted position of each bar is
// compared with the one of the bar before. A change on a bar newer than the
// last one this strategy instance has seen is an order; only an order on
// the chart's last bar is sent, as one line appended to the transaction
// file. The last bar seen is remembered in the settings file under a key
// per security, account, client code and Ident, so that the same bar never
// sends twice, whether calculated again, reloaded or after a restart.
//
// What the user is promised, and why the steps come in this order: the
// transaction number is taken (and written) before the line, so a settings
// file that cannot be written stops the order before it goes out; the line
// is appended before the last bar is remembered, so a line that cannot be
// written fails the call and leaves the bar unseen for the next calculation
// to send again. Nothing is lost and nothing goes twice.
#include "trading/MSX_QMR_TradeQUIK.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <mutex>
#include <optional>

#include "common/HostCall.h"
#include "common/MSX_QMR_CommonFunc.h"

namespace msx {
namespace {

constexpr ArgumentRow kArguments[] = {
    {kSeriesArg, "ShortLong[]", 0, ""},
    {kStringArg, "\"Account\"", 0, ""},
    {kStringArg, "\"Client_Code\"", 0, ""},
    {kCustomArg, "[Limit|L|Market|M]", 4, "Limit,0;L,0;Market,1;M,1;"},
    {kSeriesArg, "Price[]", 0, ""},
    {kSeriesArg, "Quantity[]", 0, ""},
    {kNumericArg, "Ident", 0, ""},
};

constexpr const char* kHelpLines[] = {
    "TradeQuik - write an order information into a transaction file for Quik and NetInvestor",
    "          Library code: the msx_qmr developers, 2026.",
};

[[noreturn]] void CannotWrite(const char* what, const std::string& path) {
  RaiseFault((std::string(what) + path).c_str());
}
constexpr const char* kCannotWriteSettings = "Cannot write settings file ";
constexpr const char* kCannotWriteTransactions = "Cannot write Quik transaction file ";

// The sign of the rounded signal: 1 long, -1 short, 0 flat.
int32_t WantedPosition(float signal) {
  const int32_t s = RoundToInt32(signal);
  return s > 0 ? 1 : (s < 0 ? -1 : 0);
}

std::string Text(const char* s) { return s != nullptr ? s : ""; }

// A bar's stamp compared with the last one seen.
bool Newer(const HostDateTimeEntry& bar, int32_t lastDate, int32_t lastTime) {
  return bar.date > lastDate || (bar.date == lastDate && bar.time > lastTime);
}

}  // namespace

constinit const FunctionTable kTradeQuikTable{
    "TradeQuik",
    "TradeQuik",
    kArguments,
    kHelpLines,
    /*emptyLineAfterHelp=*/false,
    /*codePageOnly=*/true,
    {kTableCounts | kStringCount, ErrorPolicy::kFaultMessage, /*clearsErrorText=*/false, WhenNotOffered::kAnswersAsComputed},
};

std::string SecuritySectionName(const HostDataRecord& data) {
  const char letter = static_cast<char>(data.period & 0xFF);
  std::string tag;
  switch (letter) {
    case 'D':
    case 'W':
    case 'M':
    case 'Q':
    case 'Y':
      tag = std::string(1, letter);
      break;
    case 'I':
      tag = data.interval == 0 ? "T" : std::to_string(data.interval);
      break;
    default:
      return {};
  }
  return Text(data.securityPath) + "\\" + Text(data.symbol) + "(" + tag + ")";
}

std::string FormatOrderPrice(double price) {
  char buffer[400];  // fixed notation of any double with three decimals fits
  const auto [end, ec] =
      std::to_chars(buffer, buffer + sizeof buffer, price, std::chars_format::fixed, 3);
  std::string s(buffer, ec == std::errc{} ? static_cast<std::size_t>(end - buffer) : 0);
  if (s.find('.') != std::string::npos) {
    while (s.back() == '0') s.pop_back();
    if (s.back() == '.') s.pop_back();
  }
  return s == "-0" ? "0" : s;
}

std::string ExpandOrderTemplate(const std::string& templateText, const OrderFields& f) {
  std::string line;
  line.reserve(templateText.size() + 64);
  for (std::size_t i = 0; i < templateText.size(); ++i) {
    if (templateText[i] != '%') {
      line += templateText[i];
      continue;
    }
    if (++i == templateText.size()) break;  // a percent sign at the very end
    switch (templateText[i]) {
      case 'N':
        line += std::to_string(f.transId);
        break;
      case 'A':
        line += f.account;
        break;
      case 'C':
        line += f.clientCode;
        break;
      case 'T':
        line += f.orderType == kLimitOrder ? "L" : (f.orderType == kMarketOrder ? "M" : "");
        break;
      case 'M':
        line += f.classCode;
        break;
      case 'S':
        line += f.secCode;
        break;
      case 'O':
        line += f.direction > 0 ? "B" : "S";
        break;
      case 'P':
        line += FormatOrderPrice(f.price);
        break;
      case 'Q':
        line += std::to_string(f.quantity);
        break;
      case '%':
        line += '%';
        break;
      default:  // dropped with the percent sign
        break;
    }
  }
  return line;
}

int32_t NextTransId(TradingSettings& settings) {
  const int32_t id = CheckedAdd(settings.ReadInteger(kTradeQuikSection, "TransId", 1), 1);
  if (!settings.WriteInteger(kTradeQuikSection, "TransId", id))
    CannotWrite(kCannotWriteSettings, settings.path());
  return id;
}

int32_t WriteOrderLine(TradingSettings& settings, const std::string& classCode,
                       const std::string& secCode, const std::string& account,
                       const std::string& clientCode, int32_t orderType, int32_t direction,
                       double price, int32_t quantity, int32_t ident,
                       const std::string& templateText, const std::string& filePath) {
  if (ident <= 0) return 0;
  if (!(direction > 0 || direction < 0)) return 0;
  if (!std::isfinite(price)) RaiseFault(kInvalidFloatOperation);  // no order at no price
  const int32_t signedQuantity = CheckedMul(direction, quantity);
  const OrderFields fields{NextTransId(settings),
                           account,
                           clientCode,
                           orderType,
                           classCode,
                           secCode,
                           direction,
                           price,
                           quantity};
  const std::string line = ExpandOrderTemplate(templateText, fields);
  for (int32_t attempt = 0; attempt < kOrderLineAttempts; ++attempt)
    if (AppendLine(line, filePath)) return signedQuantity;
  CannotWrite(kCannotWriteTransactions, filePath);
}

BarRange ComputeTradeQuik(const HostDataRecord& data, const TradeQuikInputs& in,
                          TradingSettings& settings, float* out) {
  const std::lock_guard<std::mutex> oneAtATime(settings.calculationLock());
  // The processed range: the chart's Close range, narrowed by each series
  // argument (by its last index only when its own range is not empty).
  BarRange range{data.close.first, data.close.last};
  for (const HostSeries* s : {in.shortLong, in.price, in.quantity}) {
    range.first = std::max(range.first, s->first);
    if (s->last >= s->first) range.last = std::min(range.last, s->last);
  }
  std::string account = Text(in.account);
  std::string clientCode = Text(in.clientCode);
  const int32_t ident = RoundToInt32(in.ident);
  const std::string section = SecuritySectionName(data);

  // A new security's section is created with the keys the user must fill in.
  if (!settings.SectionHasKeys(section)) {
    settings.WriteText(section, "ClassCode", "");
    settings.WriteText(section, "SecCode", "");
  }
  const TradeQuikSettings& defaults = settings.tradeQuik;
  if (account.empty()) account = settings.ReadText(section, "Account", defaults.account);
  if (clientCode.empty())
    clientCode = settings.ReadText(section, "ClientCode", defaults.clientCode);
  const std::string classCode = settings.ReadText(section, "ClassCode", "");
  const std::string secCode = settings.ReadText(section, "SecCode", "");
  const std::string file = settings.ReadText(section, "File", defaults.file);
  const std::string templateText = settings.ReadText(section, "Template", defaults.templateText);
  if (account.empty()) RaiseFault("Account is not defined");
  if (clientCode.empty()) RaiseFault("ClientCode is not defined");

  // The last bar seen: "date,time"; a part that is no integer counts as 0.
  const std::string key = "DateTime_" + account + "_" + clientCode + "_" + std::to_string(ident);
  const std::string seen = settings.ReadText(section, key, "");
  int32_t lastDate = 0;
  int32_t lastTime = 0;
  if (const std::size_t comma = seen.find(','); comma != std::string::npos) {
    if (!ParseInt32(std::string_view(seen).substr(0, comma), &lastDate)) lastDate = 0;
    if (!ParseInt32(std::string_view(seen).substr(comma + 1, 10), &lastTime)) lastTime = 0;
  }

  if (classCode.empty()) RaiseFault("ClassCode is not defined");
  if (templateText.empty()) RaiseFault("Template is not defined");
  if (secCode.empty()) RaiseFault("SecCode is not defined");
  if (file.empty()) RaiseFault("Quik transaction file is not defined");
  if (data.close.first < 0 || range.last < 0) RaiseFault(kRangeCheckError);

  const SeriesIn shortLong(in.shortLong->values);
  const SeriesIn quantity(in.quantity->values);
  const SeriesIn price(in.price->values);
  const SeriesOut result(out);
  int32_t previous = WantedPosition(shortLong[range.first]);
  int32_t orderQuantity = 0;
  int32_t direction = 0;
  double orderPrice = 0.0;
  int32_t total = 0;
  std::optional<int64_t> orderBar;  // the bar of the latest order found
  for (int64_t i = range.first; i <= range.last; ++i) {
    const int32_t wanted = WantedPosition(shortLong[i]);
    const int32_t unit = RoundToInt32(quantity[i]);
    const double barPrice = price[i];
    if (lastDate >= 1 && wanted != previous) {
      const int32_t change = CheckedSub(wanted, previous);
      direction = change > 0 ? 1 : -1;
      if (Newer(data.dates[CheckedIndex(i)], lastDate, lastTime)) {
        orderQuantity = CheckedMul(change > 0 ? change : -change, unit);
        orderPrice = barPrice;
        total = CheckedAdd(total, CheckedMul(orderQuantity, direction));
        orderBar = i;
      }
    }
    result[i] = static_cast<float>(total);
    previous = wanted;
  }

  if (ident >= 1) {
    // A key that could not be stored would leave every bar unseen.
    if (!TradingSettings::Storable(section, key))
      CannotWrite(kCannotWriteSettings, settings.path());
    if (orderBar == range.last)
      WriteOrderLine(settings, classCode, secCode, account, clientCode, in.orderType, direction,
                     orderPrice, orderQuantity, ident, templateText, file);
    // The last bar seen only moves forward: a chart shown with fewer bars
    // for a while (still loading, fewer bars asked for) must not make the
    // order of a bar already seen go out again when the bars come back.
    const HostDateTimeEntry& last = data.dates[CheckedIndex(range.last)];
    if (lastDate < 1 || Newer(last, lastDate, lastTime)) {
      if (!settings.WriteText(section, key,
                              std::to_string(last.date) + "," + std::to_string(last.time)))
        CannotWrite(kCannotWriteSettings, settings.path());
      settings.Flush();
    }
  }
  return range;
}

// Read whatever the code-page flag (the function is offered only under it).
void LoadTradeQuik() { ReadTradeQuikSettings(); }

void UnloadTradeQuik() { CloseTradingSettings(); }

}  // namespace msx

using namespace msx;

namespace {

// The string count is compared, so both strings are there (as the host
// passed them; an account or client code of null counts as empty).
BarRange ComputeTradeQuikCall(const HostCall& c) {
  const TradeQuikInputs in{&c.Series(0),        &c.Series(1),        &c.Series(2), c.strings->items[0],
                           c.strings->items[1], c.Custom(0), c.Numeric(0)};
  return ComputeTradeQuik(c.Data(), in, OpenTradingSettingsOrFault(), c.Out());
}

}  // namespace

MSX_EXPORT int32_t MSX_CALL TradeQuik(const HostDataRecord* data, const HostSeriesArgs* series,
                                      const HostNumericArgs* numeric, const HostStringArgs* strings,
                                      const HostCustomArgs* custom, ResultRec* result) {
  return CallFunction(kTradeQuikTable, {data, series, numeric, strings, custom, result}, ComputeTradeQuikCall);
}
