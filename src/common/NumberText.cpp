#include "common/NumberText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

namespace msx {
namespace {

// The exponent of to_chars' scientific text: "e+06", "e-123".
int32_t ExponentOf(const char* e, const char* end) {
  const bool negative = e[1] == '-';
  int32_t v = 0;
  for (const char* p = e + 2; p < end; ++p) v = v * 10 + (*p - '0');
  return negative ? -v : v;
}

// The digits and decimal exponent of v rounded to `digits` significant
// digits: v = 0.d1d2... x 10^exponent. Sign ignored; v finite and not zero.
struct Decimal {
  char digits[24];
  int32_t count;
  int32_t exponent;
};

// The float rounded to `digits` (at most 6) significant digits, from the
// digits of its shortest text that reads back as the float, which are far
// cheaper to get than an exact rounding. That text is the nearest to the
// float of all the shortest texts that read back, and a normal float lies
// within half its step of it. With up to `digits` digits the text is the
// rounding itself (the step is far finer than one unit of the sixth digit).
// With more, no halfway point between two roundings (a seven-digit decimal
// ending in 5) lies between the float and its text: it would read back too
// and be nearer, or shorter. So rounding the text rounds the float, unless
// the text is such a halfway point itself: then false, for the exact way.
bool RoundedShortestDecimal(float v, int32_t digits, Decimal& d) {
  char buffer[32];
  const auto r =
      std::to_chars(buffer, buffer + sizeof buffer, std::fabs(v), std::chars_format::scientific);
  d.count = 0;
  const char* p = buffer;
  for (; p < r.ptr && *p != 'e'; ++p)
    if (*p != '.') d.digits[d.count++] = *p;
  const int32_t e = ExponentOf(p, r.ptr);
  d.exponent = e + 1;
  if (d.count <= digits) return true;
  if (d.count == digits + 1 && d.digits[digits] == '5') return false;
  const bool up = d.digits[digits] >= '5';
  d.count = digits;
  if (up) {
    int32_t k = digits - 1;
    while (k >= 0 && d.digits[k] == '9') d.digits[k--] = '0';
    if (k >= 0) {
      ++d.digits[k];
    } else {  // 999999.5 -> 1000000
      d.digits[0] = '1';
      d.count = 1;
      ++d.exponent;
    }
  }
  return true;
}

Decimal ToDecimal(double v, int32_t digits) {
  if (digits < 1) digits = 1;
  if (digits > 18) digits = 18;
  char buffer[64];
  const auto r = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(v),
                               std::chars_format::scientific, digits - 1);
  Decimal d{};
  const char* p = buffer;
  for (; p < r.ptr && *p != 'e'; ++p)
    if (*p != '.') d.digits[d.count++] = *p;
  const int32_t e = ExponentOf(p, r.ptr);
  d.exponent = e + 1;
  return d;
}

void AppendExponent(std::string& out, int32_t e, bool plusSign, int32_t minDigits) {
  out += 'E';
  if (e < 0)
    out += '-';
  else if (plusSign)
    out += '+';
  AppendPaddedInt(out, e < 0 ? -int64_t{e} : e, minDigits);
}

void AppendGrouped(std::string& out, std::string_view digits, std::string_view separator) {
  if (separator.empty()) {
    out.append(digits);
    return;
  }
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out.append(separator);
    out += digits[i];
  }
}

}  // namespace

char* PutPaddedInt(char* p, int64_t v, int32_t minDigits) {
  char buffer[24];
  const auto r = std::to_chars(buffer, buffer + sizeof buffer, v);
  const char* digits = buffer;
  if (*digits == '-') {
    *p++ = '-';
    ++digits;
  }
  const int32_t n = static_cast<int32_t>(r.ptr - digits);
  for (int32_t k = n; k < minDigits; ++k) *p++ = '0';
  std::memcpy(p, digits, static_cast<std::size_t>(n));
  return p + n;
}

void AppendPaddedInt(std::string& out, int64_t v, int32_t minDigits) {
  if (minDigits > kMaxPaddedDigits) minDigits = kMaxPaddedDigits;
  char buffer[kMaxPaddedDigits + 24];
  out.append(buffer, PutPaddedInt(buffer, v, minDigits));
}

void AppendTimeOfDay(std::string& out, int32_t hour, int32_t minute, int32_t second,
                     std::string_view separator) {
  AppendPaddedInt(out, hour, 2);
  out.append(separator);
  AppendPaddedInt(out, minute, 2);
  out.append(separator);
  AppendPaddedInt(out, second, 2);
}

bool AppendNonFinite(std::string& out, double v) {
  if (std::isfinite(v)) return false;
  if (std::signbit(v)) out += '-';
  out += std::isnan(v) ? "NAN" : "INF";
  return true;
}

namespace {

// General format of a finite, non-zero value's decimal digits.
char* PutGeneralDigits(char* p, bool negative, Decimal& d, int32_t precision,
                       int32_t minExponentDigits) {
  while (d.count > 1 && d.digits[d.count - 1] == '0') --d.count;
  if (negative) *p++ = '-';
  const int32_t e = d.exponent;
  const auto put = [&p](const char* from, int32_t n) {
    std::memcpy(p, from, static_cast<std::size_t>(n));
    p += n;
  };
  if (e > precision || e < -3) {
    *p++ = d.digits[0];
    if (d.count > 1) {
      *p++ = '.';
      put(d.digits + 1, d.count - 1);
    }
    *p++ = 'E';
    if (e - 1 < 0) *p++ = '-';
    p = PutPaddedInt(p, e - 1 < 0 ? 1 - e : e - 1, minExponentDigits);
  } else if (e <= 0) {
    *p++ = '0';
    *p++ = '.';
    for (int32_t k = 0; k < -e; ++k) *p++ = '0';
    put(d.digits, d.count);
  } else if (d.count <= e) {
    put(d.digits, d.count);
    for (int32_t k = d.count; k < e; ++k) *p++ = '0';
  } else {
    put(d.digits, e);
    *p++ = '.';
    put(d.digits + e, d.count - e);
  }
  return p;
}

}  // namespace

char* PutValueText(char* p, float v) {
  if (!std::isfinite(v)) {
    std::string text;
    AppendNonFinite(text, v);
    std::memcpy(p, text.data(), text.size());
    return p + text.size();
  }
  if (v == 0) {
    *p++ = '0';
    return p;
  }
  // Denormal floats are too coarse for the shortcut.
  Decimal d;
  if (!std::isnormal(v) || !RoundedShortestDecimal(v, kValueTextDigits, d))
    d = ToDecimal(v, kValueTextDigits);
  return PutGeneralDigits(p, v < 0, d, kValueTextDigits, 0);
}

void AppendGeneral(std::string& out, double v, int32_t precision, int32_t minExponentDigits) {
  if (AppendNonFinite(out, v)) return;
  if (v == 0) {
    out += '0';
    return;
  }
  if (precision < 1) precision = 1;
  if (precision > 18) precision = 18;
  if (minExponentDigits > kMaxPaddedDigits) minExponentDigits = kMaxPaddedDigits;
  char buffer[96];
  Decimal d = ToDecimal(v, precision);
  out.append(buffer, PutGeneralDigits(buffer, v < 0, d, precision, minExponentDigits));
}

void AppendValueText(std::string& out, float v) {
  char buffer[kValueTextCapacity];
  out.append(buffer, PutValueText(buffer, v));
}

void AppendScientific(std::string& out, double v, int32_t precision) {
  if (AppendNonFinite(out, v)) return;
  if (std::signbit(v) && v != 0) out += '-';
  if (v == 0) {
    out += '0';
    if (precision > 1) out.append(".").append(static_cast<std::size_t>(precision - 1), '0');
    out += "E+000";
    return;
  }
  const Decimal d = ToDecimal(v, precision);
  out += d.digits[0];
  if (d.count > 1) {
    out += '.';
    out.append(d.digits + 1, static_cast<std::size_t>(d.count - 1));
  }
  AppendExponent(out, d.exponent - 1, true, 3);
}

namespace {

// Fixed notation of v with `decimals` decimals (at most 18). A double has at
// most 309 integer digits.
constexpr std::size_t kFixedCapacity = 309 + 2 + 18 + 1;
std::string_view FixedText(char (&buffer)[kFixedCapacity], double v, int32_t decimals) {
  decimals = std::clamp(decimals, 0, 18);
  const auto r = std::to_chars(buffer, buffer + kFixedCapacity, v, std::chars_format::fixed,
                               decimals);
  return {buffer, static_cast<std::size_t>(r.ptr - buffer)};
}

}  // namespace

void AppendFixed(std::string& out, double v, int32_t decimals, std::string_view thousandSeparator) {
  if (AppendNonFinite(out, v)) return;
  char buffer[kFixedCapacity];
  const std::string_view text = FixedText(buffer, std::fabs(v), decimals);
  if (v < 0 && text.find_first_of("123456789") != std::string_view::npos) out += '-';
  const std::size_t point = text.find('.');
  AppendGrouped(out, text.substr(0, point), thousandSeparator);
  if (point != std::string_view::npos) out.append(text.substr(point));
}

void AppendPrintfFixed(std::string& out, double v, int32_t decimals) {
  char buffer[kFixedCapacity];
  out.append(FixedText(buffer, v, decimals));
}

}  // namespace msx
