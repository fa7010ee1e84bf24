#include "FormulaParser.h"

#include <optional>

#include "HostError.h"
#include "Text.h"

namespace msxhost {
namespace {

// Deeper nesting than any real formula; it keeps a runaway input from
// exhausting the stack.
constexpr int kMaxDepth = 64;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsNameStart(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
bool IsNameChar(char c) { return IsNameStart(c) || IsDigit(c); }

class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text) {}

  FormulaNode ParseAll() {
    SkipBlanks();
    if (AtEnd()) Fail(pos_, "the formula is empty");
    FormulaNode node = ParseExpression(0);
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
  char Peek() const { return AtEnd() ? '\0' : text_[pos_]; }

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

  FormulaNode ParseExpression(int depth) {
    if (depth > kMaxDepth) Fail(pos_, "the formula is nested too deeply");
    SkipBlanks();
    const char c = Peek();
    if (c == '"') return ParseString();
    if (IsDigit(c) || c == '.' || c == '+' || c == '-') return ParseNumber();
    if (IsNameStart(c)) return ParseNameOrCall(depth);
    Fail(pos_, Cat("expected a name, a number or a string, got ", Quoted(pos_)));
  }

  FormulaNode ParseString() {
    FormulaNode node;
    node.kind = FormulaNode::Kind::kString;
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
    node.kind = FormulaNode::Kind::kNumber;
    node.column = static_cast<int>(start) + 1;
    node.text = std::string(text_.substr(start, pos_ - start));
    const std::optional<float> value = ParseFloat(node.text);
    if (!value) Fail(start, "the number " + node.text + " is out of range");
    node.number = *value;
    return node;
  }

  FormulaNode ParseNameOrCall(int depth) {
    FormulaNode node;
    node.kind = FormulaNode::Kind::kName;
    node.column = static_cast<int>(pos_) + 1;
    const std::size_t start = pos_;
    while (IsNameChar(Peek())) ++pos_;
    node.text = std::string(text_.substr(start, pos_ - start));
    SkipBlanks();
    if (Peek() != '(') return node;

    const std::size_t open = pos_++;
    node.kind = FormulaNode::Kind::kCall;
    SkipBlanks();
    if (Peek() == ')') {
      ++pos_;
    } else {
      while (true) {
        node.arguments.push_back(ParseExpression(depth + 1));
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
    if (node.arguments.empty() || node.arguments.front().kind != FormulaNode::Kind::kString)
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
    case FormulaNode::Kind::kNumber:
      return "a number";
    case FormulaNode::Kind::kString:
      return "a string";
    case FormulaNode::Kind::kName:
      return "the name " + node.text;
    case FormulaNode::Kind::kCall:
      return "a call of " + node.text;
  }
  return "an expression";
}

}  // namespace msxhost
