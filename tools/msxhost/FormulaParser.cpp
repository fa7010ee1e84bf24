#include "FormulaParser.h"

#include <algorithm>
#include <optional>

#include "HostError.h"
#include "Text.h"

namespace msxhost {
namespace {

// A taller tree than any real formula has; it keeps a runaway input from
// exhausting the stack.
constexpr int kMaxHeight = 64;
// How deep the parser may recurse: twice the height and one more, which a
// formula of the tallest tree written out with every operator in
// parentheses needs (a "not" in them takes two steps for one level).
constexpr int kMaxDepth = 2 * kMaxHeight + 1;

using Kind = FormulaNode::Kind;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsNameStart(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
bool IsNameChar(char c) { return IsNameStart(c) || IsDigit(c); }

// The binary operators of one level of precedence, longest spelling first.
struct Level {
  std::vector<std::string_view> operators;
};

const Level kComparisons{{"<=", ">=", "<>", "<", ">", "="}};
const Level kSums{{"+", "-"}};
const Level kTerms{{"*", "/"}};

class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text) {}

  FormulaNode ParseAll() {
    SkipBlanks();
    if (AtEnd()) Fail(pos_, "the formula is empty");
    FormulaNode node = ParseOr(0);
    SkipBlanks();
    if (!AtEnd()) Fail(pos_, Cat("unexpected ", Quoted(pos_), " after the end of the formula"));
    return node;
  }

 private:
  [[noreturn]] void Fail(std::size_t at, const std::string& what) const {
    throw HostError(kExitUsage, "syntax error at column " +
                                    FormatInt(static_cast<int64_t>(at) + 1) + ": " + what);
  }

  bool AtEnd() const { return pos_ >= text_.size(); }
  char Peek(std::size_t ahead = 0) const {
    return pos_ + ahead < text_.size() ? text_[pos_ + ahead] : '\0';
  }

  std::string Quoted(std::size_t at) const {
    if (at >= text_.size()) return "end of formula";
    std::string quoted = "'";
    quoted += text_[at];
    quoted += '\'';
    return quoted;
  }

  void SkipBlanks() {
    while (!AtEnd() && (Peek() == ' ' || Peek() == '\t' || Peek() == '\r' || Peek() == '\n'))
      ++pos_;
  }

  void CheckDepth(int depth) const {
    if (depth > kMaxDepth) Fail(pos_, "the formula is nested too deeply");
  }

  // An operator node over its operands, no higher than the parser allows.
  FormulaNode Operator(std::string text, std::size_t at, std::vector<FormulaNode> operands) const {
    FormulaNode node;
    node.kind = Kind::kOperator;
    node.text = std::move(text);
    node.column = static_cast<int>(at) + 1;
    for (const FormulaNode& operand : operands)
      node.height = std::max(node.height, operand.height + 1);
    if (node.height > kMaxHeight) Fail(at, "the formula is nested too deeply");
    node.arguments = std::move(operands);
    return node;
  }

  // The word operator ("and", "or", "not") at the current position, any case.
  bool AtWord(std::string_view word) const {
    return EqualsIgnoreCase(text_.substr(pos_, word.size()), word) &&
           !IsNameChar(Peek(word.size()));
  }

  // LEFT (WORD RIGHT)*, left to right, each side parsed by next.
  template <class Next>
  FormulaNode ParseWordChain(std::string_view word, int depth, Next next) {
    FormulaNode left = next(depth);
    while (true) {
      SkipBlanks();
      if (!AtWord(word)) return left;
      const std::size_t at = pos_;
      pos_ += word.size();
      FormulaNode right = next(depth);
      left = Operator(std::string(word), at, {std::move(left), std::move(right)});
    }
  }

  FormulaNode ParseOr(int depth) {
    return ParseWordChain("or", depth, [this](int d) { return ParseAnd(d); });
  }

  FormulaNode ParseAnd(int depth) {
    return ParseWordChain("and", depth, [this](int d) { return ParseNot(d); });
  }

  FormulaNode ParseNot(int depth) {
    CheckDepth(depth);
    SkipBlanks();
    if (!AtWord("not")) return ParseLevel(kComparisons, depth);
    const std::size_t at = pos_;
    pos_ += 3;
    return Operator("not", at, {ParseNot(depth + 1)});
  }

  // One level of left-grouping binary operators; the next level binds tighter.
  FormulaNode ParseLevel(const Level& level, int depth) {
    const auto operand = [&] {
      if (&level == &kComparisons) return ParseLevel(kSums, depth);
      if (&level == &kSums) return ParseLevel(kTerms, depth);
      return ParseUnary(depth);
    };
    FormulaNode left = operand();
    while (true) {
      SkipBlanks();
      std::string_view found;
      for (std::string_view op : level.operators)
        if (text_.substr(pos_, op.size()) == op) {
          found = op;
          break;
        }
      if (found.empty()) return left;
      const std::size_t at = pos_;
      pos_ += found.size();
      FormulaNode right = operand();
      left = Operator(std::string(found), at, {std::move(left), std::move(right)});
    }
  }

  FormulaNode ParseUnary(int depth) {
    CheckDepth(depth);
    SkipBlanks();
    const bool signedNumber = (Peek() == '-' || Peek() == '+') &&
                              (IsDigit(Peek(1)) || (Peek(1) == '.' && IsDigit(Peek(2))));
    if (Peek() == '-' && !signedNumber) {
      const std::size_t at = pos_++;
      return Operator("-", at, {ParseUnary(depth + 1)});
    }
    return ParsePrimary(depth);
  }

  FormulaNode ParsePrimary(int depth) {
    SkipBlanks();
    const char c = Peek();
    if (c == '"') return ParseString();
    if (IsDigit(c) || c == '.' || c == '+' || c == '-') return ParseNumber();
    if (IsNameStart(c)) {
      // "not" after another operator ("C > not X", "A - not B") is the word
      // operator, as at the start of a formula: never a name that a
      // formula written out again would read as the operator.
      if (AtWord("not")) return ParseNot(depth + 1);
      if (AtWord("and") || AtWord("or"))
        Fail(pos_, Cat("expected a value before '",
                       ToLower(text_.substr(pos_, AtWord("or") ? 2 : 3)), "'"));
      return ParseNameOrCall(depth);
    }
    if (c == '(') {
      const std::size_t open = pos_++;
      FormulaNode inner = ParseOr(depth + 1);
      SkipBlanks();
      if (Peek() != ')') {
        if (AtEnd()) Fail(open, "the '(' is not closed with ')'");
        Fail(pos_, Cat("expected ')' or an operator, got ", Quoted(pos_)));
      }
      ++pos_;
      return inner;
    }
    Fail(pos_, Cat("expected a name, a number or a string, got ", Quoted(pos_)));
  }

  FormulaNode ParseString() {
    FormulaNode node;
    node.kind = Kind::kString;
    node.column = static_cast<int>(pos_) + 1;
    const std::size_t close = text_.find('"', pos_ + 1);
    if (close == std::string_view::npos) Fail(pos_, "the string is not closed");
    node.text = std::string(text_.substr(pos_ + 1, close - pos_ - 1));
    pos_ = close + 1;
    return node;
  }

  std::size_t SkipDigits() {
    const std::size_t start = pos_;
    while (IsDigit(Peek())) ++pos_;
    return pos_ - start;
  }

  FormulaNode ParseNumber() {
    const std::size_t start = pos_;
    if (Peek() == '+' || Peek() == '-') ++pos_;
    std::size_t digits = SkipDigits();
    if (Peek() == '.') {
      ++pos_;
      digits += SkipDigits();
    }
    if (digits == 0) Fail(start, "bad number");
    if (Peek() == 'e' || Peek() == 'E') {
      ++pos_;
      if (Peek() == '+' || Peek() == '-') ++pos_;
      if (SkipDigits() == 0) Fail(start, "bad number (exponent without digits)");
    }
    if (IsNameChar(Peek()) || Peek() == '.') Fail(start, "bad number");
    FormulaNode node;
    node.kind = Kind::kNumber;
    node.column = static_cast<int>(start) + 1;
    node.text = std::string(text_.substr(start, pos_ - start));
    const std::optional<float> value = ParseFloat(node.text);
    if (!value) Fail(start, "the number " + node.text + " is out of range");
    node.number = *value;
    return node;
  }

  FormulaNode ParseNameOrCall(int depth) {
    FormulaNode node;
    node.kind = Kind::kName;
    node.column = static_cast<int>(pos_) + 1;
    const std::size_t start = pos_;
    while (IsNameChar(Peek())) ++pos_;
    node.text = std::string(text_.substr(start, pos_ - start));
    SkipBlanks();
    if (Peek() != '(') return node;

    const std::size_t open = pos_++;
    node.kind = Kind::kCall;
    SkipBlanks();
    if (Peek() == ')') {
      ++pos_;
    } else {
      while (true) {
        CheckDepth(depth + 1);
        node.arguments.push_back(ParseOr(depth + 1));
        node.height = std::max(node.height, node.arguments.back().height + 1);
        if (node.height > kMaxHeight) Fail(open, "the formula is nested too deeply");
        SkipBlanks();
        if (Peek() == ',') {
          ++pos_;
          continue;
        }
        if (Peek() == ')') {
          ++pos_;
          break;
        }
        if (AtEnd()) Fail(open, "the call of " + node.text + " is not closed with ')'");
        Fail(pos_, Cat("expected ',' or ')', got ", Quoted(pos_)));
      }
    }
    if (EqualsIgnoreCase(node.text, "ExtFml")) UnwrapExtFml(node, open);
    return node;
  }

  // ExtFml("LIB.NAME", args...) becomes NAME(args...).
  void UnwrapExtFml(FormulaNode& node, std::size_t open) const {
    const char* const expected = "ExtFml needs \"LIBRARY.FUNCTION\" as its first argument";
    if (node.arguments.empty() || node.arguments.front().kind != Kind::kString)
      Fail(node.arguments.empty() ? open + 1
                                  : static_cast<std::size_t>(node.arguments[0].column - 1),
           expected);
    const FormulaNode& target = node.arguments.front();
    const std::size_t dot = target.text.find('.');
    if (dot == std::string::npos || dot == 0 || dot + 1 == target.text.size())
      Fail(static_cast<std::size_t>(target.column - 1), expected);
    std::string name = target.text.substr(dot + 1);
    for (char c : name)
      if (!IsNameChar(c))
        Fail(static_cast<std::size_t>(target.column - 1),
             "bad function name \"" + name + "\" in ExtFml");
    node.text = std::move(name);
    node.arguments.erase(node.arguments.begin());
  }

  std::string_view text_;
  std::size_t pos_ = 0;
};

}  // namespace

FormulaNode ParseFormula(std::string_view formula) { return Parser(formula).ParseAll(); }

std::string DescribeNode(const FormulaNode& node) {
  switch (node.kind) {
    case Kind::kNumber:
      return "a number";
    case Kind::kString:
      return "a string";
    case Kind::kName:
      return "the name " + node.text;
    case Kind::kCall:
      return "a call of " + node.text;
    case Kind::kOperator:
      return "the operator " + node.text;
  }
  return "an expression";
}

}  // namespace msxhost
