// Text helpers of the formula tester. Case mapping is plain ASCII and number
// text goes through std::to_chars / std::from_chars, so nothing here depends
// on the locale.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace msxhost {

// The texts one after the other, built in one string. Use it rather than
// starting a chain of "+" with a literal and a temporary string, which GCC 12
// misreads as an overlapping copy (-Wrestrict).
template <typename... Parts>
std::string Cat(const Parts&... parts) {
  std::string out;
  (out.append(std::string_view(parts)), ...);
  return out;
}

std::string ToLower(std::string_view text);
std::string ToUpper(std::string_view text);
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

// The text without leading and trailing blanks and tabs.
std::string_view TrimBlanks(std::string_view text);

// The text of a fixed host field: up to the first NUL, at most `size` bytes
// (a field the library left without NUL is cut at its end).
std::string FieldText(const char* field, std::size_t size);

// The shortest text that reads back as the same float ("100.34", "nan").
std::string FormatFloat(float value);

// Fixed notation with the given number of decimals ("12.50"); -0 prints as 0.
std::string FormatFixed(double value, int decimals);

std::string FormatInt(int64_t value);

// A host date YYYYMMDD as "YYYY-MM-DD".
std::string FormatDate(int32_t date);

// A host time (HHMMSS followed by one more digit) as six digits "HHMMSS".
std::string FormatTime(int32_t hostTime);

// The whole text as a float: optional sign, digits, fraction, exponent, or
// "nan" / "inf". Empty when the text is not such a number or out of range.
std::optional<float> ParseFloat(std::string_view text);

// The whole text as a 32-bit integer with an optional sign.
std::optional<int32_t> ParseInt(std::string_view text);

// The lines of a text, without their "\n" or "\r\n"; line N of the file is
// element N - 1. A final line end adds no empty line.
std::vector<std::string_view> SplitLines(std::string_view text);

}  // namespace msxhost
