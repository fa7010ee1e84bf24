// The marks the tester's charts are drawn with, each as SVG text: texts and
// lines, a pane's value scale, a result's line or reversal steps, candles
// and a legend. Coordinates are pixels of a picture kWidth wide whose panes
// span kLeft to kRight; numbers are written with one decimal, so every
// target draws the same bytes.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "Chart.h"
#include "Report.h"

namespace msxhost::svg {

inline constexpr double kWidth = 1200;
inline constexpr double kLeft = 16;
inline constexpr double kRight = 1112;     // the value axes' labels to the right
inline constexpr double kCharWidth = 7.2;  // the average width of a 13-pixel character

// The results' colours, of the Okabe-Ito palette (black, bluish green,
// reddish purple, orange, sky blue), which readers with any common
// colour-vision deficiency can tell apart; the candles take its blue and
// vermillion.
inline constexpr const char* kColors[] = {"#000000", "#009E73", "#CC79A7", "#E69F00", "#56B4E9"};
inline constexpr const char* kRisingColor = "#0072B2";
inline constexpr const char* kFallingColor = "#D55E00";
inline constexpr const char* kPriceColor = "#555555";  // the close, drawn as a line
inline constexpr const char* kGridColor = "#e4e4e4";
inline constexpr const char* kTextColor = "#222222";

// A coordinate or size: one decimal.
std::string Num(double value);
// The text with &, <, > and " escaped.
std::string Escaped(std::string_view text);
// A <text> element; `attributes` are written as given.
std::string Text(double x, double y, std::string_view text, std::string_view attributes = {});
// A <line> element; `extra` (attributes with a leading blank) as given.
std::string Line(double x1, double y1, double x2, double y2, std::string_view stroke,
                 std::string_view extra = {});

// The finite values seen.
struct Extent {
  double low = 0;
  double high = 0;
  bool any = false;

  void Add(double value) {
    if (!std::isfinite(value)) return;
    low = any ? std::min(low, value) : value;
    high = any ? std::max(high, value) : value;
    any = true;
  }
};

// A value axis over a pane, from `low` at `bottom` to `high` at `top`,
// labelled every `step` with `decimals` decimals.
struct Axis {
  double top = 0;
  double bottom = 0;
  double low = 0;
  double high = 1;
  double step = 0.2;
  int decimals = 1;

  double Y(double value) const { return bottom - (value - low) / (high - low) * (bottom - top); }
};

// The axis of an extent (0 to 1 when it has no values) with a margin,
// labelled at whole steps of 1, 2, 2.5 or 5 times a power of ten, about
// `ticks` of them.
Axis MakeAxis(Extent extent, double top, double bottom, int ticks);

// The horizontal placement of the bars on view.
struct Bars {
  int32_t first = 0;
  int32_t last = -1;
  double width = 1;  // pixels per bar

  double X(int32_t bar) const { return kLeft + (bar - first + 0.5) * width; }
};

// A line through the finite values of the span, broken at the others.
std::string LinePath(std::span<const float> values, BarSpan span, const Bars& bars,
                     const Axis& axis, std::string_view color, std::string_view width);

// A reversal line over the span, as one path of class "reversal" with only
// horizontal and vertical strokes: each value held until the next bar, then
// a vertical step to the next value. Where the line passes to the other side
// of `around` (the series it trails, null when unknown) it breaks instead:
// the old level runs on to that bar and the new one starts there. The last
// level of a stroke is held to the end of its bar's slot.
std::string StepPath(std::span<const float> values, const std::vector<float>* around, BarSpan span,
                     const Bars& bars, const Axis& axis, std::string_view color);

// The chart's candles on view, in a group of class "candles": rising ones
// (close at or above the open) blue and hollow, falling ones vermillion and
// filled.
std::string Candles(const Chart& chart, const Bars& bars, const Axis& axis);

enum class Swatch { kLine, kHollow, kFilled };

struct LegendEntry {
  std::string text;
  std::string color;
  Swatch swatch = Swatch::kLine;
};

// A legend box at the top left of a pane whose top is `top`: each entry's
// swatch (a line, or a hollow or filled candle body) and its text.
std::string Legend(const std::vector<LegendEntry>& entries, double top);

}  // namespace msxhost::svg
