// Chart calculation: a formula evaluated against one chart, calling the
// library's functions through the host records as the host does.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "Chart.h"
#include "FormulaParser.h"
#include "LoadedLibrary.h"

namespace msxhost {

// The formula's result: the whole host value array (msx::kMaxBars entries)
// and the valid range the last call set. Callers clamp the range to the bars.
struct FormulaResult {
  std::vector<float> values;
  int32_t first = 0;
  int32_t last = -1;
  // What the user should know about the calculation, one line each without
  // the "msxhost: note: " prefix (a ReadData that read no data file).
  std::vector<std::string> notices;
};

// One call of a library function as the evaluator made it, shown to an
// observer right after the call returned (before a failure is thrown).
struct LibraryCall {
  const FormulaNode& node;       // the call: the function's name and its argument nodes
  const FunctionInfo& function;  // as the library describes it
  // Per argument, in the function's order: the series handed over (with its
  // valid range), null for an argument of another type.
  std::vector<const HostArray*> series;
  std::vector<float> numbers;  // the numeric arguments in order
  int32_t returned = 0;        // what the function returned
  std::string extendedError;   // szExtendedError after the call
  const HostArray& result;     // the result array and the range it set
};

// Called once per library call of a calculation, innermost first.
using CallObserver = std::function<void(const LibraryCall&)>;

// Makes each library call of a calculation in place of the evaluator, with
// the arguments and the result record ready: `call` calls the function and
// returns what it returned, `reset` puts the result record back as it was
// before the first call. What the runner returns is taken as the call's
// return, with the result record as the last call left it. A benchmark runs
// the same call several times this way, on arrays already allocated and
// written once.
using CallRunner = std::function<int32_t(const std::function<int32_t()>& call,
                                         const std::function<void()>& reset)>;

// Evaluates a formula over the chart. The whole formula is checked before
// any function is called; nested calls then run innermost first.
//
// Each call's arguments are matched in order with the function's argument
// descriptions: a series takes a price field, an extra column, a nested call
// (with the range it returned) or a number (a constant over every bar); a
// numeric argument a number; a string argument a quoted string; a custom
// argument a choice text (case-insensitive) or a number taken as the ID. The
// result array starts as NaN with range 0 to -1 and szExtendedError zeroed.
//
// ReadData succeeds without writing a value when it finds no data file to
// read. Its result array starts as a marker instead; when no bar of the
// returned range holds another value, the range becomes empty (the chart
// shows no values) and a notice names the file it looked for.
//
// A formula that is a price field, a column or a number gives that series.
// Throws HostError: kExitUsage for a syntax error, an unknown function or
// name, a wrong number or kind of arguments, an unknown choice; kExitFailure
// when a function returns -1 ("NAME returned -1: szExtendedError") or any
// other code but 0, or when the chart cannot be built.
FormulaResult EvaluateFormula(const std::string& formula, const Chart& chart,
                              const LoadedLibrary& library);

// The same over a parsed formula and records already built from the chart;
// an observer, when given, sees every library call, and a runner, when
// given, makes them.
FormulaResult EvaluateFormula(const FormulaNode& formula, const Chart& chart,
                              const ChartRecords& records, const LoadedLibrary& library,
                              const CallObserver& observer = nullptr,
                              const CallRunner& runner = nullptr);

}  // namespace msxhost
