// The formula language of the tester: one expression in the common core of
// the host's formula language. From the loosest binding to the tightest:
//   or    = and {"or" and}
//   and   = not {"and" not}
//   not   = "not" not | cmp
//   cmp   = sum {("<" | ">" | "<=" | ">=" | "=" | "<>") sum}
//   sum   = term {("+" | "-") term}
//   term  = unary {("*" | "/") unary}
//   unary = "-" unary | primary
//   primary = number | string | name | call | "(" or ")"
//   call  = NAME "(" [or {"," or}] ")"
// Binary operators group from the left; "and", "or" and "not" are words in
// any letter case. A minus written right before a number is part of the
// number ("-2"). Numbers have digits, an optional fraction and exponent;
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
  enum class Kind { kNumber, kString, kName, kCall, kOperator };

  Kind kind = Kind::kNumber;
  // The number as written, the string's contents, the name, the called
  // function's name (after ExtFml is unwrapped), or the operator: "+", "-",
  // "*", "/", "<", ">", "<=", ">=", "=", "<>", "and", "or", "not".
  std::string text;
  float number = 0;                    // kNumber
  int column = 0;                      // 1-based column of the node's first character (an
                                       // operator's own column)
  int height = 1;                      // levels of the tree from this node down
  std::vector<FormulaNode> arguments;  // kCall; kOperator: one operand ("-", "not") or two
};

// Parses a whole formula. Throws HostError (kExitUsage) "syntax error at
// column N: what is wrong" (N counted from 1).
FormulaNode ParseFormula(std::string_view formula);

// How an error message names a node: "a number", "a string", "the name C",
// "a call of NRTR", "the operator +".
std::string DescribeNode(const FormulaNode& node);

}  // namespace msxhost
