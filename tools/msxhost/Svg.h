// A chart of a calculation as a self-contained SVG image: the close price
// and the result (its valid range only) against the bars, date labels
// YYYY-MM-DD along the x-axis, a legend with the formula and the symbol as
// title. The result shares the price's y-axis unless one of the two would
// fill less than a fifth of the height, in which case it gets its own axis
// on the right.
#pragma once

#include <string>
#include <string_view>

#include "Chart.h"
#include "Formula.h"

namespace msxhost {

std::string RenderSvg(const Chart& chart, const FormulaResult& result, std::string_view formula);

}  // namespace msxhost
