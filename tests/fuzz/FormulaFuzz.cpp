// The tester's formula parser over any text: a syntax error names a column
// of the formula; a parsed formula's nodes point at their own text, nest no
// deeper than the parser allows, and written out again parse to the same
// tree.
#include <cstring>

#include "FormulaParser.h"
#include "FuzzInput.h"
#include "HostError.h"
#include "Text.h"

namespace {

using msxhost::FormulaNode;

bool IsNameStart(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
bool IsName(const std::string& s) {
  if (s.empty() || !IsNameStart(s[0])) return false;
  for (const char c : s)
    if (!IsNameStart(c) && !(c >= '0' && c <= '9')) return false;
  return true;
}

// The formula of a tree: calls by name, or in the host's spelling where
// the name is no plain name (ExtFml allows more) or is ExtFml itself.
std::string Write(const FormulaNode& node) {
  switch (node.kind) {
    case FormulaNode::Kind::kNumber:
    case FormulaNode::Kind::kName:
      return node.text;
    case FormulaNode::Kind::kString:
      return "\"" + node.text + "\"";
    case FormulaNode::Kind::kCall:
      break;
    case FormulaNode::Kind::kOperator:
      // Binary operators in parentheses, so the tree reads back whatever the
      // precedence; "- X" bare, so no nesting is added; "not" in
      // parentheses, which a minus before it needs.
      if (node.arguments.size() == 2)
        return "(" + Write(node.arguments[0]) + " " + node.text + " " + Write(node.arguments[1]) +
               ")";
      if (node.text == "-") return "- " + Write(node.arguments[0]);
      return "(" + node.text + " " + Write(node.arguments[0]) + ")";
  }
  const bool plain = IsName(node.text) && !msxhost::EqualsIgnoreCase(node.text, "ExtFml");
  std::string text = plain ? node.text + "(" : "ExtFml(\"LIB." + node.text + "\"";
  for (std::size_t k = 0; k < node.arguments.size(); ++k)
    text += (k > 0 || !plain ? ", " : "") + Write(node.arguments[k]);
  return text + ")";
}

bool SameTree(const FormulaNode& a, const FormulaNode& b) {
  if (a.kind != b.kind || a.text != b.text || a.arguments.size() != b.arguments.size() ||
      std::memcmp(&a.number, &b.number, sizeof a.number) != 0)
    return false;
  for (std::size_t k = 0; k < a.arguments.size(); ++k)
    if (!SameTree(a.arguments[k], b.arguments[k])) return false;
  return true;
}

// Each node's column is where its text stands in the formula; returns the
// tree's depth.
int CheckNode(const FormulaNode& node, std::string_view formula) {
  if (node.column < 1 || static_cast<std::size_t>(node.column) > formula.size())
    fuzz::Fail("a node's column " + std::to_string(node.column) + " is outside the formula " +
               fuzz::Printable(formula));
  const std::string_view at = formula.substr(static_cast<std::size_t>(node.column) - 1);
  const bool unwrapped = node.kind == FormulaNode::Kind::kCall &&
                         msxhost::EqualsIgnoreCase(at.substr(0, 6), "ExtFml") &&
                         at.substr(0, node.text.size()) != node.text;
  const bool placed = node.kind == FormulaNode::Kind::kString
                          ? at.substr(0, node.text.size() + 2) == "\"" + node.text + "\""
                      : node.kind == FormulaNode::Kind::kOperator
                          ? msxhost::EqualsIgnoreCase(at.substr(0, node.text.size()), node.text)
                          : unwrapped || at.substr(0, node.text.size()) == node.text;
  if (!placed)
    fuzz::Fail("the node " + fuzz::Printable(node.text) + " is not at its column " +
               std::to_string(node.column) + " of " + fuzz::Printable(formula));
  int depth = 0;
  for (const FormulaNode& argument : node.arguments)
    depth = std::max(depth, CheckNode(argument, formula));
  return depth + 1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view formula(reinterpret_cast<const char*>(data), size);
  FormulaNode tree;
  try {
    tree = msxhost::ParseFormula(formula);
  } catch (const msxhost::HostError& e) {
    const std::string message = e.what();
    std::size_t column = 0;
    if (e.exitCode() != msxhost::kExitUsage ||
        std::sscanf(message.c_str(), "syntax error at column %zu: ", &column) != 1 || column < 1 ||
        column > size + 1)
      fuzz::Fail("a syntax error without a column of the formula: " + message);
    return 0;
  }
  if (CheckNode(tree, formula) > 66) fuzz::Fail("a tree deeper than the parser allows");

  const std::string written = Write(tree);
  FormulaNode again;
  try {
    again = msxhost::ParseFormula(written);
  } catch (const msxhost::HostError& e) {
    fuzz::Fail("the formula written out does not parse: " + fuzz::Printable(written) + ": " +
               e.what());
  }
  if (!SameTree(tree, again))
    fuzz::Fail("the formula written out parses otherwise: " + fuzz::Printable(written));
  return 0;
}
