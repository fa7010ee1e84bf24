#include "Bench.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <functional>
#include <optional>

#include "Chart.h"
#include "Csv.h"
#include "Formula.h"
#include "HostError.h"
#include "LoadedLibrary.h"
#include "Text.h"

namespace msxhost {
namespace {

[[noreturn]] void BenchUsageError(const std::string& message) {
  throw HostError(kExitUsage, message + " (see msxhost --help)");
}

struct BenchCommand {
  std::vector<std::string> formulas;
  std::string data;
  int32_t repeat = 5;
  std::string library = LoadedLibrary::DefaultPath();
};

BenchCommand ParseBench(const std::vector<std::string>& arguments) {
  BenchCommand command;
  bool hasData = false;
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    std::string name = arguments[i];
    if (name.size() < 2 || name.compare(0, 2, "--") != 0) {
      command.formulas.push_back(name);
      continue;
    }
    std::optional<std::string> value;
    if (const std::size_t equals = name.find('='); equals != std::string::npos) {
      value = name.substr(equals + 1);
      name.resize(equals);
    }
    if (name != "--data" && name != "--repeat" && name != "--lib")
      BenchUsageError("option " + name + " is not used by bench");
    if (!value) {
      if (i + 1 >= arguments.size()) BenchUsageError("option " + name + " needs a value");
      value = arguments[++i];
    }
    if (name == "--data") {
      command.data = *value;
      hasData = true;
    } else if (name == "--lib") {
      command.library = *value;
    } else {
      const std::optional<int32_t> repeat = ParseInt(*value);
      if (!repeat || *repeat < 1) BenchUsageError("bad --repeat value: " + *value);
      command.repeat = *repeat;
    }
  }
  if (command.formulas.empty()) BenchUsageError("bench needs a FORMULA");
  if (!hasData) BenchUsageError("bench needs --data FILE.csv");
  return command;
}

// FNV-1a over the bits of the values in the result's valid range and the
// range itself.
std::string Digest(const Chart& chart, const FormulaResult& result) {
  uint64_t hash = 14695981039346656037u;
  auto mix = [&hash](uint32_t word) {
    for (int b = 0; b < 4; ++b) hash = (hash ^ ((word >> (8 * b)) & 0xFF)) * 1099511628211u;
  };
  mix(static_cast<uint32_t>(result.first));
  mix(static_cast<uint32_t>(result.last));
  const int32_t first = std::max(result.first, 0);
  const int32_t last = std::min(result.last, chart.barCount() - 1);
  for (int32_t i = first; i <= last; ++i) {
    uint32_t bits;
    std::memcpy(&bits, &result.values[static_cast<std::size_t>(i)], sizeof bits);
    mix(bits);
  }
  static const char kHex[] = "0123456789abcdef";
  std::string text(16, '0');
  for (int d = 15; d >= 0; --d, hash >>= 4) text[static_cast<std::size_t>(d)] = kHex[hash & 0xF];
  return text;
}

}  // namespace

std::string BenchUsage() {
  return "  msxhost bench FORMULA... --data FILE.csv [--repeat N] [--lib PATH]\n"
         "      Times the library's calls of each formula over every bar of FILE.csv,\n"
         "      N calls each (default 5) on arrays allocated once: one line per formula\n"
         "      with the fastest and the median call in ns per bar and a digest of the\n"
         "      result (equal digests, equal results).\n";
}

CommandOutput RunBench(const std::vector<std::string>& arguments) {
  const BenchCommand command = ParseBench(arguments);
  std::vector<FormulaNode> formulas;
  for (const std::string& formula : command.formulas) formulas.push_back(ParseFormula(formula));
  const Chart chart = ReadCsv(command.data);
  const ChartRecords records(chart);
  const LoadedLibrary library(command.library);
  const double bars = std::max(chart.barCount(), 1);

  CommandOutput output{kExitOk, "formula\tfastest ns/bar\tmedian ns/bar\tresult digest\n", {}};
  for (std::size_t f = 0; f < formulas.size(); ++f) {
    // Only the library's calls are timed, each on its arguments and result
    // record as the evaluator prepared them: one untimed call first, then
    // the timed ones, with the record put back between them untimed. A
    // formula's call r is the sum of its library calls' r-th times.
    std::vector<double> times(static_cast<std::size_t>(command.repeat), 0.0);
    const CallRunner runner = [&times, bars](const std::function<int32_t()>& call,
                                             const std::function<void()>& reset) {
      int32_t returned = call();
      for (double& time : times) {
        reset();
        const auto start = std::chrono::steady_clock::now();
        returned = call();
        const std::chrono::duration<double, std::nano> took =
            std::chrono::steady_clock::now() - start;
        time += took.count() / bars;
      }
      return returned;
    };
    const FormulaResult result =
        EvaluateFormula(formulas[f], chart, records, library, nullptr, runner);
    const std::string digest = Digest(chart, result);
    std::sort(times.begin(), times.end());
    const double median = times.size() % 2
                              ? times[times.size() / 2]
                              : (times[times.size() / 2 - 1] + times[times.size() / 2]) / 2;
    output.out += command.formulas[f] + "\t" + FormatFixed(times.front(), 2) + "\t" +
                  FormatFixed(median, 2) + "\t" + digest + "\n";
  }
  return output;
}

}  // namespace msxhost
