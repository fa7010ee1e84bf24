#include "SvgMarks.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "Text.h"

namespace msxhost::svg {

std::string Num(double value) { return FormatFixed(value, 1); }

std::string Escaped(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '&')
      out += "&amp;";
    else if (c == '<')
      out += "&lt;";
    else if (c == '>')
      out += "&gt;";
    else if (c == '"')
      out += "&quot;";
    else
      out += c;
  }
  return out;
}

std::string Text(double x, double y, std::string_view text, std::string_view attributes) {
  return Cat("<text x=\"", Num(x), "\" y=\"", Num(y), "\"", attributes.empty() ? "" : " ",
             attributes, ">", Escaped(text), "</text>\n");
}

std::string Line(double x1, double y1, double x2, double y2, std::string_view stroke,
                 std::string_view extra) {
  return Cat("<line x1=\"", Num(x1), "\" y1=\"", Num(y1), "\" x2=\"", Num(x2), "\" y2=\"", Num(y2),
             "\" stroke=\"", stroke, "\"", extra, "/>\n");
}

Axis MakeAxis(Extent extent, double top, double bottom, int ticks) {
  if (!extent.any) extent = {0, 1, true};
  if (extent.high - extent.low <= 0) {
    const double pad = extent.low == 0 ? 1 : std::fabs(extent.low) * 0.05;
    extent.low -= pad;
    extent.high += pad;
  }
  const double margin = (extent.high - extent.low) * 0.04;
  Axis axis{top, bottom, extent.low - margin, extent.high + margin, 1, 0};
  // The power of ten by plain multiplication and division, which round alike
  // on every target, so the native and Windows testers draw the same bytes.
  const double raw = (axis.high - axis.low) / ticks;
  double magnitude = 1;
  while (magnitude * 10 <= raw) magnitude *= 10;
  while (magnitude > raw) magnitude /= 10;
  double multiple = 10;
  for (double m : {1.0, 2.0, 2.5, 5.0})
    if (m * magnitude >= raw) {
      multiple = m;
      break;
    }
  axis.step = multiple * magnitude;
  axis.decimals = multiple == 2.5 ? 1 : 0;
  for (double m = multiple == 10 ? magnitude * 10 : magnitude; m < 0.999; m *= 10) ++axis.decimals;
  return axis;
}

std::string LinePath(std::span<const float> values, BarSpan span, const Bars& bars,
                     const Axis& axis, std::string_view color, std::string_view width) {
  std::string d;
  bool pen = false;
  for (int32_t i = span.first; i <= span.last; ++i) {
    const float v = values[static_cast<std::size_t>(i)];
    if (!std::isfinite(v)) {
      pen = false;
      continue;
    }
    d += pen ? " L" : (d.empty() ? "M" : " M");
    d += Cat(Num(bars.X(i)), " ", Num(axis.Y(v)));
    pen = true;
  }
  if (d.empty()) return {};
  return Cat("<path fill=\"none\" stroke=\"", color, "\" stroke-width=\"", width,
             "\" stroke-linejoin=\"round\" d=\"", d, "\"/>\n");
}

// A reversal line's value is the level in force until the next bar, so it is
// drawn level to that bar; a slanted stroke would show prices it never had.
// At a flip the old level runs on to the bar whose price crossed it, and no
// stroke joins the two sides: the line never passed through the price.
std::string StepPath(std::span<const float> values, const std::vector<float>* around, BarSpan span,
                     const Bars& bars, const Axis& axis, std::string_view color) {
  std::string d;
  bool pen = false;
  bool below = false;  // the side of the input the line is on
  double runEnd = 0;   // the last bar of the stroke so far
  std::string level;   // the y of the level in force, as written
  // The last level is held through its bar's slot, so that one that starts
  // on the stroke's last bar (a flip on the newest bar) shows too.
  auto finish = [&] {
    if (pen) d += Cat("H", Num(runEnd + bars.width / 2));
    pen = false;
  };
  for (int32_t i = span.first; i <= span.last; ++i) {
    const auto at = static_cast<std::size_t>(i);
    const float v = values[at];
    if (!std::isfinite(v)) {
      finish();
      continue;
    }
    const double x = bars.X(i);
    const std::string y = Num(axis.Y(v));
    const float a = around != nullptr ? (*around)[at] : std::numeric_limits<float>::quiet_NaN();
    const bool side = std::isfinite(a) ? v < a : below;  // unknown: as before
    runEnd = x;
    if (pen && side == below && y == level) continue;  // the level goes on
    if (!pen)
      d += Cat(d.empty() ? "M" : " M", Num(x), " ", y);
    else if (side != below)
      d += Cat("H", Num(x), " M", Num(x), " ", y);
    else
      d += Cat("H", Num(x), "V", y);
    pen = true;
    below = side;
    level = y;
  }
  finish();
  if (d.empty()) return {};
  return Cat("<path class=\"reversal\" fill=\"none\" stroke=\"", color,
             "\" stroke-width=\"1.8\" d=\"", d, "\"/>\n");
}

// Candles in two cues that need no colour vision: rising ones blue and
// hollow, falling ones vermillion and filled. Per direction the high-low
// wicks, then the bodies over them, each as one path.
std::string Candles(const Chart& chart, const Bars& bars, const Axis& axis) {
  std::string risingWicks, fallingWicks, rising, falling;
  const double body = std::max(1.0, bars.width * 0.7);
  for (int32_t i = bars.first; i <= bars.last; ++i) {
    const auto at = static_cast<std::size_t>(i);
    const double o = chart.open[at], h = chart.high[at], l = chart.low[at], c = chart.close[at];
    if (!std::isfinite(o) || !std::isfinite(h) || !std::isfinite(l) || !std::isfinite(c)) continue;
    const double x = bars.X(i);
    (c >= o ? risingWicks : fallingWicks) +=
        Cat("M", Num(x), " ", Num(axis.Y(h)), "V", Num(axis.Y(l)));
    const double top = axis.Y(std::max(o, c));
    const double height = std::max(1.0, axis.Y(std::min(o, c)) - top);
    (c >= o ? rising : falling) += Cat("M", Num(x - body / 2), " ", Num(top), "h", Num(body), "v",
                                       Num(height), "h", Num(-body), "z");
  }
  std::string out = "<g class=\"candles\" stroke-width=\"1\">\n";
  auto path = [&out](const std::string& d, std::string_view fill, std::string_view stroke) {
    if (!d.empty())
      out += Cat("<path fill=\"", fill, "\" stroke=\"", stroke, "\" d=\"", d, "\"/>\n");
  };
  path(risingWicks, "none", kRisingColor);
  path(fallingWicks, "none", kFallingColor);
  path(rising, "#ffffff", kRisingColor);
  path(falling, kFallingColor, kFallingColor);
  return out + "</g>\n";
}

std::string Legend(const std::vector<LegendEntry>& entries, double top) {
  auto room = [](const LegendEntry& e) {
    return (e.swatch == Swatch::kLine ? 30 : 18) + static_cast<double>(e.text.size()) * kCharWidth +
           14;
  };
  double width = 8;
  for (const LegendEntry& e : entries) width += room(e);
  std::string out =
      Cat("<rect x=\"", Num(kLeft + 4), "\" y=\"", Num(top + 4), "\" width=\"", Num(width),
          "\" height=\"22\" fill=\"#ffffff\" fill-opacity=\"0.85\" stroke=\"#cccccc\"/>\n");
  double x = kLeft + 12;
  for (const LegendEntry& e : entries) {
    if (e.swatch == Swatch::kLine) {
      out += Line(x, top + 15, x + 22, top + 15, e.color, " stroke-width=\"3\"");
    } else {
      const std::string fill = e.swatch == Swatch::kHollow ? "#ffffff" : e.color;
      out += Cat("<rect x=\"", Num(x + 1), "\" y=\"", Num(top + 9),
                 "\" width=\"8\" height=\"12\" fill=\"", fill, "\" stroke=\"", e.color,
                 "\" stroke-width=\"1.5\"/>\n");
    }
    out += Text(x + room(e) - 16 - static_cast<double>(e.text.size()) * kCharWidth, top + 19.5,
                e.text, Cat("fill=\"", kTextColor, "\""));
    x += room(e);
  }
  return out;
}

}  // namespace msxhost::svg
