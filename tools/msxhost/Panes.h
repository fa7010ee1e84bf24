// Where a chart draws a formula's result: over the price, on the price's
// scale, or in a pane of its own below it with its own axis and a zero line.
// Each function's scale is declared once, in the table of Panes.cpp.
#pragma once

#include <optional>
#include <string_view>

#include "FormulaParser.h"
#include "LoadedLibrary.h"

namespace msxhost {

enum class Pane { kPrice, kOwn };

// The pane of a formula's result:
// - a call of a function whose result lies on the scale of its first
//   argument (NRTR, NRTR_WATR, JMA, RENKO_WATR's levels, WriteData) goes
//   where that argument goes, so NRTR(C, 2) is drawn over the price and
//   JMA(JTPO(C, 14), 5) in a pane of its own;
// - oscillators and signals (CER, JTPO, RENKO_WATR's Long, Short and Both,
//   TradeFile's and TradeQuik's positions, WriteDataEx's zeros) get their own pane;
// - ReadData is drawn over the price (data files mostly carry prices);
// - of the tester's own functions, Ref, Mov, HHV, LLV, Max and Min follow
//   their first argument and If its second; Cross, Sum, Abs and the
//   operators get their own pane;
// - the price fields O, H, L, C go over the price; volume, other columns,
//   numbers and unknown functions get their own pane.
// `library` resolves a choice written as its short form or its ID.
Pane PaneOf(const FormulaNode& formula, const LoadedLibrary& library);

// "price" or "own" as given to --pane; empty for any other text.
std::optional<Pane> ParsePane(std::string_view text);

}  // namespace msxhost
