// A chart of one or more formulas as a plain, standalone SVG image (no
// scripts, no external files), 1200 pixels wide:
// - a title naming the security and the period, a caption naming every
//   pane and what it shows, the dates on view, and the same as the image's
//   own <title>;
// - the price pane: candles when the data has its own open, high and low
//   prices (rising ones blue and hollow, falling ones vermillion and filled,
//   so neither colour vision nor colour printing is needed to tell them),
//   else a line of the close; its axis fits the prices on view and the
//   results drawn over them;
// - below it, one pane per result that has a scale of its own, with its own
//   axis and a zero line;
// - each value axis names its unit (PlotStyle: "price", "%", "position"...);
// - reversal lines (NRTR, NRTR_WATR, RENKO_WATR's levels) as steps broken
//   where the line flips to the other side of the price; other results as
//   lines through their values;
// - the bars before a pane's first value (the warm-up) shaded, and their
//   count stated over the chart;
// - the time axis under the last pane, its labels chosen by TimeTicks;
// - a legend at the top of each pane naming its formulas.
// The results' colours are those of the Okabe-Ito palette, which readers
// with any common colour-vision deficiency can tell apart.
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
// panes top to bottom follow that order. Each plot's formula is read again
// for its style (StyleOf), so it must be one that parses.
std::string RenderSvg(const Chart& chart, BarSpan visible, const std::vector<Plot>& plots);

}  // namespace msxhost
