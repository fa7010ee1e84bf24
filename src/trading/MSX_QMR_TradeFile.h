// TradeFile: a buy/sell signal turned into a simulated trade history file
// for an external trade-analysis program.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/Checked.h"
#include "host/MSXStruct.h"
#include "common/FunctionTable.h"
#include "trading/TradingSettings.h"

namespace msx {

extern const FunctionTable kTradeFileTable;

// Trade modes, the IDs of the third argument's choices.
enum TradeMode : int32_t { kLongOnly = 0, kShortOnly = 1, kLongAndShort = 2 };

// How many times a trade file line is tried before it is dropped.
inline constexpr int32_t kTradeFileAttempts = 10;

// Appends line and CR LF to the file, whole, without code-page conversion,
// in up to kTradeFileAttempts attempts one right after the other; a line
// that no attempt can write is dropped without report.
void AppendLineWithRetry(std::string_view line, const std::string& path);

// Appends one trade row "strategy,security,position,entry,exit,gain" with
// the gain printed with four decimals and "." as decimal point.
void WriteTradeRow(const std::string& path, std::string_view strategy, std::string_view security,
                   int32_t position, int32_t entryDate, int32_t exitDate, double gain);

// The chart period as the trade file names it: the interval in decimal for
// intraday charts (period letter I or i), else the period letter; "0"
// becomes "T".
std::string TradeFilePeriodLabel(int32_t period, int32_t interval);

// Author[Strategy]Security[Period].csv in the directory: the bare name for
// an empty directory, joined with the platform's separator unless the
// directory ends with it.
std::string TradeFilePath(const TradeFileSettings& settings, std::string_view strategy,
                          std::string_view security, std::string_view periodLabel);

// One call: rewrites the trade file of this author, strategy, security and
// period from the bars of the processed range, writes 0 into out over it and
// returns it.
BarRange ComputeTradeFile(const HostDataRecord& data, const HostSeries& close,
                          const HostSeries& buySell, int32_t mode, const char* strategy,
                          const TradeFileSettings& settings, float* out);

void LoadTradeFile();
void UnloadTradeFile();

}  // namespace msx
