#include "exchange/ValuePattern.h"

#include "common/Fault.h"
#include "common/NumberText.h"

namespace msx {
namespace {

constexpr std::size_t kQuotedPatternLength = 31;
constexpr int32_t kMaxPrecision = 18;

std::string PatternFault(const char* before, std::string_view pattern, const char* after) {
  std::string text(before);
  text.append(pattern.substr(0, kQuotedPatternLength)).append(after);
  return text;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads decimal digits at pattern[i], saturating instead of overflowing.
int32_t ReadNumber(std::string_view pattern, std::size_t& i) {
  int64_t v = 0;
  while (i < pattern.size() && IsDigit(pattern[i])) {
    if (v <= kMaxFieldWidth * 1000LL) v = v * 10 + (pattern[i] - '0');
    ++i;
  }
  return static_cast<int32_t>(v > INT32_MAX ? INT32_MAX : v);
}

// Windows' currency layouts: "$" stands for the symbol, "1" for the number.
constexpr const char* kPositiveCurrency[4] = {"$1", "1$", "$ 1", "1 $"};
constexpr const char* kNegativeCurrency[16] = {"($1)", "-$1",  "$-1",   "$1-",  "(1$)", "-1$",
                                               "1-$",  "1$-",  "-1 $",  "-$ 1", "1 $-", "$ 1-",
                                               "$ -1", "1- $", "($ 1)", "(1 $)"};

}  // namespace

ValuePattern::ValuePattern(std::string_view pattern, const platform::LocaleFormats& locale)
    : locale_(locale) {
  const std::string invalid =
      PatternFault("Format '", pattern, "' invalid or incompatible with argument");
  int32_t next = 0;
  Segment current;
  std::size_t i = 0;
  while (i < pattern.size()) {
    const char c = pattern[i++];
    if (c != '%') {
      current.literal += c;
      continue;
    }
    if (i < pattern.size() && pattern[i] == '%') {
      current.literal += '%';
      ++i;
      continue;
    }
    Segment& s = current;
    s.hasSpecifier = true;
    int32_t index = next;
    if (i < pattern.size() && IsDigit(pattern[i])) {
      const std::size_t start = i;
      const int32_t number = ReadNumber(pattern, i);
      if (i < pattern.size() && pattern[i] == ':') {
        index = number;
        ++i;
      } else {
        i = start;  // it was the width
      }
    }
    if (i < pattern.size() && pattern[i] == '-') {
      s.leftAlign = true;
      ++i;
    }
    if (i < pattern.size() && IsDigit(pattern[i])) s.width = ReadNumber(pattern, i);
    if (i < pattern.size() && pattern[i] == '.') {
      ++i;
      s.precision = ReadNumber(pattern, i);  // "%.f" is precision 0
      if (s.precision > kMaxPrecision) s.precision = -1;
    }
    if (i >= pattern.size()) {  // "%" and nothing to say what to format
      fault_ = invalid;
      return;
    }
    if (index >= kPatternValues) {
      fault_ = PatternFault("No argument for format '", pattern, "'");
      return;
    }
    const char type = static_cast<char>(pattern[i] | 0x20);  // either case
    ++i;
    if ((type != 'e' && type != 'f' && type != 'g' && type != 'n' && type != 'm') ||
        s.width > kMaxFieldWidth) {
      fault_ = invalid;
      return;
    }
    s.type = type;
    s.index = index;
    next = index + 1;
    segments_.push_back(std::move(current));
    current = Segment();
  }
  if (!current.literal.empty()) segments_.push_back(std::move(current));
}

void ValuePattern::Append(std::string& out, const float (&values)[kPatternValues]) const {
  if (!fault_.empty()) RaiseFault(fault_.c_str());
  for (const Segment& s : segments_) {
    out.append(s.literal);
    if (!s.hasSpecifier) continue;
    if (s.width == 0) {
      AppendValue(out, s, values[s.index]);
      continue;
    }
    const std::size_t start = out.size();
    AppendValue(out, s, values[s.index]);
    const std::size_t length = out.size() - start;
    const auto width = static_cast<std::size_t>(s.width);
    if (length >= width) continue;
    if (s.leftAlign)
      out.append(width - length, ' ');
    else
      out.insert(start, width - length, ' ');
  }
}

void ValuePattern::AppendValue(std::string& out, const Segment& s, double v) const {
  switch (s.type) {
    case 'e':
      AppendScientific(out, v, s.precision < 0 ? 15 : s.precision);
      break;
    case 'f':
      AppendFixed(out, v, s.precision < 0 ? 2 : s.precision, {});
      break;
    case 'g':
      AppendGeneral(out, v, s.precision < 1 ? 15 : s.precision, 3);
      break;
    case 'n':
      AppendFixed(out, v, s.precision < 0 ? 2 : s.precision, locale_.thousandSeparator);
      break;
    case 'm': {
      if (AppendNonFinite(out, v)) break;
      int32_t decimals = s.precision < 0 ? locale_.currencyDecimals : s.precision;
      if (decimals < 0 || decimals > kMaxPrecision) decimals = 2;
      std::string number;
      AppendFixed(number, v < 0 ? -v : v, decimals, locale_.thousandSeparator);
      const bool negative = v < 0 && number.find_first_of("123456789") != std::string::npos;
      const int32_t positiveFormat = locale_.currencyFormat;
      const int32_t negativeFormat = locale_.negativeCurrencyFormat;
      const char* layout =
          negative
              ? kNegativeCurrency[negativeFormat >= 0 && negativeFormat < 16 ? negativeFormat : 1]
              : kPositiveCurrency[positiveFormat >= 0 && positiveFormat < 4 ? positiveFormat : 0];
      for (const char* p = layout; *p != '\0'; ++p) {
        if (*p == '$')
          out.append(locale_.currencySymbol);
        else if (*p == '1')
          out.append(number);
        else
          out += *p;
      }
      break;
    }
    default:
      break;
  }
}

}  // namespace msx
