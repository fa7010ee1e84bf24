#include "Svg.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "FormulaParser.h"
#include "SvgMarks.h"
#include "Text.h"
#include "TimeAxis.h"

namespace msxhost {
namespace {

using namespace svg;  // the marks this file lays out

constexpr double kTop = 76;  // under the title, the caption and the dates
constexpr double kPricePane = 440;
constexpr double kOwnPane = 170;
constexpr double kPaneGap = 12;
constexpr double kTimeAxis = 50;

struct PaneBox {
  Axis axis;
  bool zeroLine = false;
  std::vector<std::size_t> plots;
  std::string unit;
  std::string caption;     // its results, for the chart's caption
  int32_t firstValue = 0;  // the first bar where all its results have a value
};

BarSpan Visible(const Plot& plot, const Chart& chart, const Bars& bars) {
  BarSpan span = ClampedRange(chart, plot.result);
  span.first = std::max(span.first, bars.first);
  span.last = std::min(span.last, bars.last);
  return span;
}

// The first bar on view with a value; bars.last + 1 when there is none.
int32_t FirstValue(const Plot& plot, const Chart& chart, const Bars& bars) {
  const BarSpan span = Visible(plot, chart, bars);
  for (int32_t i = span.first; i <= span.last; ++i)
    if (std::isfinite(plot.result.values[static_cast<std::size_t>(i)])) return i;
  return bars.last + 1;
}

// Whether the values on view are all -1, 0 or 1 (and some are there).
bool SignalValues(const Plot& plot, const Chart& chart, const Bars& bars) {
  const BarSpan span = Visible(plot, chart, bars);
  bool any = false;
  for (int32_t i = span.first; i <= span.last; ++i) {
    const float v = plot.result.values[static_cast<std::size_t>(i)];
    if (!std::isfinite(v)) continue;
    if (v != -1 && v != 0 && v != 1) return false;
    any = true;
  }
  return any;
}

// The value axis: grid lines and labels, the unit above the labels, and the
// zero line of a pane of its own.
std::string ValueAxis(const PaneBox& pane, double top) {
  const Axis& axis = pane.axis;
  std::string out;
  for (double tick = std::ceil(axis.low / axis.step - 1e-9); tick * axis.step <= axis.high;
       ++tick) {
    const double value = tick * axis.step;
    const double y = axis.Y(value);
    out += Line(kLeft, y, kRight, y, kGridColor);
    out += Text(kRight + 6, y + 4.5, FormatFixed(value, axis.decimals),
                Cat("fill=\"", kTextColor, "\""));
  }
  if (!pane.unit.empty())
    out += Text(kRight + 6, top + 18, pane.unit, "class=\"unit\" fill=\"#555555\"");
  if (pane.zeroLine && axis.low < 0 && axis.high > 0)
    out += Line(kLeft, axis.Y(0), kRight, axis.Y(0), "#777777",
                " stroke-width=\"1.2\" class=\"zero\"");
  return out;
}

// The bars before the pane's first value shaded; the whole pane when it has
// none.
std::string WarmUp(const PaneBox& pane, const Bars& bars, double top, double height) {
  if (pane.firstValue <= bars.first) return {};
  const double right = std::min(kLeft + (pane.firstValue - bars.first) * bars.width, kRight);
  return Cat("<rect class=\"warmup\" x=\"", Num(kLeft), "\" y=\"", Num(top), "\" width=\"",
             Num(right - kLeft), "\" height=\"", Num(height),
             "\" fill=\"#808080\" fill-opacity=\"0.16\"/>\n");
}

// What the shading stands for: "Shaded: warm-up, 13 bars before the first
// value", the counts pane by pane where they differ; empty without any.
std::string WarmUpText(const std::vector<PaneBox>& panes, const Bars& bars) {
  std::vector<std::string> counts;
  bool any = false;
  for (const PaneBox& pane : panes) {
    if (pane.plots.empty()) continue;
    const int32_t count = pane.firstValue - bars.first;
    any = any || count > 0;
    counts.push_back(pane.firstValue > bars.last
                         ? std::string("no value")
                         : Cat(FormatInt(count), count == 1 ? " bar" : " bars"));
  }
  if (!any) return {};
  if (std::all_of(counts.begin(), counts.end(), [&](const auto& c) { return c == counts[0]; }))
    return counts[0] == "no value" ? "Shaded: no value"
                                   : Cat("Shaded: warm-up, ", counts[0], " before the first value");
  std::string list;
  for (const std::string& c : counts) list = Cat(list, list.empty() ? "" : ", ", c);
  return Cat("Shaded: warm-up before the first value, pane by pane: ", list);
}

const char* PeriodName(char period) {
  switch (period) {
    case 'W':
    case 'w':
      return "weekly";
    case 'M':
    case 'm':
      return "monthly";
    case 'Q':
    case 'q':
      return "quarterly";
    case 'Y':
    case 'y':
      return "yearly";
    case 'I':
    case 'i':
      return nullptr;
    default:
      return "daily";
  }
}

// Names every pane: "Price and NRTR(C, 5).", or "Upper pane: price and A.
// Lower panes: B; C."
std::string Caption(const std::vector<PaneBox>& panes) {
  const std::string& over = panes[0].caption;
  if (panes.size() == 1) return over.empty() ? "Price." : Cat("Price and ", over, ".");
  std::string lower;
  for (std::size_t k = 1; k < panes.size(); ++k)
    lower = Cat(lower, k == 1 ? "" : "; ", panes[k].caption);
  return Cat("Upper pane: price", over.empty() ? "" : " and ", over, ". Lower pane",
             panes.size() > 2 ? "s" : "", ": ", lower, ".");
}

// The lines over the chart: the title naming the security and the period,
// the caption naming the panes, and the dates on view.
struct Heading {
  std::string title;
  std::string caption;
  std::string dates;
};

Heading HeadingOf(const Chart& chart, const Bars& bars, const std::vector<PaneBox>& panes) {
  std::string title = chart.symbol;
  if (!chart.securityName.empty() && chart.securityName != chart.symbol)
    title = Cat(title, " (", chart.securityName, ")");
  const char* period = PeriodName(chart.period);
  const std::string periodText = period != nullptr    ? std::string(period)
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
  std::string dates = bars.last < bars.first ? std::string("no bars")
                                             : Cat(when(bars.first), " to ", when(bars.last), ", ",
                                                   FormatInt(count), count == 1 ? " bar" : " bars");
  return {title, Caption(panes), dates};
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
  panes[0].unit = "price";
  panes[0].firstValue = bars.first;
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
  std::vector<PlotStyle> styles;
  for (std::size_t p = 0; p < plots.size(); ++p) {
    styles.push_back(StyleOf(ParseFormula(plots[p].formula), SignalValues(plots[p], chart, bars)));
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
      panes.push_back({{}, true, {p}, styles[p].unit, plots[p].formula, bars.first});
      extents.push_back(extent);
    }
  }
  for (PaneBox& pane : panes)
    for (std::size_t p : pane.plots)
      pane.firstValue = std::max(pane.firstValue, FirstValue(plots[p], chart, bars));
  const std::vector<std::size_t>& over = panes[0].plots;
  for (std::size_t n = 0; n < over.size(); ++n)
    panes[0].caption = Cat(panes[0].caption,
                           n == 0                 ? ""
                           : n + 1 == over.size() ? " and "
                                                  : ", ",
                           plots[over[n]].formula);
  double top = kTop;
  for (std::size_t k = 0; k < panes.size(); ++k) {
    const double height = k == 0 ? kPricePane : kOwnPane;
    // The legend's strip at the top of the pane stays clear of the values.
    panes[k].axis = MakeAxis(extents[k], top + 30, top + height - 6, k == 0 ? 8 : 4);
    top += height + kPaneGap;
  }
  const double bottom = top - kPaneGap;
  const double height = bottom + kTimeAxis;

  // The image's own title (what screen readers and tooltips give) says what
  // the lines over the chart say.
  const Heading heading = HeadingOf(chart, bars, panes);
  const std::string warmUp = WarmUpText(panes, bars);
  std::string svg = Cat(
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"",
      Num(kWidth), "\" height=\"", Num(height), "\" viewBox=\"0 0 ", Num(kWidth), " ", Num(height),
      "\" font-family=\"DejaVu Sans, Verdana, sans-serif\" font-size=\"13\">\n<title>",
      Escaped(Cat(heading.title, ". ", heading.caption, " ", heading.dates, ".",
                  warmUp.empty() ? "" : Cat(" ", warmUp, "."))),
      "</title>\n<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n");
  svg += Text(kLeft, 26, heading.title, "font-size=\"20\" font-weight=\"bold\" fill=\"#000000\"");
  svg += Text(kLeft, 46, heading.caption, Cat("class=\"caption\" fill=\"", kTextColor, "\""));
  svg += Text(kLeft, 64, heading.dates, "fill=\"#555555\"");
  if (!warmUp.empty()) svg += Text(kRight, 64, warmUp, "text-anchor=\"end\" fill=\"#555555\"");

  // Time grid through every pane, labels under the last.
  for (const TimeTick& tick : TimeTicks(chart, bars.first, bars.last, bars.width)) {
    const double x = bars.X(tick.bar);
    svg += Line(x, kTop, x, bottom, kGridColor);
    svg += Line(x, bottom, x, bottom + 5, "#333333");
    // A label near either end of the axis stays within the picture.
    const double half =
        static_cast<double>(std::max(tick.label.size(), tick.subLabel.size())) * kCharWidth / 2;
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
    svg += WarmUp(pane, bars, top, paneHeight);
    svg += ValueAxis(pane, top);
    std::vector<LegendEntry> legend;
    if (k == 0 && candles) {
      svg += Candles(chart, bars, pane.axis);
      legend.push_back({"Price rising", kRisingColor, Swatch::kHollow});
      legend.push_back({"falling", kFallingColor, Swatch::kFilled});
    } else if (k == 0) {
      svg += LinePath(chart.close, {bars.first, bars.last}, bars, pane.axis, kPriceColor, "1.2");
      legend.push_back({"Close", kPriceColor});
    }
    for (std::size_t p : pane.plots) {
      const char* c = kColors[p % std::size(kColors)];
      const BarSpan span = Visible(plots[p], chart, bars);
      if (styles[p].reversal)
        svg += StepPath(plots[p].result.values,
                        styles[p].input.empty() ? nullptr : chart.FindSeries(styles[p].input), span,
                        bars, pane.axis, c);
      else
        svg += LinePath(plots[p].result.values, span, bars, pane.axis, c, "1.8");
      legend.push_back({plots[p].formula, c});
    }
    svg += Cat("<rect class=\"pane\" x=\"", Num(kLeft), "\" y=\"", Num(top), "\" width=\"",
               Num(kRight - kLeft), "\" height=\"", Num(paneHeight),
               "\" fill=\"none\" stroke=\"#333333\"/>\n");
    svg += Legend(legend, top);
    top += paneHeight + kPaneGap;
  }
  svg += "</svg>\n";
  return svg;
}

}  // namespace msxhost
