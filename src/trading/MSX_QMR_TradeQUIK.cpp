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
// file that cannot be written stops the order before it goes out; the order
// is recorded (bar, number, the transaction file's length, the line) before
// the line is appended, and the line is appended before the last bar is
// remembered. A line that cannot be written fails the call and leaves the
// bar unseen; a host that dies anywhere in between leaves the record. The
// next calculation finds the record unfinished, looks for the line after the
// recorded length, sends it only when it is not there, and then remembers
// the bar. Nothing is lost and nothing goes twice, across crashes too.
//
// All of it is one turn on the settings file, shared with the other charts
// of the host and with other processes that use the same file.
#include "trading/MSX_QMR_TradeQUIK.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <mutex>
#include <optional>

#include "common/ChartPeriod.h"
#include "common/HostCall.h"
#include "common/MSX_QMR_CommonFunc.h"
#include "common/NumberText.h"
#include "platform/Platform.h"

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
constexpr const char* kLineTooLong = "Quik transaction line is too long";

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

// Stores the strategy's last bar seen, durably.
void RememberBar(TradingSettings& settings, const std::string& section, const std::string& key,
                 const HostDateTimeEntry& bar) {
  if (!settings.WriteText(section, key, std::to_string(bar.date) + "," + std::to_string(bar.time)))
    CannotWrite(kCannotWriteSettings, settings.path());
  settings.Flush();
}

}  // namespace

constinit const FunctionTable kTradeQuikTable{
    "TradeQuik",
    "TradeQuik",
    kArguments,
    kHelpLines,
    /*emptyLineAfterHelp=*/false,
    /*codePageOnly=*/true,
    {kTableCounts | kStringCount, ErrorPolicy::kFaultMessage, /*clearsErrorText=*/false,
     WhenNotOffered::kAnswersAsComputed},
};

std::string SecuritySectionName(const HostDataRecord& data) {
  const std::string tag = PeriodTag(data);
  if (tag.empty()) return {};
  return Text(data.securityPath) + "\\" + Text(data.symbol) + "(" + tag + ")";
}

std::string FormatOrderPrice(double price) {
  // "0.###": three decimals, then the trailing zeros and a bare point left
  // out; a price that rounds to zero carries no sign.
  std::string s;
  AppendFixed(s, price, 3, {});
  if (s.find('.') != std::string::npos) {
    while (s.back() == '0') s.pop_back();
    if (s.back() == '.') s.pop_back();
  }
  return s;
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

// The line ends in a "|" of the record's own: the profile rules drop blanks
// at the end of a value, and the line must come back as it was written.
std::string RecordedOrderText(const RecordedOrder& order) {
  return std::to_string(order.bar.date) + "," + std::to_string(order.bar.time) + "," +
         std::to_string(order.transId) + "," + std::to_string(order.length) + "," + order.line +
         "|";
}

std::optional<RecordedOrder> ParseRecordedOrder(const std::string& text) {
  RecordedOrder order;
  std::string_view rest = text;
  const auto field = [&rest](auto* value) {
    const std::size_t comma = rest.find(',');
    if (comma == std::string_view::npos) return false;
    const auto [end, ec] = std::from_chars(rest.data(), rest.data() + comma, *value);
    const bool whole = ec == std::errc{} && end == rest.data() + comma;
    rest.remove_prefix(comma + 1);
    return whole;
  };
  if (!field(&order.bar.date) || !field(&order.bar.time) || !field(&order.transId) ||
      !field(&order.length) || order.length < 0 || rest.size() < 2 || rest.back() != '|')
    return std::nullopt;
  order.line = rest.substr(0, rest.size() - 1);
  return order;
}

namespace {
void AppendOrderLine(const std::string& line, const std::string& filePath) {
  for (int32_t attempt = 0; attempt < kOrderLineAttempts; ++attempt)
    if (AppendLine(line, filePath)) return;
  CannotWrite(kCannotWriteTransactions, filePath);
}
}  // namespace

void FinishRecordedOrder(const RecordedOrder& order, const std::string& filePath) {
  std::string line = order.line;
  MakeOemLine(line);  // the bytes as they were written
  std::string text;
  const platform::Status read = platform::ReadWholeFile(filePath, &text);
  if (!read.ok() && read.code != platform::StatusCode::kNotFound)
    CannotWrite(kCannotWriteTransactions, filePath);  // cannot tell: send nothing yet
  const std::size_t length = static_cast<std::size_t>(order.length);
  if (text.find(line, length <= text.size() ? length : 0) != std::string::npos) return;
  // What a write killed in the middle left: the start of this very line.
  if (length < text.size() && line.starts_with(std::string_view(text).substr(length)) &&
      !platform::TruncateFile(filePath, order.length).ok())
    CannotWrite(kCannotWriteTransactions, filePath);
  AppendOrderLine(order.line, filePath);
}

int32_t WriteOrderLine(TradingSettings& settings, const std::string& classCode,
                       const std::string& secCode, const std::string& account,
                       const std::string& clientCode, int32_t orderType, int32_t direction,
                       double price, int32_t quantity, int32_t ident,
                       const std::string& templateText, const std::string& filePath,
                       const OrderRecordPlace& place) {
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
  RecordedOrder order{place.bar, fields.transId, 0, ExpandOrderTemplate(templateText, fields)};
  if (!platform::FileLength(filePath, &order.length).ok()) order.length = 0;
  const std::string record = RecordedOrderText(order);
  if (record.size() > platform::kProfileValueLimit) RaiseFault(kLineTooLong);
  if (!settings.WriteText(place.section, place.key, record))
    CannotWrite(kCannotWriteSettings, settings.path());
  AppendOrderLine(order.line, filePath);
  return signedQuantity;
}

BarRange ComputeTradeQuik(const HostDataRecord& data, const TradeQuikInputs& in,
                          TradingSettings& settings, float* out) {
  const TradingSettings::Turn oneAtATime(settings);
  // The processed range: the chart's Close range, narrowed by each series
  // argument.
  const BarRange range =
      NarrowedRange({data.close.first, data.close.last}, {in.shortLong, in.price, in.quantity});
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
  // The strategy instance's order on its way beside it.
  const std::string suffix = account + "_" + clientCode + "_" + std::to_string(ident);
  const std::string key = "DateTime_" + suffix;
  const std::string orderKey = "Order_" + suffix;
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

  // An order of an earlier calculation that ended before it remembered its
  // bar: sent now if it never went out, and its bar is seen from here on.
  if (ident >= 1 && lastDate >= 1) {
    const std::optional<RecordedOrder> recorded =
        ParseRecordedOrder(settings.ReadText(section, orderKey, ""));
    if (recorded && Newer(recorded->bar, lastDate, lastTime)) {
      FinishRecordedOrder(*recorded, file);
      RememberBar(settings, section, key, recorded->bar);
      lastDate = recorded->bar.date;
      lastTime = recorded->bar.time;
    }
  }

  const SeriesIn shortLong(in.shortLong->values);
  const SeriesIn quantity(in.quantity->values);
  const SeriesIn price(in.price->values);
  const SeriesOut result(out);
  int32_t previous = WantedPosition(shortLong[range.first]);
  int32_t orderQuantity = 0;
  int32_t direction = 0;
  double orderPrice = 0.0;
  int32_t total = 0;
  std::optional<int32_t> orderBar;  // the bar of the latest order found
  const HostBars bars(range.first, range.last);
  for (int32_t i = range.first; i <= bars.stop; ++i) {
    const int32_t wanted = WantedPosition(shortLong[i]);
    const int32_t unit = RoundToInt32(quantity[i]);
    const double barPrice = price[i];
    if (lastDate >= 1 && wanted != previous) {
      const int32_t change = CheckedSub(wanted, previous);
      direction = change > 0 ? 1 : -1;
      if (Newer(data.dates[i], lastDate, lastTime)) {
        orderQuantity = CheckedMul(change > 0 ? change : -change, unit);
        orderPrice = barPrice;
        total = CheckedAdd(total, CheckedMul(orderQuantity, direction));
        orderBar = i;
      }
    }
    result[i] = static_cast<float>(total);
    previous = wanted;
  }
  bars.End();

  if (ident >= 1) {
    // A key that could not be stored would leave every bar unseen.
    if (!TradingSettings::Storable(section, key))
      CannotWrite(kCannotWriteSettings, settings.path());
    const HostDateTimeEntry& last = data.dates[CheckedIndex(range.last)];
    if (orderBar == range.last)
      WriteOrderLine(settings, classCode, secCode, account, clientCode, in.orderType, direction,
                     orderPrice, orderQuantity, ident, templateText, file,
                     {section, orderKey, last});
    // The last bar seen only moves forward: a chart shown with fewer bars
    // for a while (still loading, fewer bars asked for) must not make the
    // order of a bar already seen go out again when the bars come back.
    if (lastDate < 1 || Newer(last, lastDate, lastTime)) RememberBar(settings, section, key, last);
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
  const TradeQuikInputs in{&c.Series(0),        &c.Series(1), &c.Series(2), c.strings->items[0],
                           c.strings->items[1], c.Custom(0),  c.Numeric(0)};
  return ComputeTradeQuik(c.Data(), in, OpenTradingSettingsOrFault(), c.Out());
}

}  // namespace

MSX_EXPORT int32_t MSX_CALL TradeQuik(const HostDataRecord* data, const HostSeriesArgs* series,
                                      const HostNumericArgs* numeric, const HostStringArgs* strings,
                                      const HostCustomArgs* custom, ResultRec* result) {
  return CallFunction(kTradeQuikTable, {data, series, numeric, strings, custom, result},
                      ComputeTradeQuikCall);
}
