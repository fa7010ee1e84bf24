#include "Report.h"

#include <algorithm>

#include "Files.h"
#include "Text.h"

namespace msxhost {

std::string DescribeLibrary(const LoadedLibrary& library) {
  const LibraryInfo& info = library.info();
  std::string out = ToUpper(StemOf(library.path())) + ": " + info.text +
                    " (functions: " + FormatInt(info.functionCount) + ", interface version " +
                    FormatInt(info.version) + ")\n";
  for (const FunctionInfo& function : info.functions) {
    const std::size_t n = function.arguments.size();
    out += Cat("[", FormatInt(function.index), "] ", function.name, " - ", function.description,
               " (", FormatInt(static_cast<int64_t>(n)), n == 1 ? " argument)\n" : " arguments)\n");
    for (std::size_t a = 0; a < n; ++a) {
      const ArgumentInfo& argument = function.arguments[a];
      std::string type = ArgumentTypeName(argument.type);
      if (type.size() < 9) type.resize(9, ' ');
      out += Cat("    ", FormatInt(static_cast<int64_t>(a)), " ", type, argument.name);
      for (const CustomChoice& choice : argument.choices)
        out += " " + choice.text + "=" + FormatInt(choice.id);
      out += "\n";
    }
  }
  return out;
}

BarSpan ClampedRange(const Chart& chart, const FormulaResult& result) {
  BarSpan span;
  span.first = std::max(result.first, 0);
  span.last = std::min(result.last, chart.barCount() - 1);
  const int32_t arrayLast = static_cast<int32_t>(result.values.size()) - 1;
  span.last = std::min(span.last, arrayLast);
  return span;
}

std::string ResultTable(const Chart& chart, const FormulaResult& result) {
  std::string out = chart.hasTime ? "date,time,value\n" : "date,value\n";
  const BarSpan span = ClampedRange(chart, result);
  for (int32_t i = span.first; i <= span.last; ++i) {
    const auto bar = static_cast<std::size_t>(i);
    out += FormatInt(chart.dates[bar]);
    out += ',';
    if (chart.hasTime) {
      out += FormatTime(chart.times[bar]);
      out += ',';
    }
    out += FormatFloat(result.values[bar]);
    out += '\n';
  }
  return out;
}

}  // namespace msxhost
