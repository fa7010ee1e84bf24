#include "Builtins.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <span>

#include "HostError.h"
#include "Text.h"

namespace msxhost {
namespace {

using Kind = FormulaNode::Kind;

// What an argument of a built-in function is.
enum class Arg {
  kSeries,   // any series: a price field, a column, a number, a call, an expression
  kPeriods,  // a whole number from 1 to the host's bars, written as a number
  kOffset,   // a whole number, negative for bars back, written as a number
  kMethod,   // Mov's method: S, E or W
};

struct ArgumentSpec {
  Arg kind;
  const char* name;
};

struct Builtin {
  const char* name;
  std::size_t count;
  ArgumentSpec arguments[3];
};

constexpr Builtin kBuiltins[] = {
    {"If", 3, {{Arg::kSeries, "Condition"}, {Arg::kSeries, "Then"}, {Arg::kSeries, "Else"}}},
    {"Ref", 2, {{Arg::kSeries, "Data"}, {Arg::kOffset, "Periods"}}},
    {"Mov", 3, {{Arg::kSeries, "Data"}, {Arg::kPeriods, "Periods"}, {Arg::kMethod, "Method"}}},
    {"Cross", 2, {{Arg::kSeries, "Data1"}, {Arg::kSeries, "Data2"}}},
    {"HHV", 2, {{Arg::kSeries, "Data"}, {Arg::kPeriods, "Periods"}}},
    {"LLV", 2, {{Arg::kSeries, "Data"}, {Arg::kPeriods, "Periods"}}},
    {"Sum", 2, {{Arg::kSeries, "Data"}, {Arg::kPeriods, "Periods"}}},
    {"Abs", 1, {{Arg::kSeries, "Data"}}},
    {"Max", 2, {{Arg::kSeries, "Data1"}, {Arg::kSeries, "Data2"}}},
    {"Min", 2, {{Arg::kSeries, "Data1"}, {Arg::kSeries, "Data2"}}},
};

enum class Method { kSimple, kExponential, kWeighted };

struct MethodName {
  const char* text;
  Method method;
};

constexpr MethodName kMethods[] = {
    {"S", Method::kSimple},      {"Simple", Method::kSimple},
    {"E", Method::kExponential}, {"Exponential", Method::kExponential},
    {"W", Method::kWeighted},    {"Weighted", Method::kWeighted},
};

const Builtin* Find(std::string_view name) {
  for (const Builtin& builtin : kBuiltins)
    if (EqualsIgnoreCase(builtin.name, name)) return &builtin;
  return nullptr;
}

[[noreturn]] void WrongArgument(const Builtin& builtin, std::size_t k, const std::string& expected,
                                const FormulaNode& got) {
  const std::string gotText = got.kind == Kind::kNumber ? got.text : DescribeNode(got);
  throw HostError(kExitUsage,
                  Cat(builtin.name, " argument ", FormatInt(static_cast<int64_t>(k) + 1), " (\"",
                      builtin.arguments[k].name, "\") must be ", expected, ", got ", gotText));
}

// The whole number an argument is written as, within the bounds.
int32_t WholeNumber(const Builtin& builtin, std::size_t k, const FormulaNode& node, int32_t low,
                    const std::string& expected) {
  if (node.kind != Kind::kNumber || std::nearbyint(node.number) != node.number ||
      node.number < static_cast<float>(low) || node.number > static_cast<float>(msx::kMaxBars))
    WrongArgument(builtin, k, expected, node);
  return static_cast<int32_t>(node.number);
}

std::string PeriodsExpected() { return "a whole number from 1 to " + FormatInt(msx::kMaxBars); }
std::string OffsetExpected() {
  return "a whole number from -" + FormatInt(msx::kMaxBars) + " to " + FormatInt(msx::kMaxBars);
}

Method MethodOf(const Builtin& builtin, std::size_t k, const FormulaNode& node) {
  if (node.kind == Kind::kName)
    for (const MethodName& m : kMethods)
      if (EqualsIgnoreCase(m.text, node.text)) return m.method;
  WrongArgument(builtin, k, "S (simple), E (exponential) or W (weighted)", node);
}

// A valid range, empty as first 0, last -1.
struct Span {
  int32_t first = 0;
  int32_t last = -1;
};

// Where every series is valid, within the chart's bars.
Span Common(const std::vector<const HostArray*>& series, int32_t bars) {
  Span span{0, bars - 1};
  for (const HostArray* s : series) {
    span.first = std::max(span.first, s->first());
    span.last = std::min(span.last, s->last());
  }
  return span;
}

// A result valid from `first` to `last` (empty when first > last), NaN
// elsewhere, its values given by value(i) as float.
HostArray Fill(int32_t first, int32_t last, const std::function<double(int32_t)>& value) {
  HostArray out(std::numeric_limits<float>::quiet_NaN());
  if (first > last || last < 0) return out;
  first = std::max(first, 0);
  for (int32_t i = first; i <= last; ++i)
    out.values()[static_cast<std::size_t>(i)] = static_cast<float>(value(i));
  out.SetRange(first, last);
  return out;
}

// The exponential average with weight 2 / (n + 1), started at bar
// first + n - 1 with the simple average of the first n values.
HostArray Exponential(const HostArray& x, Span span, int32_t n) {
  const std::span<const float> v = x.values();
  const int32_t start = span.first + n - 1;
  const double weight = 2.0 / (n + 1.0);
  double average = 0;
  return Fill(start, span.last, [&](int32_t i) {
    if (i == start) {
      for (int32_t j = i - n + 1; j <= i; ++j) average += v[static_cast<std::size_t>(j)];
      average /= n;
    } else {
      average += weight * (v[static_cast<std::size_t>(i)] - average);
    }
    return average;
  });
}

// A function of the last n values, for each bar with n values behind it.
HostArray Window(const HostArray& x, Span span, int32_t n,
                 const std::function<double(std::span<const float>)>& of) {
  const std::span<const float> v = x.values();
  return Fill(span.first + n - 1, span.last, [&](int32_t i) {
    return of(v.subspan(static_cast<std::size_t>(i - n + 1), static_cast<std::size_t>(n)));
  });
}

double Average(std::span<const float> w) {
  double sum = 0;
  for (float value : w) sum += value;
  return sum / static_cast<double>(w.size());
}

double Weighted(std::span<const float> w) {
  double sum = 0;
  double weights = 0;
  for (std::size_t k = 0; k < w.size(); ++k) {
    sum += static_cast<double>(k + 1) * w[k];
    weights += static_cast<double>(k + 1);
  }
  return sum / weights;
}

double Total(std::span<const float> w) {
  double sum = 0;
  for (float value : w) sum += value;
  return sum;
}

double Highest(std::span<const float> w) { return *std::max_element(w.begin(), w.end()); }
double Lowest(std::span<const float> w) { return *std::min_element(w.begin(), w.end()); }

double Truth(bool t) { return t ? 1.0 : 0.0; }

// An operator on the values of one bar (a unary one ignores its second).
struct OperatorRow {
  std::string_view op;
  double (*apply)(double, double);
};

constexpr OperatorRow kUnary[] = {
    {"-", [](double a, double) { return -a; }},
    {"not", [](double a, double) { return Truth(a == 0); }},
};

constexpr OperatorRow kBinary[] = {
    {"+", [](double a, double b) { return a + b; }},
    {"-", [](double a, double b) { return a - b; }},
    {"*", [](double a, double b) { return a * b; }},
    {"/", [](double a, double b) { return b == 0 ? 0.0 : a / b; }},
    {"<", [](double a, double b) { return Truth(a < b); }},
    {">", [](double a, double b) { return Truth(a > b); }},
    {"<=", [](double a, double b) { return Truth(a <= b); }},
    {">=", [](double a, double b) { return Truth(a >= b); }},
    {"=", [](double a, double b) { return Truth(a == b); }},
    {"<>", [](double a, double b) { return Truth(a != b); }},
    {"and", [](double a, double b) { return Truth(a != 0 && b != 0); }},
    {"or", [](double a, double b) { return Truth(a != 0 || b != 0); }},
};

}  // namespace

bool IsBuiltin(std::string_view name) { return Find(name) != nullptr; }

void CheckBuiltin(const FormulaNode& call) {
  const Builtin& builtin = *Find(call.text);
  if (call.arguments.size() != builtin.count)
    throw HostError(kExitUsage,
                    Cat(builtin.name, " takes ", FormatInt(static_cast<int64_t>(builtin.count)),
                        builtin.count == 1 ? " argument" : " arguments", ", got ",
                        FormatInt(static_cast<int64_t>(call.arguments.size()))));
  for (std::size_t k = 0; k < builtin.count; ++k) {
    const FormulaNode& node = call.arguments[k];
    switch (builtin.arguments[k].kind) {
      case Arg::kSeries:
        if (node.kind == Kind::kString) WrongArgument(builtin, k, "a series", node);
        break;
      case Arg::kPeriods:
        WholeNumber(builtin, k, node, 1, PeriodsExpected());
        break;
      case Arg::kOffset:
        WholeNumber(builtin, k, node, -msx::kMaxBars, OffsetExpected());
        break;
      case Arg::kMethod:
        MethodOf(builtin, k, node);
        break;
    }
  }
}

bool IsSeriesArgument(const FormulaNode& call, std::size_t k) {
  const Builtin& builtin = *Find(call.text);
  return k < builtin.count && builtin.arguments[k].kind == Arg::kSeries;
}

HostArray CallBuiltin(const FormulaNode& call, const std::vector<const HostArray*>& series,
                      int32_t bars) {
  const Builtin& builtin = *Find(call.text);
  const std::string_view name = builtin.name;
  const Span span = Common(series, bars);
  const auto value = [&](std::size_t s, int32_t i) {
    return static_cast<double>(series[s]->values()[static_cast<std::size_t>(i)]);
  };
  const auto periods = [&] { return WholeNumber(builtin, 1, call.arguments[1], 1, ""); };

  if (name == "If")
    return Fill(span.first, span.last,
                [&](int32_t i) { return value(0, i) != 0 ? value(1, i) : value(2, i); });
  if (name == "Ref") {
    const int32_t k = WholeNumber(builtin, 1, call.arguments[1], -msx::kMaxBars, "");
    return Fill(std::max(span.first - k, 0), std::min(span.last - k, bars - 1),
                [&](int32_t i) { return value(0, i + k); });
  }
  if (name == "Mov") {
    const int32_t n = periods();
    switch (MethodOf(builtin, 2, call.arguments[2])) {
      case Method::kSimple:
        return Window(*series[0], span, n, Average);
      case Method::kExponential:
        return Exponential(*series[0], span, n);
      case Method::kWeighted:
        return Window(*series[0], span, n, Weighted);
    }
  }
  if (name == "Cross")
    return Fill(span.first + 1, span.last, [&](int32_t i) {
      return value(0, i) > value(1, i) && value(0, i - 1) <= value(1, i - 1) ? 1.0 : 0.0;
    });
  if (name == "HHV") return Window(*series[0], span, periods(), Highest);
  if (name == "LLV") return Window(*series[0], span, periods(), Lowest);
  if (name == "Sum") return Window(*series[0], span, periods(), Total);
  if (name == "Abs")
    return Fill(span.first, span.last, [&](int32_t i) { return std::fabs(value(0, i)); });
  if (name == "Max")
    return Fill(span.first, span.last,
                [&](int32_t i) { return std::max(value(0, i), value(1, i)); });
  return Fill(span.first, span.last, [&](int32_t i) { return std::min(value(0, i), value(1, i)); });
}

HostArray ApplyOperator(std::string_view op, const std::vector<const HostArray*>& operands,
                        int32_t bars) {
  const std::span<const float> a = operands[0]->values();
  const std::span<const float> b = operands.back()->values();  // a unary operator's too
  double (*apply)(double, double) = nullptr;
  for (const OperatorRow& row : operands.size() == 1 ? std::span<const OperatorRow>(kUnary)
                                                     : std::span<const OperatorRow>(kBinary))
    if (row.op == op) apply = row.apply;
  const Span span = Common(operands, bars);
  return Fill(span.first, span.last, [&](int32_t i) {
    const auto k = static_cast<std::size_t>(i);
    return apply(a[k], b[k]);
  });
}

}  // namespace msxhost
