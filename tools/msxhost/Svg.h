// A chart of one or more formulas as a plain, standalone SVG image (no
// scripts, no external files), 1200 pixels wide:
// - a title naming the security and the period, and the dates on view;
// - the price pane: candles when the data has its own open, high and low
//   prices, else a line of the close; its axis fits the prices
//   on view and the results drawn over them;
// - below it, one pane per result that has a scale of its own, with its own
//   axis and a zero line;
// - the time axis under the last pane, its labels chosen by TimeTicks;
// - a legend at the top of each pane naming its formulas.
// Colours are those of the Okabe-Ito palette, which readers with any common
// colour-vision deficiency can tell apart; candles are grey, rising ones
// hollow, so the colours go to the results.
#pragma once

#include <string>
#include <vector>

#include "Chart.h"
#include "Formula.h"
#include "Panes.h"
#include "Report.h"

namespace msxhost {

struct Plot {
  std::string formula;
  FormulaResult result;
  Pane pane = Pane::kPrice;
};

// The chart of the bars `visible` (clamped to the chart's bars; all bars
// when it holds none) with the plots in order: their colours and their
// panes top to bottom follow that order.
std::string RenderSvg(const Chart& chart, BarSpan visible, const std::vector<Plot>& plots);

}  // namespace msxhost
