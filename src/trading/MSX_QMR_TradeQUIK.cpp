// TradeQuik: at every chart calculation the wanted position of each bar is
// compared with the one of the bar before. A change on a bar newer than the
// last one this strategy instance has seen is an order; only an order on
// the chart's last bar is sent, as one line appended to the transaction
// file. The last bar seen is remembered in the settings file under a key
// per security, account, client code and Ident, so that the same bar never
// sends twice, whether calculated again, reloaded or after a restart.
//
// How an order goes out exactly once is OrderDesk's; the keys that switch
// orders off, cap them and choose how they follow the signal are
// OrderPolicy's; the trader's record of each decision is OrderJournal's.
//
// All of it is one turn on the settings file, shared with the other charts
// of the host and with other processes that use the same file.
#include "trading/MSX_QMR_TradeQUIK.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>
#include <vector>

#include "common/ChartPeriod.h"
#include "common/HostCall.h"
#include "common/MSX_QMR_CommonFunc.h"
#include "common/NumberText.h"
#include "trading/OrderDesk.h"
#include "trading/OrderJournal.h"
#include "trading/OrderPolicy.h"

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
    RaiseWriteFault(kCannotWriteSettings, settings.path());
  return id;
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

  const OrderPolicy policy = ReadOrderPolicy(settings, section);
  OrderJournal journal(ident >= 1 ? policy.journal : std::string(), section, account, clientCode,
                       ident);
  journal.CheckWritable();
  OrderDesk desk(settings, section, suffix, file, templateText, journal);

  // An order of an earlier calculation that ended before it remembered its
  // bar: sent now if it never went out, and its bar is seen from here on.
  if (ident >= 1 && lastDate >= 1) {
    const std::optional<RecordedOrder> recorded =
        ParseRecordedOrder(settings.ReadText(section, orderKey, ""));
    if (recorded && Newer(recorded->bar, lastDate, lastTime)) {
      desk.FinishRecorded(*recorded, policy.enabled);
      lastDate = recorded->bar.date;
      lastTime = recorded->bar.time;
    }
  }

  const SeriesIn shortLong(in.shortLong->values);
  const SeriesIn quantity(in.quantity->values);
  const SeriesIn price(in.price->values);
  const SeriesOut result(out);
  int32_t previous = WantedPosition(shortLong[range.first]);
  int32_t total = 0;
  // The orders found on bars newer than the last one seen; the last of them
  // is sent when it is on the last bar.
  std::vector<JournalRow> found;
  OrderFields order{0, account, clientCode, in.orderType, classCode, secCode, 0, 0.0, 0};
  std::optional<int32_t> orderBar;
  const HostBars bars(range.first, range.last);
  for (int32_t i = range.first; i <= bars.stop; ++i) {
    const int32_t wanted = WantedPosition(shortLong[i]);
    const int32_t unit = RoundToInt32(quantity[i]);
    const double barPrice = price[i];
    if (lastDate >= 1 && wanted != previous) {
      const int32_t change = CheckedSub(wanted, previous);
      order.direction = change > 0 ? 1 : -1;
      if (Newer(data.dates[i], lastDate, lastTime)) {
        order.quantity = CheckedMul(change > 0 ? change : -change, unit);
        order.price = barPrice;
        total = CheckedAdd(total, CheckedMul(order.quantity, order.direction));
        orderBar = i;
        if (policy.mode == OrderMode::kChanges) {
          found.push_back(RowAt(data.dates[i], previous, wanted, order.quantity));
          found.back().direction = order.direction;
          found.back().price = barPrice;
        }
      }
    }
    result[i] = static_cast<float>(total);
    previous = wanted;
  }
  bars.End();

  if (ident >= 1) {
    // A key that could not be stored would leave every bar unseen.
    if (!TradingSettings::Storable(section, key))
      RaiseWriteFault(kCannotWriteSettings, settings.path());
    const HostDateTimeEntry& last = data.dates[CheckedIndex(range.last)];
    const bool newBar = lastDate < 1 || Newer(last, lastDate, lastTime);
    const int32_t lastWanted = WantedPosition(shortLong[range.last]);
    const int32_t lastUnit = RoundToInt32(quantity[range.last]);
    JournalRow armed = RowAt(last, std::nullopt, lastWanted, lastUnit);
    armed.outcome = kArmed;
    std::string refusal;
    if (policy.mode == OrderMode::kChanges) desk.ForgetPosition();
    if (lastDate < 1) {
      journal.Write(armed);
      if (policy.mode == OrderMode::kPosition) desk.KeepPosition(lastWanted);
    } else if (policy.mode == OrderMode::kPosition) {
      // The orders bring the position their lines add up to to the wanted
      // one on every new last bar, whatever happened on the bars between.
      const std::optional<int32_t> kept = desk.KeptPosition();
      if (!kept) {  // switched over from Changes: armed afresh
        journal.Write(armed);
        desk.KeepPosition(lastWanted);
      } else if (newBar && lastWanted != *kept) {
        const int32_t change = CheckedSub(lastWanted, *kept);
        order.direction = change > 0 ? 1 : -1;
        order.quantity = CheckedMul(change > 0 ? change : -change, lastUnit);
        order.price = price[range.last];
        if (order.quantity != 0)
          refusal = desk.Decide(policy, order, RowAt(last, *kept, lastWanted, order.quantity),
                                lastWanted);
      }
    } else {
      // A change on an earlier new bar (bars missed while the host was
      // closed) is found, counted in the result and never sent.
      const bool onLastBar = orderBar == range.last;
      for (std::size_t f = 0; f + (onLastBar ? 1 : 0) < found.size(); ++f) {
        found[f].outcome = kNotLastBar;
        journal.Write(found[f]);
      }
      if (onLastBar) refusal = desk.Decide(policy, order, found.back(), std::nullopt);
    }
    // The last bar seen only moves forward: a chart shown with fewer bars
    // for a while (still loading, fewer bars asked for) must not make the
    // order of a bar already seen go out again when the bars come back.
    if (newBar) desk.RememberBar(last);
    journal.FailIfLost();
    if (!refusal.empty()) RaiseFault(refusal.c_str());
  }
  if (policy.enabledInvalid) RaiseFault(kEnabledMessage);
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
