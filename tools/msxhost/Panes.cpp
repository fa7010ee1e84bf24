#include "Panes.h"

#include <cstdint>

#include "Chart.h"
#include "Text.h"

namespace msxhost {
namespace {

enum class Scale {
  kInput,  // the scale of the first argument
  kPrice,  // the price's scale
  kOwn,    // a scale of its own
};

struct PaneRule {
  const char* function;
  Scale scale;
  const char* unit = nullptr;  // null: the unit of the input argument
  bool reversal = false;       // a reversal line (its signal choices excepted)
  int input = 0;               // the argument whose scale (kInput) and unit the result has
  // For a function whose choice decides: the choice argument's index and the
  // choices whose result has a scale of its own (empty texts end the list).
  int choiceArgument = -1;
  const char* ownChoices[3] = {};
};

// The library's functions, then those the tester computes itself.
constexpr PaneRule kPaneRules[] = {
    {"NRTR", Scale::kInput, nullptr, true},
    {"NRTR_WATR", Scale::kInput, nullptr, true},
    {"JMA", Scale::kInput},
    {"RENKO_WATR", Scale::kInput, nullptr, true, 0, 3, {"Long", "Short", "Both"}},
    {"CER", Scale::kOwn, "%"},
    {"JTPO", Scale::kOwn, "-1 to +1"},
    {"WriteData", Scale::kInput},
    {"WriteDataEx", Scale::kOwn, ""},
    {"ReadData", Scale::kPrice, "price"},
    {"TradeFile", Scale::kOwn, "position"},
    {"TradeQuik", Scale::kOwn, "position"},
    {"If", Scale::kInput, nullptr, false, 1},
    {"Ref", Scale::kInput},
    {"Mov", Scale::kInput},
    {"HHV", Scale::kInput},
    {"LLV", Scale::kInput},
    {"Max", Scale::kInput},
    {"Min", Scale::kInput},
    {"Cross", Scale::kOwn, "1 = true"},
    {"Sum", Scale::kOwn},
    {"Abs", Scale::kOwn},
};

const PaneRule* FindRule(std::string_view function) {
  for (const PaneRule& rule : kPaneRules)
    if (EqualsIgnoreCase(rule.function, function)) return &rule;
  return nullptr;
}

// The ID a choice argument stands for, as the formula writes it (a text in
// any of its forms, or the ID itself); empty when it names no choice.
std::optional<int32_t> ChoiceId(const FormulaNode& node, const ArgumentInfo& argument) {
  if (node.kind == FormulaNode::Kind::kNumber) return static_cast<int32_t>(node.number);
  for (const CustomChoice& choice : argument.choices)
    if (EqualsIgnoreCase(choice.text, node.text)) return choice.id;
  return std::nullopt;
}

bool OwnChoice(const PaneRule& rule, const FormulaNode& call, const LoadedLibrary& library) {
  const auto k = static_cast<std::size_t>(rule.choiceArgument);
  const FunctionInfo* function = library.FindFunction(call.text);
  if (function == nullptr || k >= call.arguments.size() || k >= function->arguments.size())
    return false;
  const ArgumentInfo& argument = function->arguments[k];
  const std::optional<int32_t> id = ChoiceId(call.arguments[k], argument);
  if (!id) return false;
  for (const char* own : rule.ownChoices)
    if (own != nullptr)
      for (const CustomChoice& choice : argument.choices)
        if (choice.id == *id && EqualsIgnoreCase(choice.text, own)) return true;
  return false;
}

// The unit of a node's values; `signal` as StyleOf takes it, for this node
// only (a call nested in it is taken for what its formula says).
std::string UnitOf(const FormulaNode& node, bool signal) {
  using Kind = FormulaNode::Kind;
  switch (node.kind) {
    case Kind::kName: {
      const std::string_view field = PriceField(node.text);
      return field.empty() ? "" : field == "volume" ? "volume" : "price";
    }
    case Kind::kOperator: {
      const std::string& op = node.text;
      const FormulaNode& a = node.arguments.front();
      if (node.arguments.size() == 1) return op == "not" ? "1 = true" : UnitOf(a, false);
      const FormulaNode& b = node.arguments.back();
      if (op == "*" || op == "/") {
        // A scale factor keeps the unit; a product of two series has none we know.
        if (b.kind == Kind::kNumber) return UnitOf(a, false);
        return op == "*" && a.kind == Kind::kNumber ? UnitOf(b, false) : "";
      }
      if (op == "+" || op == "-") {
        // A number added keeps the unit; series of two units have none.
        if (a.kind == Kind::kNumber) return UnitOf(b, false);
        const std::string unit = UnitOf(a, false);
        return b.kind == Kind::kNumber || unit == UnitOf(b, false) ? unit : "";
      }
      return "1 = true";  // comparisons, and, or
    }
    case Kind::kCall:
      break;
    default:
      return "";
  }
  const PaneRule* rule = FindRule(node.text);
  if (rule == nullptr) return "";
  if (signal && rule->choiceArgument >= 0) return "position";
  if (rule->unit != nullptr) return rule->unit;
  const auto input = static_cast<std::size_t>(rule->input);
  return input < node.arguments.size() ? UnitOf(node.arguments[input], false) : "";
}

}  // namespace

Pane PaneOf(const FormulaNode& formula, const LoadedLibrary& library) {
  switch (formula.kind) {
    case FormulaNode::Kind::kName: {
      const std::string_view field = PriceField(formula.text);
      return field.empty() || field == "volume" ? Pane::kOwn : Pane::kPrice;
    }
    case FormulaNode::Kind::kCall:
      break;
    default:
      return Pane::kOwn;
  }
  const PaneRule* rule = FindRule(formula.text);
  if (rule == nullptr) return Pane::kOwn;
  if (rule->choiceArgument >= 0 && OwnChoice(*rule, formula, library)) return Pane::kOwn;
  switch (rule->scale) {
    case Scale::kPrice:
      return Pane::kPrice;
    case Scale::kOwn:
      return Pane::kOwn;
    case Scale::kInput:
      break;
  }
  const auto input = static_cast<std::size_t>(rule->input);
  return input < formula.arguments.size() ? PaneOf(formula.arguments[input], library) : Pane::kOwn;
}

PlotStyle StyleOf(const FormulaNode& formula, bool signal) {
  PlotStyle style;
  style.unit = UnitOf(formula, signal);
  const PaneRule* rule =
      formula.kind == FormulaNode::Kind::kCall ? FindRule(formula.text) : nullptr;
  if (rule == nullptr || !rule->reversal || (signal && rule->choiceArgument >= 0)) return style;
  style.reversal = true;
  const auto input = static_cast<std::size_t>(rule->input);
  if (input < formula.arguments.size() && formula.arguments[input].kind == FormulaNode::Kind::kName)
    style.input = formula.arguments[input].text;
  return style;
}

std::optional<Pane> ParsePane(std::string_view text) {
  if (text == "price") return Pane::kPrice;
  if (text == "own") return Pane::kOwn;
  return std::nullopt;
}

}  // namespace msxhost
