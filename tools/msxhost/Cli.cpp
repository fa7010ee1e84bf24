#include "Cli.h"

#include <algorithm>
#include <exception>
#include <map>
#include <optional>
#include <string_view>

#include "Bench.h"
#include "Chart.h"
#include "Csv.h"
#include "Files.h"
#include "Formula.h"
#include "HostError.h"
#include "LoadedLibrary.h"
#include "Report.h"
#include "Svg.h"
#include "Text.h"

namespace msxhost {
namespace {

constexpr std::string_view kDescribeOptions[] = {"--lib"};
constexpr std::string_view kCalcOptions[] = {"--data",   "--out",      "--svg",
                                             "--symbol", "--name",     "--folder",
                                             "--period", "--interval", "--lib"};

[[noreturn]] void UsageError(const std::string& message) {
  throw HostError(kExitUsage, message + " (see msxhost --help)");
}

struct ParsedCommand {
  std::string command;
  std::vector<std::string> positional;
  std::map<std::string, std::string> options;

  std::optional<std::string> Option(const std::string& name) const {
    const auto it = options.find(name);
    if (it == options.end()) return std::nullopt;
    return it->second;
  }
};

template <std::size_t N>
bool Contains(const std::string_view (&names)[N], std::string_view name) {
  for (std::string_view n : names)
    if (n == name) return true;
  return false;
}

ParsedCommand Parse(const std::vector<std::string>& arguments) {
  ParsedCommand parsed;
  parsed.command = arguments.front();
  const bool describe = parsed.command == "describe";
  if (!describe && parsed.command != "calc" && parsed.command != "batch")
    UsageError("unknown command: " + parsed.command);
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument.size() < 2 || argument.compare(0, 2, "--") != 0) {
      parsed.positional.push_back(argument);
      continue;
    }
    std::string name = argument;
    std::optional<std::string> value;
    const std::size_t equals = argument.find('=');
    if (equals != std::string::npos) {
      name = argument.substr(0, equals);
      value = argument.substr(equals + 1);
    }
    const bool known = describe ? Contains(kDescribeOptions, name) : Contains(kCalcOptions, name);
    if (!known) {
      if (Contains(kCalcOptions, name))
        UsageError("option " + name + " is not used by " + parsed.command);
      UsageError("unknown option: " + name);
    }
    if (!value) {
      if (i + 1 >= arguments.size()) UsageError("option " + name + " needs a value");
      value = arguments[++i];
    }
    if (parsed.options.count(name) != 0) UsageError("option " + name + " given twice");
    parsed.options[name] = *value;
  }
  return parsed;
}

std::string LibraryPath(const ParsedCommand& parsed) {
  return parsed.Option("--lib").value_or(LoadedLibrary::DefaultPath());
}

CommandOutput Describe(const ParsedCommand& parsed) {
  if (!parsed.positional.empty())
    UsageError("describe takes no argument, got " + parsed.positional.front());
  const LoadedLibrary library(LibraryPath(parsed));
  return {kExitOk, DescribeLibrary(library), {}};
}

// Applies the chart options to the chart read from the CSV.
void SetChartOptions(const ParsedCommand& parsed, Chart& chart) {
  if (const auto symbol = parsed.Option("--symbol")) {
    chart.symbol = *symbol;
    chart.securityName = *symbol;
  }
  if (const auto name = parsed.Option("--name")) chart.securityName = *name;
  if (const auto folder = parsed.Option("--folder")) chart.folder = *folder;
  if (const auto period = parsed.Option("--period")) {
    if (period->size() != 1 ||
        std::string_view("DWMQYIdwmqyi").find(period->front()) == std::string_view::npos)
      UsageError("bad --period value: " + *period + " (one of D W M Q Y I)");
    chart.period = period->front();
  }
  if (const auto interval = parsed.Option("--interval")) {
    const std::optional<int32_t> value = ParseInt(*interval);
    if (!value) UsageError("bad --interval value: " + *interval);
    chart.interval = *value;
  }
}

// The chart of a calc or batch command: the CSV's bars with the chart options.
Chart ReadChart(const ParsedCommand& parsed) {
  const std::optional<std::string> data = parsed.Option("--data");
  if (!data) UsageError(parsed.command + " needs --data FILE.csv");
  Chart chart = ReadCsv(*data);
  SetChartOptions(parsed, chart);
  return chart;
}

// Many formulas over one chart in one run (one process start, which counts
// where the library runs under emulation): the description, then each
// formula's result table or its error under a line "== FORMULA".
CommandOutput Batch(const ParsedCommand& parsed) {
  if (parsed.positional.size() != 1) UsageError("batch takes one FORMULAS file");
  if (parsed.Option("--out") || parsed.Option("--svg"))
    UsageError("batch writes its results to standard output only");
  const Chart chart = ReadChart(parsed);
  const ChartRecords records(chart);
  const LoadedLibrary library(LibraryPath(parsed));
  CommandOutput output{kExitOk, DescribeLibrary(library), {}};
  const std::string list = ReadWholeFile(parsed.positional.front());
  for (const std::string_view line : SplitLines(list)) {
    const std::string formula(TrimBlanks(line));
    if (formula.empty() || formula.front() == '#') continue;
    output.out += "== " + formula + "\n";
    try {
      output.out +=
          ResultTable(chart, EvaluateFormula(ParseFormula(formula), chart, records, library));
    } catch (const HostError& e) {
      output.out += std::string("error: ") + e.what() + "\n";
      output.exitCode = std::max(output.exitCode, e.exitCode());
    }
  }
  return output;
}

CommandOutput Calc(const ParsedCommand& parsed) {
  if (parsed.positional.empty()) UsageError("calc needs a FORMULA");
  if (parsed.positional.size() > 1)
    UsageError("calc takes one FORMULA, got also " + parsed.positional[1] + " (quote the formula)");
  const std::string& formula = parsed.positional.front();
  const FormulaNode parsedFormula = ParseFormula(formula);
  const Chart chart = ReadChart(parsed);
  const ChartRecords records(chart);
  const LoadedLibrary library(LibraryPath(parsed));
  const FormulaResult result = EvaluateFormula(parsedFormula, chart, records, library);

  CommandOutput output;
  const std::string table = ResultTable(chart, result);
  if (const auto svg = parsed.Option("--svg"))
    WriteWholeFile(*svg, RenderSvg(chart, result, formula));
  if (const auto out = parsed.Option("--out")) {
    WriteWholeFile(*out, table);
    output.out = formula + ": " + FormatInt(ClampedRange(chart, result).count()) +
                 " values, bars " + FormatInt(result.first) + " to " + FormatInt(result.last) +
                 " -> " + *out + "\n";
  } else {
    output.out = table;
  }
  return output;
}

}  // namespace

std::string UsageText() {
  return "msxhost: the formula tester of the msx_qmr library\n"
         "\n"
         "Usage:\n"
         "  msxhost describe [--lib PATH]\n"
         "      Lists what the host sees: every function, its arguments and choices.\n"
         "  msxhost calc FORMULA --data FILE.csv [--out FILE] [--svg FILE] [--symbol S]\n"
         "               [--name NAME] [--folder DIR] [--period D|W|M|Q|Y|I]\n"
         "               [--interval N] [--lib PATH]\n"
         "      Runs one chart calculation over the bars of FILE.csv and prints the\n"
         "      result's valid range as CSV (or writes it to --out); --svg draws it.\n"
         "  msxhost batch FORMULAS.txt --data FILE.csv [chart options] [--lib PATH]\n"
         "      The description, then each formula of FORMULAS.txt (one a line, # for\n"
         "      comments) over the same chart, under a line \"== FORMULA\".\n"
         + BenchUsage() +
         "  msxhost --help\n"
         "\n"
         "FORMULA is one call: NRTR(C, 2), RENKO_WATR(C, 2, 10, Auto),\n"
         "WriteData(C, \"out/%S_%P.txt\"), NRTR(NRTR(C, 2), 3), or the host's spelling\n"
         "ExtFml(\"MSX_QMR.NRTR\", C, 2). Arguments: price fields O H L C V (or OPEN,\n"
         "HIGH, LOW, CLOSE, VOLUME), extra CSV columns by name, numbers (a constant\n"
         "series where a series is expected), \"quoted strings\", choices by their text\n"
         "(or their ID as a number), and nested calls.\n"
         "\n"
         "FILE.csv: a header line naming the columns date, time (optional), open\n"
         "(optional), high, low, close, volume (optional) and any extra columns; dates\n"
         "YYYYMMDD or YYYY-MM-DD, times HHMMSS, HH:MM or HH:MM:SS.\n"
         "\n"
         "Chart: --symbol (default: the CSV's file name in upper case), --name (the\n"
         "security name, default the symbol), --folder (default the CSV's folder),\n"
         "--period (default D), --interval (default 0). --lib: the library to load\n"
         "(default: the one beside msxhost).\n"
         "\n"
         "Exit status: 0 done; 1 the library failed (not loaded, or a function\n"
         "returned -1) or an output could not be written; 2 a wrong command line,\n"
         "formula or data file.\n";
}

CommandOutput RunCommand(const std::vector<std::string>& arguments) {
  if (arguments.empty()) return {kExitUsage, {}, UsageText()};
  for (const std::string& argument : arguments)
    if (argument == "--help" || argument == "-h") return {kExitOk, UsageText(), {}};
  try {
    if (arguments.front() == "bench") return RunBench(arguments);
    const ParsedCommand parsed = Parse(arguments);
    if (parsed.command == "describe") return Describe(parsed);
    return parsed.command == "batch" ? Batch(parsed) : Calc(parsed);
  } catch (const HostError& e) {
    return {e.exitCode(), {}, std::string("msxhost: ") + e.what() + "\n"};
  } catch (const std::exception& e) {
    return {kExitFailure, {}, std::string("msxhost: ") + e.what() + "\n"};
  }
}

}  // namespace msxhost
