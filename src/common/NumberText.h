// Number text: of the data files, of the value patterns, of the trade rows
// and of the order lines. Locale-free: the decimal point is always "." and
// digits come from std::to_chars, correctly rounded from the binary value.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace msx {

inline constexpr int32_t kMaxPaddedDigits = 24;

// v as a decimal integer of at least minDigits digits (at most
// kMaxPaddedDigits), zero-padded on the left after the sign ("%.8d" is
// minDigits 8).
void AppendPaddedInt(std::string& out, int64_t v, int32_t minDigits);

// A time of day, two digits each: "09:05:03" with the separator ":".
void AppendTimeOfDay(std::string& out, int32_t hour, int32_t minute, int32_t second,
                     std::string_view separator);

// The same into a buffer with room for minDigits + 21 characters; returns
// the end of the text.
char* PutPaddedInt(char* p, int64_t v, int32_t minDigits);

// "INF" or "NAN", with a leading "-" when the sign bit is set. False (and
// nothing appended) for a finite value.
bool AppendNonFinite(std::string& out, double v);

// General format: v rounded to `precision` significant digits, trailing
// zeros dropped. With E the exponent of v = 0.d1d2... x 10^E, scientific
// notation when E > precision or E < -3: d1, "." and the other digits if
// any, "E", then E - 1 with "-" when negative and at least minExponentDigits
// digits; otherwise fixed notation without trailing zeros or point. Zero is
// "0".
void AppendGeneral(std::string& out, double v, int32_t precision, int32_t minExponentDigits);

// The data files' ValueText: general format with 6 significant digits.
inline constexpr int32_t kValueTextDigits = 6;
inline constexpr std::size_t kValueTextCapacity = 24;  // "-1.23457E-38" and the like
void AppendValueText(std::string& out, float v);

// The same into a buffer of kValueTextCapacity characters; returns the end.
char* PutValueText(char* p, float v);

// Scientific: `precision` significant digits (trailing zeros kept), "E", the
// exponent's sign and at least three exponent digits ("1.50E+003").
void AppendScientific(std::string& out, double v, int32_t precision);

// Fixed notation with `decimals` decimals; the integer digits grouped by
// three with `thousandSeparator` (empty: no grouping). A result of only
// zeros carries no minus sign.
void AppendFixed(std::string& out, double v, int32_t decimals, std::string_view thousandSeparator);

// The C library's "%.*f": fixed notation with `decimals` decimals, the sign
// of a negative value kept even when its digits are all zeros ("-0.0000"),
// and "inf", "-inf", "nan" or "-nan" for a value that is not finite.
void AppendPrintfFixed(std::string& out, double v, int32_t decimals);

}  // namespace msx
