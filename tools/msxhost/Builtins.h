// The common core of the host's formula language that the tester computes
// itself: the operators and the functions If, Ref, Mov, Cross, HHV, LLV,
// Sum, Abs, Max and Min, by their textbook definitions. The host's own
// numbers may differ in the first bars.
//
// A series is a host value array with its valid range. A result is valid
// where all its operands are, less the bars a function needs to look back
// (its warm-up): Ref(X, -n) n bars, Mov, HHV, LLV and Sum n - 1 bars, Cross
// 1 bar. Values outside the valid range are NaN.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "FormulaParser.h"
#include "HostRecords.h"

namespace msxhost {

// True when the tester computes a function of that name (any letter case).
bool IsBuiltin(std::string_view name);

// Checks a call of a built-in function: its argument count, and the
// arguments that must be written as constants (a period count, a Mov
// method). Throws HostError (kExitUsage) naming the argument, as in
//   Mov argument 2 ("Periods") must be a whole number of 1 or more, got the name C
// The other arguments are series; the caller checks and evaluates them.
void CheckBuiltin(const FormulaNode& call);

// True when argument k of a built-in call is a series the caller evaluates.
bool IsSeriesArgument(const FormulaNode& call, std::size_t k);

// The built-in function over its evaluated series arguments (in argument
// order, constants left out) on a chart of `bars` bars. The call must have
// passed CheckBuiltin.
HostArray CallBuiltin(const FormulaNode& call, const std::vector<const HostArray*>& series,
                      int32_t bars);

// An operator over its one or two operands: arithmetic in double precision
// stored as float, comparisons and logic giving 1 or 0 (any value but 0 is
// true). A division by zero gives 0.
HostArray ApplyOperator(std::string_view op, const std::vector<const HostArray*>& operands,
                        int32_t bars);

}  // namespace msxhost
