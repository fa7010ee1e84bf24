#include "Svg.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <span>
#include <vector>

#include "Report.h"
#include "Text.h"

namespace msxhost {
namespace {

constexpr double kWidth = 1000;
constexpr double kHeight = 540;
constexpr double kLeft = 80;
constexpr double kRight = 920;
constexpr double kTop = 60;
constexpr double kBottom = 470;
constexpr int kDateLabels = 8;
constexpr const char* kPriceColor = "#1f5fbf";
constexpr const char* kResultColor = "#d62728";

std::string Num(double value) { return FormatFixed(value, 1); }

std::string Escaped(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

// A value axis: the range widened to whole steps of 1, 2 or 5 times a power of ten.
struct Axis {
  double low = 0;
  double high = 1;
  double step = 0.2;
  int decimals = 1;

  double Y(double value) const { return kBottom - (value - low) / (high - low) * (kBottom - kTop); }
};

struct Extent {
  double low = 0;
  double high = 0;
  bool any = false;

  void Add(float value) {
    if (!std::isfinite(value)) return;
    low = any ? std::min(low, double{value}) : value;
    high = any ? std::max(high, double{value}) : value;
    any = true;
  }
  double span() const { return high - low; }
};

Axis MakeAxis(Extent extent) {
  if (!extent.any) extent = {0, 1, true};
  if (extent.span() <= 0) {
    const double pad = extent.low == 0 ? 1 : std::fabs(extent.low) * 0.05;
    extent.low -= pad;
    extent.high += pad;
  }
  const double raw = extent.span() / 6;
  const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
  double step = 10 * magnitude;
  for (double m : {1.0, 2.0, 5.0})
    if (m * magnitude >= raw) {
      step = m * magnitude;
      break;
    }
  Axis axis;
  axis.step = step;
  axis.low = std::floor(extent.low / step) * step;
  axis.high = std::ceil(extent.high / step) * step;
  axis.decimals = std::max(0, static_cast<int>(-std::floor(std::log10(step) + 1e-9)));
  return axis;
}

// The bar's x coordinate.
double X(int32_t bar, int32_t bars) {
  if (bars <= 1) return (kLeft + kRight) / 2;
  return kLeft + (kRight - kLeft) * bar / (bars - 1);
}

// A path through the finite values of bars first to last; a value that is
// not finite breaks the line.
std::string LinePath(std::span<const float> values, int32_t first, int32_t last, int32_t bars,
                     const Axis& axis, const char* color) {
  std::string d;
  bool pen = false;
  for (int32_t i = first; i <= last; ++i) {
    const float v = values[static_cast<std::size_t>(i)];
    if (!std::isfinite(v)) {
      pen = false;
      continue;
    }
    d += pen ? " L" : (d.empty() ? "M" : " M");
    d += Num(X(i, bars)) + " " + Num(axis.Y(v));
    pen = true;
  }
  if (d.empty()) return {};
  return "<path fill=\"none\" stroke=\"" + std::string(color) + "\" stroke-width=\"1.2\" d=\"" + d +
         "\"/>\n";
}

std::string AxisLabels(const Axis& axis, double x, const char* anchor, const char* color,
                       bool grid) {
  std::string out;
  const auto ticks = static_cast<int>(std::lround((axis.high - axis.low) / axis.step));
  for (int t = 0; t <= ticks; ++t) {
    const double value = axis.low + t * axis.step;
    const std::string y = Num(axis.Y(value));
    if (grid)
      out += "<line x1=\"" + Num(kLeft) + "\" y1=\"" + y + "\" x2=\"" + Num(kRight) + "\" y2=\"" +
             y + "\" stroke=\"#e0e0e0\"/>\n";
    out += "<text x=\"" + Num(x) + "\" y=\"" + Num(axis.Y(value) + 4) + "\" text-anchor=\"" +
           anchor + "\" fill=\"" + color + "\">" + FormatFixed(value, axis.decimals) + "</text>\n";
  }
  return out;
}

std::string DateLabels(const Chart& chart) {
  std::string out;
  const int32_t bars = chart.barCount();
  if (bars == 0) return out;
  const int32_t labels = std::min(kDateLabels, bars);
  int32_t previous = -1;
  for (int32_t k = 0; k < labels; ++k) {
    const int32_t bar =
        labels == 1 ? 0 : static_cast<int32_t>(int64_t{k} * (bars - 1) / (labels - 1));
    if (bar == previous) continue;
    previous = bar;
    const std::string x = Num(X(bar, bars));
    out += "<line x1=\"" + x + "\" y1=\"" + Num(kBottom) + "\" x2=\"" + x + "\" y2=\"" +
           Num(kBottom + 5) + "\" stroke=\"#333\"/>\n";
    out += "<text x=\"" + x + "\" y=\"" + Num(kBottom + 20) + "\" text-anchor=\"middle\">" +
           FormatDate(chart.dates[static_cast<std::size_t>(bar)]) + "</text>\n";
  }
  return out;
}

}  // namespace

std::string RenderSvg(const Chart& chart, const FormulaResult& result, std::string_view formula) {
  const int32_t bars = chart.barCount();
  const BarSpan span = ClampedRange(chart, result);

  Extent price, values;
  for (float v : chart.close) price.Add(v);
  for (int32_t i = span.first; i <= span.last; ++i)
    values.Add(result.values[static_cast<std::size_t>(i)]);

  Extent both = price;
  if (values.any) {
    both.Add(static_cast<float>(values.low));
    both.Add(static_cast<float>(values.high));
  }
  const bool ownAxis = price.any && values.any && both.span() > 0 &&
                       (price.span() < both.span() / 5 || values.span() < both.span() / 5);
  const Axis priceAxis = MakeAxis(ownAxis ? price : both);
  const Axis resultAxis = ownAxis ? MakeAxis(values) : priceAxis;

  std::string svg =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
      Num(kWidth) + "\" height=\"" + Num(kHeight) + "\" viewBox=\"0 0 " + Num(kWidth) + " " +
      Num(kHeight) +
      "\" font-family=\"sans-serif\" font-size=\"12\">\n"
      "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
  std::string title = chart.symbol;
  if (!chart.securityName.empty() && chart.securityName != chart.symbol)
    title += " - " + chart.securityName;
  svg += "<text x=\"" + Num(kWidth / 2) + "\" y=\"28\" text-anchor=\"middle\" font-size=\"18\">" +
         Escaped(title) + "</text>\n";

  svg += AxisLabels(priceAxis, kLeft - 8, "end", "#333", true);
  if (ownAxis) svg += AxisLabels(resultAxis, kRight + 8, "start", kResultColor, false);
  svg += DateLabels(chart);
  svg += "<rect x=\"" + Num(kLeft) + "\" y=\"" + Num(kTop) + "\" width=\"" + Num(kRight - kLeft) +
         "\" height=\"" + Num(kBottom - kTop) + "\" fill=\"none\" stroke=\"#333\"/>\n";

  svg += LinePath(chart.close, 0, bars - 1, bars, priceAxis, kPriceColor);
  svg += LinePath(result.values, span.first, span.last, bars, resultAxis, kResultColor);

  // The legend, under the plot.
  const double y = kBottom + 50;
  svg += "<line x1=\"" + Num(kLeft) + "\" y1=\"" + Num(y - 4) + "\" x2=\"" + Num(kLeft + 24) +
         "\" y2=\"" + Num(y - 4) + "\" stroke=\"" + kPriceColor + "\" stroke-width=\"2\"/>\n";
  svg += "<text x=\"" + Num(kLeft + 30) + "\" y=\"" + Num(y) + "\">Close</text>\n";
  svg += "<line x1=\"" + Num(kLeft + 100) + "\" y1=\"" + Num(y - 4) + "\" x2=\"" +
         Num(kLeft + 124) + "\" y2=\"" + Num(y - 4) + "\" stroke=\"" + kResultColor +
         "\" stroke-width=\"2\"/>\n";
  svg += "<text x=\"" + Num(kLeft + 130) + "\" y=\"" + Num(y) + "\">" + Escaped(formula) +
         (ownAxis ? " (right axis)" : "") + "</text>\n";
  svg += "</svg>\n";
  return svg;
}

}  // namespace msxhost
