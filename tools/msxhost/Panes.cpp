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
  int input = 0;  // kInput: the argument whose scale the result has
  // For a function whose choice decides: the choice argument's index and the
  // choices whose result has a scale of its own (empty texts end the list).
  int choiceArgument = -1;
  const char* ownChoices[3] = {};
};

// The library's functions, then those the tester computes itself.
constexpr PaneRule kPaneRules[] = {
    {"NRTR", Scale::kInput},
    {"NRTR_WATR", Scale::kInput},
    {"JMA", Scale::kInput},
    {"RENKO_WATR", Scale::kInput, 0, 3, {"Long", "Short", "Both"}},
    {"CER", Scale::kOwn},
    {"JTPO", Scale::kOwn},
    {"WriteData", Scale::kInput},
    {"WriteDataEx", Scale::kOwn},
    {"ReadData", Scale::kPrice},
    {"TradeFile", Scale::kOwn},
    {"TradeQuik", Scale::kOwn},
    {"If", Scale::kInput, 1},
    {"Ref", Scale::kInput},
    {"Mov", Scale::kInput},
    {"HHV", Scale::kInput},
    {"LLV", Scale::kInput},
    {"Max", Scale::kInput},
    {"Min", Scale::kInput},
    {"Cross", Scale::kOwn},
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

std::optional<Pane> ParsePane(std::string_view text) {
  if (text == "price") return Pane::kPrice;
  if (text == "own") return Pane::kOwn;
  return std::nullopt;
}

}  // namespace msxhost
