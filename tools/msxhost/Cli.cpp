#include "Cli.h"

#include <algorithm>
#include <exception>
#include <map>
#include <optional>
#include <string_view>

#include "BarSelection.h"
#include "Bench.h"
#include "Chart.h"
#include "Csv.h"
#include "Files.h"
#include "Formula.h"
#include "HostError.h"
#include "LoadedLibrary.h"
#include "Panes.h"
#include "Replay.h"
#include "Report.h"
#include "Svg.h"
#include "Text.h"

namespace msxhost {
namespace {

constexpr std::string_view kDescribeOptions[] = {"--lib"};
constexpr std::string_view kCalcOptions[] = {
    "--data",   "--out",      "--svg", "--pane", "--symbol", "--name", "--folder",
    "--period", "--interval", "--lib", "--from", "--to",     "--last"};
constexpr std::string_view kReplayOptions[] = {
    "--data", "--symbol", "--name", "--folder",    "--period", "--interval", "--lib", "--from",
    "--to",   "--last",   "--live", "--live-from", "--skip",   "--ticks",    "--keep"};
// Options that may be given more than once, each value kept.
constexpr std::string_view kRepeatedOptions[] = {"--skip"};

[[noreturn]] void UsageError(const std::string& message) {
  throw HostError(kExitUsage, message + " (see msxhost --help)");
}

struct ParsedCommand {
  std::string command;
  std::vector<std::string> positional;
  std::map<std::string, std::string> options;
  std::map<std::string, std::vector<std::string>> repeated;

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

// Whether the command takes the option.
bool Takes(const std::string& command, std::string_view name) {
  if (command == "describe") return Contains(kDescribeOptions, name);
  if (command == "replay") return Contains(kReplayOptions, name);
  return Contains(kCalcOptions, name);
}

ParsedCommand Parse(const std::vector<std::string>& arguments) {
  ParsedCommand parsed;
  parsed.command = arguments.front();
  if (parsed.command != "describe" && parsed.command != "calc" && parsed.command != "batch" &&
      parsed.command != "replay")
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
    if (!Takes(parsed.command, name)) {
      if (Contains(kCalcOptions, name) || Contains(kReplayOptions, name))
        UsageError("option " + name + " is not used by " + parsed.command);
      UsageError("unknown option: " + name);
    }
    if (!value) {
      if (i + 1 >= arguments.size()) UsageError("option " + name + " needs a value");
      value = arguments[++i];
    }
    if (Contains(kRepeatedOptions, name)) {
      parsed.repeated[name].push_back(*value);
      continue;
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

// The chart of a calc or batch command: the CSV's selected bars with the
// chart options. What reading the data changed goes to `notes`.
Chart ReadChart(const ParsedCommand& parsed, std::string& notes) {
  const std::optional<std::string> data = parsed.Option("--data");
  if (!data) UsageError(parsed.command + " needs --data FILE.csv");
  const BarSelection selection =
      ParseBarSelection(parsed.Option("--from"), parsed.Option("--to"), parsed.Option("--last"));
  Chart chart = ReadCsv(*data);
  for (const std::string& notice : chart.notices) notes += "msxhost: note: " + notice + "\n";
  SelectBars(chart, selection);
  if (chart.barCount() > msx::kMaxBars)
    throw HostError(kExitUsage,
                    Cat(*data, " has ", FormatInt(chart.barCount()), " bars, more than the host's ",
                        FormatInt(msx::kMaxBars), ": add --last ", FormatInt(msx::kMaxBars),
                        " for the newest, or choose them with --from and --to"));
  SetChartOptions(parsed, chart);
  return chart;
}

// The pane --pane puts every formula in, if given.
std::optional<Pane> PaneOption(const ParsedCommand& parsed) {
  const auto text = parsed.Option("--pane");
  if (!text) return std::nullopt;
  const std::optional<Pane> pane = ParsePane(*text);
  if (!pane) UsageError("bad --pane value: " + *text + " (price or own)");
  return pane;
}

// The formulas of one chart, evaluated in order; each result joins the
// chart that --svg draws, and its notices go to `notes`.
class ChartRun {
 public:
  ChartRun(const ParsedCommand& parsed, std::string& notes)
      : notes_(notes),
        pane_(PaneOption(parsed)),
        chart_(ReadChart(parsed, notes)),
        records_(chart_),
        library_(LibraryPath(parsed)),
        svg_(parsed.Option("--svg")) {}

  const LoadedLibrary& library() const { return library_; }

  // Evaluates the formula; throws HostError.
  const Plot& Run(const std::string& formula) {
    const FormulaNode node = ParseFormula(formula);
    FormulaResult result = EvaluateFormula(node, chart_, records_, library_);
    for (const std::string& notice : result.notices) notes_ += "msxhost: note: " + notice + "\n";
    plots_.push_back({formula, std::move(result), pane_.value_or(PaneOf(node, library_))});
    return plots_.back();
  }

  std::string Table(const Plot& plot) const { return ResultTable(chart_, plot.result); }
  int32_t Values(const Plot& plot) const { return ClampedRange(chart_, plot.result).count(); }

  // Draws the chart when --svg asks for it.
  void Draw() const {
    if (svg_) WriteWholeFile(*svg_, RenderSvg(chart_, {0, chart_.barCount() - 1}, plots_));
  }

 private:
  std::string& notes_;
  std::optional<Pane> pane_;
  Chart chart_;
  ChartRecords records_;
  LoadedLibrary library_;
  std::optional<std::string> svg_;
  std::vector<Plot> plots_;
};

// Many formulas over one chart in one run (one process start, which counts
// where the library runs under emulation): the description, then each
// formula's result table or its error under a line "== FORMULA"; --svg
// draws those that ran.
void Batch(const ParsedCommand& parsed, CommandOutput& output) {
  if (parsed.positional.size() != 1) UsageError("batch takes one FORMULAS file");
  if (parsed.Option("--out")) UsageError("batch writes its results to standard output only");
  ChartRun run(parsed, output.err);
  output.out = DescribeLibrary(run.library());
  const std::string list = ReadWholeFile(parsed.positional.front());
  for (const std::string_view line : SplitLines(list)) {
    const std::string formula(TrimBlanks(line));
    if (formula.empty() || formula.front() == '#') continue;
    output.out += "== " + formula + "\n";
    try {
      output.out += run.Table(run.Run(formula));
    } catch (const HostError& e) {
      output.out += std::string("error: ") + e.what() + "\n";
      output.exitCode = std::max(output.exitCode, e.exitCode());
    }
  }
  run.Draw();
}

// One formula: its table, or --out's summary line. Several: each table under
// "== FORMULA"; the first that fails stops the command.
void Calc(const ParsedCommand& parsed, CommandOutput& output) {
  const std::vector<std::string>& formulas = parsed.positional;
  if (formulas.empty()) UsageError("calc needs a FORMULA");
  if (formulas.size() > 1 && parsed.Option("--out"))
    UsageError("--out takes the result of one formula; give one, or several without --out");
  for (const std::string& formula : formulas) {
    try {
      ParseFormula(formula);
    } catch (const HostError& e) {
      if (formulas.size() == 1) throw;
      throw HostError(e.exitCode(), Cat(e.what(), " in ", formula, " (quote each formula)"));
    }
  }
  ChartRun run(parsed, output.err);
  for (const std::string& formula : formulas) {
    const Plot& plot = run.Run(formula);
    if (formulas.size() > 1) output.out += "== " + formula + "\n";
    if (const auto out = parsed.Option("--out")) {
      WriteWholeFile(*out, run.Table(plot));
      output.out += formula + ": " + FormatInt(run.Values(plot)) + " values, bars " +
                    FormatInt(plot.result.first) + " to " + FormatInt(plot.result.last) + " -> " +
                    *out + "\n";
    } else {
      output.out += run.Table(plot);
    }
  }
  run.Draw();
}

// A chart played live, bar by bar, on a copy of the library.
void Replay(const ParsedCommand& parsed, CommandOutput& output) {
  if (parsed.positional.size() != 1) UsageError("replay takes one FORMULA");
  ReplayRequest request;
  request.formula = parsed.positional.front();
  ParseFormula(request.formula);  // a wrong formula is told before the data
  request.library = LibraryPath(parsed);
  request.ownSettings = parsed.Option("--lib").has_value();
  request.live = parsed.Option("--live");
  request.liveFrom = parsed.Option("--live-from");
  request.ticks = parsed.Option("--ticks");
  request.keep = parsed.Option("--keep");
  if (const auto it = parsed.repeated.find("--skip"); it != parsed.repeated.end())
    request.skip = it->second;
  const Chart chart = ReadChart(parsed, output.err);
  output.out = RunReplay(chart, request);
}

}  // namespace

CommandOutput RunCommand(const std::vector<std::string>& arguments) {
  if (arguments.empty()) return {kExitUsage, {}, UsageText()};
  for (const std::string& argument : arguments)
    if (argument == "--help" || argument == "-h") return {kExitOk, UsageText(), {}};
  if (arguments.front() == "help") return {kExitOk, UsageText(), {}};
  if (arguments.front() == "--version") return {kExitOk, VersionText(), {}};
  CommandOutput output;
  try {
    if (arguments.front() == "bench") return RunBench(arguments);
    const ParsedCommand parsed = Parse(arguments);
    if (parsed.command == "describe") return Describe(parsed);
    if (parsed.command == "batch")
      Batch(parsed, output);
    else if (parsed.command == "replay")
      Replay(parsed, output);
    else
      Calc(parsed, output);
  } catch (const HostError& e) {
    output = {e.exitCode(), {}, output.err + "msxhost: " + e.what() + "\n"};
  } catch (const std::exception& e) {
    output = {kExitFailure, {}, output.err + "msxhost: " + e.what() + "\n"};
  }
  return output;
}

}  // namespace msxhost
