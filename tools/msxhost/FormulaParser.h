// The formula language of the tester: one expression, where
//   expr = call | number | string | name
//   call = NAME "(" [expr {"," expr}] ")"
// Numbers have an optional sign, digits, an optional fraction and exponent;
// strings are "..." without escapes (a backslash is itself, for Windows
// paths); names are letters, digits and "_", not starting with a digit.
// The host's spelling ExtFml("LIB.NAME", args...) is read as NAME(args...):
// the part before the first dot is ignored but must not be empty.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace msxhost {

struct FormulaNode {
  enum class Kind { kNumber, kString, kName, kCall };

  Kind kind = Kind::kNumber;
  // The number as written, the string's contents, the name, or the called
  // function's name (after ExtFml is unwrapped).
  std::string text;
  float number = 0;                    // kNumber
  int column = 0;                      // 1-based column of the node's first character
  std::vector<FormulaNode> arguments;  // kCall
};

// Parses a whole formula. Throws HostError (kExitUsage) "syntax error at
// column N: what is wrong" (N counted from 1).
FormulaNode ParseFormula(std::string_view formula);

// How an error message names a node: "a number", "a string", "the name C",
// "a call of NRTR".
std::string DescribeNode(const FormulaNode& node);

}  // namespace msxhost
