#include "Formula.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <optional>

#include "Builtins.h"
#include "HostError.h"
#include "HostRecords.h"
#include "Text.h"
#include "exchange/DataFileText.h"

namespace msxhost {
namespace {

using Kind = FormulaNode::Kind;

std::string Plural(std::size_t n, const char* word) {
  return FormatInt(static_cast<int64_t>(n)) + " " + word + (n == 1 ? "" : "s");
}

// The functions the library offers only under the Cyrillic OEM code page.
constexpr const char* kCodePageFunctions[] = {"JMA", "JTPO", "TradeQuik"};

// The text NRTR, NRTR_WATR and CER leave in szExtendedError whatever failed.
constexpr const char* kNoReason = "ResultRec.szExtendedError";

[[noreturn]] void UnknownFunction(const std::string& name) {
  for (const char* offered : kCodePageFunctions)
    if (EqualsIgnoreCase(name, offered))
      throw HostError(kExitUsage,
                      Cat(offered,
                          " is offered only under the Cyrillic OEM code page 866: run with "
                          "LC_ALL=ru_RU.UTF-8 (on Windows: Russian as the language for "
                          "non-Unicode programs)"));
  throw HostError(kExitUsage, "unknown function: " + name);
}

// ReadData leaves its result untouched when it reads no data file. A NaN
// with a payload of its own marks the values the call did not write; a NaN
// the library writes (a file's "NAN") is the plain quiet NaN.
constexpr const char* kReadData = "ReadData";
constexpr uint32_t kUntouchedBits = 0x7FC0'5EEDu;

bool Untouched(float value) { return std::bit_cast<uint32_t>(value) == kUntouchedBits; }

// After a ReadData call that succeeded: when it wrote no value, empties the
// range and gives the notice naming the data file it looked for.
std::optional<std::string> NoDataFile(HostArray& result, const msx::HostDataRecord& data,
                                      const std::string& fileTemplate) {
  const std::span<const float> values = result.values();
  const int32_t first = std::max(result.first(), 0);
  const int32_t last = std::min(result.last(), static_cast<int32_t>(values.size()) - 1);
  if (first > last || !std::all_of(values.begin() + first, values.begin() + last + 1, Untouched))
    return std::nullopt;
  std::fill(result.values().begin(), result.values().end(),
            std::numeric_limits<float>::quiet_NaN());
  result.SetRange(0, -1);
  const std::string name =
      msx::ExpandDataFileName(fileTemplate, msx::SymbolText(data), msx::ReaderPeriodText(data));
  return "ReadData found no data file to read at " + name +
         ": no values (a writing chart creates it under that name)";
}

// What a failed call tells the user: the library's error text, or where the
// library gives only its fixed text, the usual causes.
std::string FailureMessage(const std::string& function, const std::string& text) {
  if (text == kNoReason)
    return function +
           " failed; the library gives no reason for this function (common causes: a NaN price, "
           "a bar beyond 65,499, or a Length beyond 32 bits)";
  return function + " returned -1" + (text.empty() ? " (szExtendedError empty)" : ": " + text);
}

class Evaluator {
 public:
  Evaluator(const Chart& chart, const ChartRecords& records, const LoadedLibrary& library,
            const CallObserver& observer, const CallRunner& runner)
      : chart_(chart), records_(records), library_(library), observer_(observer), runner_(runner) {}

  // The series a formula stands for. With execute false nothing is called
  // and no array is built: the formula is only checked.
  std::optional<HostArray> Series(const FormulaNode& node, bool execute) {
    switch (node.kind) {
      case Kind::kCall:
        return Call(node, execute);
      case Kind::kName:
        return Column(node, execute);
      case Kind::kNumber:
        if (!execute) return std::nullopt;
        return ConstantSeries(node.number, chart_.barCount());
      case Kind::kOperator:
        return Operator(node, execute);
      case Kind::kString:
        break;
    }
    throw HostError(
        kExitUsage,
        "a formula must be a call, a name, a number or an expression, got " + DescribeNode(node));
  }

  // The notices of the calls made so far, taken away.
  std::vector<std::string> TakeNotices() { return std::move(notices_); }

 private:
  std::optional<HostArray> Column(const FormulaNode& name, bool execute) const {
    const std::vector<float>* column = chart_.FindSeries(name.text);
    if (column == nullptr) {
      const std::string_view field = PriceField(name.text);
      if (!field.empty())
        throw HostError(kExitUsage, "unknown name: " + name.text + " (the data has no " +
                                        std::string(field) + " column)");
      throw HostError(kExitUsage, "unknown name: " + name.text);
    }
    if (!execute) return std::nullopt;
    return MakeSeries(*column);
  }

  // How a message names argument k: its number and its described name, in
  // double quotes unless the name carries its own ("FileName").
  static std::string ArgumentLabel(const FunctionInfo& function, std::size_t k) {
    const std::string& name = function.arguments[k].name;
    const bool quoted = !name.empty() && name.front() == '"';
    return Cat("argument ", FormatInt(static_cast<int64_t>(k) + 1), " (", quoted ? "" : "\"", name,
               quoted ? "" : "\"", ")");
  }

  [[noreturn]] static void WrongKind(const FunctionInfo& function, std::size_t k,
                                     const char* expected, const FormulaNode& got) {
    throw HostError(kExitUsage, Cat(function.name, " ", ArgumentLabel(function, k), " must be ",
                                    expected, ", got ", DescribeNode(got)));
  }

  static int32_t ChoiceId(const FunctionInfo& function, std::size_t k, const FormulaNode& node) {
    const ArgumentInfo& argument = function.arguments[k];
    if (node.kind == Kind::kNumber) {
      const float id = node.number;
      if (!(std::nearbyint(id) == id) || id < -2147483648.0f || id >= 2147483648.0f)
        throw HostError(kExitUsage, Cat(function.name, " ", ArgumentLabel(function, k),
                                        " takes a whole number as its ID, got ", node.text));
      return static_cast<int32_t>(id);
    }
    if (node.kind != Kind::kName) WrongKind(function, k, "a choice", node);
    for (const CustomChoice& choice : argument.choices)
      if (EqualsIgnoreCase(choice.text, node.text)) return choice.id;
    std::string choices;
    for (const CustomChoice& choice : argument.choices)
      choices += (choices.empty() ? "" : ", ") + choice.text;
    throw HostError(kExitUsage, "no choice " + node.text + " for argument " +
                                    FormatInt(static_cast<int64_t>(k) + 1) + " of " +
                                    function.name +
                                    " (choices: " + (choices.empty() ? "none" : choices) + ")");
  }

  // The operands as series; evaluated only when execute is true.
  std::optional<HostArray> Operator(const FormulaNode& node, bool execute) {
    std::vector<HostArray> operands;
    for (const FormulaNode& operand : node.arguments) {
      if (operand.kind == Kind::kString)
        throw HostError(kExitUsage, "the operator " + node.text + " needs numbers or series, got " +
                                        DescribeNode(operand));
      std::optional<HostArray> value = Series(operand, execute);
      if (value) operands.push_back(std::move(*value));
    }
    if (!execute) return std::nullopt;
    return ApplyOperator(node.text, Pointers(operands), chart_.barCount());
  }

  static std::vector<const HostArray*> Pointers(const std::vector<HostArray>& arrays) {
    std::vector<const HostArray*> pointers;
    for (const HostArray& a : arrays) pointers.push_back(&a);
    return pointers;
  }

  std::optional<HostArray> Builtin(const FormulaNode& call, bool execute) {
    CheckBuiltin(call);
    std::vector<HostArray> series;
    for (std::size_t k = 0; k < call.arguments.size(); ++k) {
      if (!IsSeriesArgument(call, k)) continue;
      std::optional<HostArray> value = Series(call.arguments[k], execute);
      if (value) series.push_back(std::move(*value));
    }
    if (!execute) return std::nullopt;
    return CallBuiltin(call, Pointers(series), chart_.barCount());
  }

  std::optional<HostArray> Call(const FormulaNode& call, bool execute) {
    const FunctionInfo* function = library_.FindFunction(call.text);
    if (function == nullptr && IsBuiltin(call.text)) return Builtin(call, execute);
    if (function == nullptr) UnknownFunction(call.text);
    const std::size_t expected = function->arguments.size();
    if (call.arguments.size() != expected)
      throw HostError(kExitUsage, function->name + " takes " + Plural(expected, "argument") +
                                      ", got " +
                                      FormatInt(static_cast<int64_t>(call.arguments.size())));

    // Everything the library receives a pointer to lives until the call returns.
    std::vector<HostArray> series;
    std::vector<HostText> texts;
    series.reserve(expected);
    texts.reserve(expected);
    HostArguments arguments;
    std::vector<std::size_t> seriesArgument;  // the argument index of each entry of series
    std::vector<float> numbers;

    for (std::size_t k = 0; k < expected; ++k) {
      const FormulaNode& node = call.arguments[k];
      switch (function->arguments[k].type) {
        case msx::kSeriesArg: {
          if (node.kind == Kind::kString) WrongKind(*function, k, "a series", node);
          std::optional<HostArray> value = Series(node, execute);
          if (value) {
            series.push_back(std::move(*value));
            seriesArgument.push_back(k);
            arguments.AddSeries(series.back().series());
          } else {
            arguments.AddSeries(nullptr);
          }
          break;
        }
        case msx::kNumericArg:
          if (node.kind != Kind::kNumber) WrongKind(*function, k, "a number", node);
          arguments.AddNumber(node.number);
          numbers.push_back(node.number);
          break;
        case msx::kStringArg:
          if (node.kind != Kind::kString) WrongKind(*function, k, "a string", node);
          texts.emplace_back(node.text);
          arguments.AddString(texts.back().data());
          break;
        case msx::kCustomArg:
          arguments.AddCustom(ChoiceId(*function, k, node));
          break;
        default:
          throw HostError(kExitFailure,
                          function->name + " argument " + FormatInt(static_cast<int64_t>(k) + 1) +
                              " has the unknown " + ArgumentTypeName(function->arguments[k].type));
      }
    }
    if (!execute) return std::nullopt;

    HostResult result;
    const bool reader = function->name == kReadData;
    if (reader) result.Reset(std::bit_cast<float>(kUntouchedBits));
    const auto callOnce = [&] {
      return library_.Call(function->name, records_.data(), arguments, *result.record());
    };
    const auto reset = [&] {
      result.Reset(reader ? std::bit_cast<float>(kUntouchedBits)
                          : std::numeric_limits<float>::quiet_NaN());
    };
    const int32_t rc = runner_ ? runner_(callOnce, reset) : callOnce();
    if (reader && rc == 0)
      if (std::optional<std::string> notice =
              NoDataFile(result.array(), records_.data(), call.arguments[0].text))
        if (std::find(notices_.begin(), notices_.end(), *notice) == notices_.end())
          notices_.push_back(std::move(*notice));
    if (observer_) {
      std::vector<const HostArray*> seen(expected, nullptr);
      for (std::size_t s = 0; s < series.size(); ++s) seen[seriesArgument[s]] = &series[s];
      observer_(LibraryCall{call, *function, std::move(seen), std::move(numbers), rc,
                            result.extendedError(), result.array()});
    }
    if (rc == -1)
      throw HostError(kExitFailure, FailureMessage(function->name, result.extendedError()));
    if (rc != 0) throw HostError(kExitFailure, function->name + " returned " + FormatInt(rc));
    return std::move(result.array());
  }

  const Chart& chart_;
  const ChartRecords& records_;
  const LoadedLibrary& library_;
  const CallObserver& observer_;
  const CallRunner& runner_;
  std::vector<std::string> notices_;
};

}  // namespace

FormulaResult EvaluateFormula(const FormulaNode& formula, const Chart& chart,
                              const ChartRecords& records, const LoadedLibrary& library,
                              const CallObserver& observer, const CallRunner& runner) {
  Evaluator evaluator(chart, records, library, observer, runner);
  evaluator.Series(formula, /*execute=*/false);
  const std::optional<HostArray> series = evaluator.Series(formula, /*execute=*/true);
  const std::span<const float> values = series->values();
  return {std::vector<float>(values.begin(), values.end()), series->first(), series->last(),
          evaluator.TakeNotices()};
}

FormulaResult EvaluateFormula(const std::string& formula, const Chart& chart,
                              const LoadedLibrary& library) {
  const FormulaNode parsed = ParseFormula(formula);
  const ChartRecords records(chart);
  return EvaluateFormula(parsed, chart, records, library);
}

}  // namespace msxhost
