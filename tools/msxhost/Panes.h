// Where a chart draws a formula's result: over the price, on the price's
// scale, or in a pane of its own below it with its own axis and a zero line;
// and how it draws and labels it. Each function's scale, unit and line are
// declared once, in the table of Panes.cpp.
#pragma once

#include <optional>
#include <string>
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

// How a chart draws a formula's values and what its axis calls them.
struct PlotStyle {
  // A reversal line (NRTR, NRTR_WATR, RENKO_WATR's trigger levels): each
  // value is held until the next bar, and the line breaks where it flips to
  // the other side of its input.
  bool reversal = false;
  // The input the line flips around when it is a column of the chart (C, H,
  // an extra column's name); empty when it is computed or not a line.
  std::string input;
  // "price" for the price fields and what lies on their scale, "volume",
  // "%" (CER), "-1 to +1" (JTPO), "position" (TradeFile, TradeQuik and
  // RENKO_WATR's signals), "1 = true" (Cross, comparisons, and, or, not);
  // sums and differences keep their operands' unit. Empty when unknown
  // (numbers, other columns, products).
  std::string unit;
};

// The style of a formula's result, read from the formula alone. `signal`
// says that the result holds nothing but -1, 0 and 1: RENKO_WATR's Long,
// Short and Both rather than its levels.
PlotStyle StyleOf(const FormulaNode& formula, bool signal);

// "price" or "own" as given to --pane; empty for any other text.
std::optional<Pane> ParsePane(std::string_view text);

}  // namespace msxhost
