#include "Svg.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <span>

#include "Text.h"
#include "TimeAxis.h"

namespace msxhost {
namespace {

constexpr double kWidth = 1200;
constexpr double kLeft = 16;
constexpr double kRight = 1112;  // the value axes' labels to the right
constexpr double kTop = 58;
constexpr double kPricePane = 440;
constexpr double kOwnPane = 170;
constexpr double kPaneGap = 12;
constexpr double kTimeAxis = 50;
constexpr double kCharWidth = 7.2;  // the average width of a 13-pixel character

// Okabe-Ito: vermillion, blue, bluish green, reddish purple, orange, sky
// blue, black.
constexpr const char* kColors[] = {"#D55E00", "#0072B2", "#009E73", "#CC79A7",
                                   "#E69F00", "#56B4E9", "#000000"};
constexpr const char* kPriceColor = "#555555";
constexpr const char* kGridColor = "#e4e4e4";
constexpr const char* kTextColor = "#222222";

std::string Num(double value) { return FormatFixed(value, 1); }

std::string Escaped(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '&') out += "&amp;";
    else if (c == '<') out += "&lt;";
    else if (c == '>') out += "&gt;";
    else if (c == '"') out += "&quot;";
    else out += c;
  }
  return out;
}

std::string Text(double x, double y, std::string_view text, std::string_view attributes = {}) {
  return Cat("<text x=\"", Num(x), "\" y=\"", Num(y), "\"", attributes.empty() ? "" : " ",
             attributes, ">", Escaped(text), "</text>\n");
}

std::string Line(double x1, double y1, double x2, double y2, std::string_view stroke,
                 std::string_view extra = {}) {
  return Cat("<line x1=\"", Num(x1), "\" y1=\"", Num(y1), "\" x2=\"", Num(x2), "\" y2=\"",
             Num(y2), "\" stroke=\"", stroke, "\"", extra, "/>\n");
}

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

// A value axis over a pane: the extent with a margin, labelled at whole
// steps of 1, 2, 2.5 or 5 times a power of ten.
struct Axis {
  double top = 0;
  double bottom = 0;
  double low = 0;
  double high = 1;
  double step = 0.2;
  int decimals = 1;

  double Y(double value) const { return bottom - (value - low) / (high - low) * (bottom - top); }
};

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

// The horizontal placement of the bars on view.
struct Bars {
  int32_t first = 0;
  int32_t last = -1;
  double width = 1;  // pixels per bar

  double X(int32_t bar) const { return kLeft + (bar - first + 0.5) * width; }
};

struct PaneBox {
  Axis axis;
  bool zeroLine = false;
  std::vector<std::size_t> plots;
};

BarSpan Visible(const Plot& plot, const Chart& chart, const Bars& bars) {
  BarSpan span = ClampedRange(chart, plot.result);
  span.first = std::max(span.first, bars.first);
  span.last = std::min(span.last, bars.last);
  return span;
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

// Candles: the high-low wicks, then hollow rising bodies and filled falling
// ones, each group as one path.
std::string Candles(const Chart& chart, const Bars& bars, const Axis& axis) {
  std::string wicks, rising, falling;
  const double body = std::max(1.0, bars.width * 0.7);
  for (int32_t i = bars.first; i <= bars.last; ++i) {
    const auto at = static_cast<std::size_t>(i);
    const double o = chart.open[at], h = chart.high[at], l = chart.low[at], c = chart.close[at];
    if (!std::isfinite(o) || !std::isfinite(h) || !std::isfinite(l) || !std::isfinite(c)) continue;
    const double x = bars.X(i);
    wicks += Cat("M", Num(x), " ", Num(axis.Y(h)), "V", Num(axis.Y(l)));
    const double top = axis.Y(std::max(o, c));
    const double height = std::max(1.0, axis.Y(std::min(o, c)) - top);
    (c >= o ? rising : falling) += Cat("M", Num(x - body / 2), " ", Num(top), "h", Num(body), "v",
                                       Num(height), "h", Num(-body), "z");
  }
  std::string out;
  if (!wicks.empty())
    out += Cat("<path class=\"candles\" fill=\"none\" stroke=\"", kPriceColor, "\" d=\"", wicks,
               "\"/>\n");
  if (!rising.empty())
    out += Cat("<path fill=\"#ffffff\" stroke=\"", kPriceColor, "\" stroke-width=\"0.8\" d=\"",
               rising, "\"/>\n");
  if (!falling.empty())
    out += Cat("<path fill=\"", kPriceColor, "\" stroke=\"", kPriceColor,
               "\" stroke-width=\"0.8\" d=\"", falling, "\"/>\n");
  return out;
}

std::string ValueAxis(const PaneBox& pane) {
  const Axis& axis = pane.axis;
  std::string out;
  for (double tick = std::ceil(axis.low / axis.step - 1e-9); tick * axis.step <= axis.high; ++tick) {
    const double value = tick * axis.step;
    const double y = axis.Y(value);
    out += Line(kLeft, y, kRight, y, kGridColor);
    out += Text(kRight + 6, y + 4.5, FormatFixed(value, axis.decimals),
                Cat("fill=\"", kTextColor, "\""));
  }
  if (pane.zeroLine && axis.low < 0 && axis.high > 0)
    out += Line(kLeft, axis.Y(0), kRight, axis.Y(0), "#777777",
                " stroke-width=\"1.2\" class=\"zero\"");
  return out;
}

struct LegendEntry {
  std::string text;
  std::string color;
};

std::string Legend(const std::vector<LegendEntry>& entries, double top) {
  double width = 8;
  for (const LegendEntry& e : entries)
    width += 30 + static_cast<double>(e.text.size()) * kCharWidth + 14;
  std::string out = Cat("<rect x=\"", Num(kLeft + 4), "\" y=\"", Num(top + 4),
                        "\" width=\"", Num(width), "\" height=\"22\" fill=\"#ffffff\" "
                        "fill-opacity=\"0.85\" stroke=\"#cccccc\"/>\n");
  double x = kLeft + 12;
  for (const LegendEntry& e : entries) {
    out += Line(x, top + 15, x + 22, top + 15, e.color, " stroke-width=\"3\"");
    out += Text(x + 28, top + 19.5, e.text, Cat("fill=\"", kTextColor, "\""));
    x += 30 + static_cast<double>(e.text.size()) * kCharWidth + 14;
  }
  return out;
}

const char* PeriodName(char period) {
  switch (period) {
    case 'W': case 'w': return "weekly";
    case 'M': case 'm': return "monthly";
    case 'Q': case 'q': return "quarterly";
    case 'Y': case 'y': return "yearly";
    case 'I': case 'i': return nullptr;
    default: return "daily";
  }
}

std::string Title(const Chart& chart, const Bars& bars) {
  std::string title = chart.symbol;
  if (!chart.securityName.empty() && chart.securityName != chart.symbol)
    title = Cat(title, " (", chart.securityName, ")");
  const char* period = PeriodName(chart.period);
  const std::string periodText = period != nullptr ? std::string(period)
                                 : chart.interval > 0 ? Cat(FormatInt(chart.interval), "-minute")
                                                      : std::string("tick");
  title = Cat(title, ", ", periodText);
  auto when = [&](int32_t bar) {
    std::string text = FormatDate(chart.dates[static_cast<std::size_t>(bar)]);
    if (chart.hasTime) {
      const std::string t = FormatTime(chart.times[static_cast<std::size_t>(bar)]);
      text = Cat(text, " ", t.substr(0, 2), ":", t.substr(2, 2));
    }
    return text;
  };
  const int32_t count = bars.last - bars.first + 1;
  std::string subtitle = bars.last < bars.first ? std::string("no bars")
                         : Cat(when(bars.first), " to ", when(bars.last), ", ", FormatInt(count),
                               count == 1 ? " bar" : " bars");
  return Text(kLeft, 26, title, "font-size=\"20\" font-weight=\"bold\" fill=\"#000000\"") +
         Text(kLeft, 46, subtitle, "fill=\"#555555\"");
}

}  // namespace

std::string RenderSvg(const Chart& chart, BarSpan visible, const std::vector<Plot>& plots) {
  Bars bars;
  bars.first = std::max(visible.first, 0);
  bars.last = std::min(visible.last, chart.barCount() - 1);
  if (bars.last < bars.first) {
    bars.first = 0;
    bars.last = chart.barCount() - 1;
  }
  const int32_t count = std::max(bars.last - bars.first + 1, 1);
  bars.width = (kRight - kLeft) / count;
  const bool candles = chart.hasOhlc && !chart.open.empty();

  // The panes: the price first, then one per result with a scale of its own.
  std::vector<PaneBox> panes(1);
  Extent price;
  for (int32_t i = bars.first; i <= bars.last; ++i) {
    const auto at = static_cast<std::size_t>(i);
    if (candles) {
      price.Add(chart.high[at]);
      price.Add(chart.low[at]);
    } else {
      price.Add(chart.close[at]);
    }
  }
  std::vector<Extent> extents(1, price);
  for (std::size_t p = 0; p < plots.size(); ++p) {
    Extent extent;
    if (plots[p].pane == Pane::kOwn) extent.Add(0);
    const BarSpan span = Visible(plots[p], chart, bars);
    for (int32_t i = span.first; i <= span.last; ++i)
      extent.Add(plots[p].result.values[static_cast<std::size_t>(i)]);
    if (plots[p].pane == Pane::kPrice) {
      panes[0].plots.push_back(p);
      if (extent.any) {
        extents[0].Add(extent.low);
        extents[0].Add(extent.high);
      }
    } else {
      panes.push_back({{}, true, {p}});
      extents.push_back(extent);
    }
  }
  double top = kTop;
  for (std::size_t k = 0; k < panes.size(); ++k) {
    const double height = k == 0 ? kPricePane : kOwnPane;
    // The legend's strip at the top of the pane stays clear of the values.
    panes[k].axis = MakeAxis(extents[k], top + 30, top + height - 6, k == 0 ? 8 : 4);
    top += height + kPaneGap;
  }
  const double bottom = top - kPaneGap;
  const double height = bottom + kTimeAxis;

  std::string svg = Cat(
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"",
      Num(kWidth), "\" height=\"", Num(height), "\" viewBox=\"0 0 ", Num(kWidth), " ", Num(height),
      "\" font-family=\"DejaVu Sans, Verdana, sans-serif\" font-size=\"13\">\n"
      "<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n");
  svg += Title(chart, bars);

  // Time grid through every pane, labels under the last.
  for (const TimeTick& tick : TimeTicks(chart, bars.first, bars.last, bars.width)) {
    const double x = bars.X(tick.bar);
    svg += Line(x, kTop, x, bottom, kGridColor);
    svg += Line(x, bottom, x, bottom + 5, "#333333");
    // A label near either end of the axis stays within the picture.
    const double half = static_cast<double>(std::max(tick.label.size(), tick.subLabel.size())) *
                        kCharWidth / 2;
    const char* anchor = x - half < 2 ? "start" : x + half > kWidth - 2 ? "end" : "middle";
    const double at = x - half < 2 ? kLeft - 4 : x;
    svg += Text(at, bottom + 20, tick.label,
                Cat("text-anchor=\"", anchor, "\" fill=\"", kTextColor, "\""));
    if (!tick.subLabel.empty())
      svg += Text(at, bottom + 38, tick.subLabel,
                  Cat("text-anchor=\"", anchor, "\" fill=\"#555555\""));
  }

  top = kTop;
  for (std::size_t k = 0; k < panes.size(); ++k) {
    const double paneHeight = k == 0 ? kPricePane : kOwnPane;
    const PaneBox& pane = panes[k];
    svg += ValueAxis(pane);
    std::vector<LegendEntry> legend;
    if (k == 0) {
      svg += candles ? Candles(chart, bars, pane.axis)
                     : LinePath(chart.close, {bars.first, bars.last}, bars, pane.axis, kPriceColor,
                                "1.2");
      legend.push_back({candles ? "Price" : "Close", kPriceColor});
    }
    for (std::size_t p : pane.plots) {
      const char* c = kColors[p % std::size(kColors)];
      svg += LinePath(plots[p].result.values, Visible(plots[p], chart, bars), bars, pane.axis, c,
                      "1.8");
      legend.push_back({plots[p].formula, c});
    }
    svg += Cat("<rect class=\"pane\" x=\"", Num(kLeft), "\" y=\"", Num(top), "\" width=\"",
               Num(kRight - kLeft),
               "\" height=\"", Num(paneHeight), "\" fill=\"none\" stroke=\"#333333\"/>\n");
    svg += Legend(legend, top);
    top += paneHeight + kPaneGap;
  }
  svg += "</svg>\n";
  return svg;
}

}  // namespace msxhost
