#include "exchange/NumberText.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace msx {
namespace {

// The digits and decimal exponent of v rounded to `digits` significant
// digits: v = 0.d1d2... x 10^exponent. Sign ignored; v finite and not zero.
struct Decimal {
  char digits[24];
  int32_t count;
  int32_t exponent;
};

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
  int32_t e = 0;
  std::from_chars(p + 1 + (p[1] == '+' ? 1 : 0), r.ptr, e);
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

void AppendPaddedInt(std::string& out, int64_t v, int32_t minDigits) {
  char buffer[24];
  const auto r = std::to_chars(buffer, buffer + sizeof buffer, v);
  const char* digits = buffer;
  if (*digits == '-') {
    out += '-';
    ++digits;
  }
  const int32_t n = static_cast<int32_t>(r.ptr - digits);
  if (n < minDigits) out.append(static_cast<std::size_t>(minDigits - n), '0');
  out.append(digits, static_cast<std::size_t>(r.ptr - digits));
}

bool AppendNonFinite(std::string& out, double v) {
  if (std::isfinite(v)) return false;
  if (std::signbit(v)) out += '-';
  out += std::isnan(v) ? "NAN" : "INF";
  return true;
}

void AppendGeneral(std::string& out, double v, int32_t precision, int32_t minExponentDigits) {
  if (AppendNonFinite(out, v)) return;
  if (v == 0) {
    out += '0';
    return;
  }
  Decimal d = ToDecimal(v, precision);
  while (d.count > 1 && d.digits[d.count - 1] == '0') --d.count;
  if (v < 0) out += '-';
  const int32_t e = d.exponent;
  if (e > precision || e < -3) {
    out += d.digits[0];
    if (d.count > 1) {
      out += '.';
      out.append(d.digits + 1, static_cast<std::size_t>(d.count - 1));
    }
    AppendExponent(out, e - 1, false, minExponentDigits);
  } else if (e <= 0) {
    out += "0.";
    out.append(static_cast<std::size_t>(-e), '0');
    out.append(d.digits, static_cast<std::size_t>(d.count));
  } else if (d.count <= e) {
    out.append(d.digits, static_cast<std::size_t>(d.count));
    out.append(static_cast<std::size_t>(e - d.count), '0');
  } else {
    out.append(d.digits, static_cast<std::size_t>(e));
    out += '.';
    out.append(d.digits + e, static_cast<std::size_t>(d.count - e));
  }
}

void AppendValueText(std::string& out, float v) { AppendGeneral(out, v, 6, 0); }

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

void AppendFixed(std::string& out, double v, int32_t decimals, std::string_view thousandSeparator) {
  if (AppendNonFinite(out, v)) return;
  // A float widened to double has at most 39 integer digits; 18 decimals at most.
  char buffer[96];
  const auto r = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(v),
                               std::chars_format::fixed, decimals);
  const std::string_view text(buffer, static_cast<std::size_t>(r.ptr - buffer));
  if (v < 0 && text.find_first_of("123456789") != std::string_view::npos) out += '-';
  const std::size_t point = text.find('.');
  AppendGrouped(out, text.substr(0, point), thousandSeparator);
  if (point != std::string_view::npos) out.append(text.substr(point));
}

}  // namespace msx
