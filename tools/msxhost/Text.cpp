#include "Text.h"

#include <vector>

#include <charconv>
#include <system_error>

namespace msxhost {
namespace {

char LowerChar(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
char UpperChar(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Digits of a non-negative number, padded with zeros on the left to `width`.
std::string Padded(int64_t value, std::size_t width) {
  std::string digits = FormatInt(value);
  if (digits.size() < width) digits.insert(0, width - digits.size(), '0');
  return digits;
}

}  // namespace

std::string ToLower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = LowerChar(c);
  return out;
}

std::string ToUpper(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = UpperChar(c);
  return out;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (LowerChar(a[i]) != LowerChar(b[i])) return false;
  return true;
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

std::string FieldText(const char* field, std::size_t size) {
  std::size_t n = 0;
  while (n < size && field[n] != '\0') ++n;
  return std::string(field, n);
}

std::string FormatFloat(float value) {
  char buffer[64];
  const std::to_chars_result r = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, r.ptr);
}

std::string FormatFixed(double value, int decimals) {
  if (value == 0) value = 0;  // no "-0.00"
  char buffer[512];
  const std::to_chars_result r =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
  if (r.ec != std::errc()) return "0";
  std::string text(buffer, r.ptr);
  // A small negative value may still round to zero digits: "-0.0".
  if (text.front() == '-' && text.find_first_not_of("-0.") == std::string::npos) text.erase(0, 1);
  return text;
}

std::string FormatInt(int64_t value) {
  char buffer[32];
  const std::to_chars_result r = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, r.ptr);
}

std::string FormatDate(int32_t date) {
  if (date < 0) return FormatInt(date);
  return Padded(date / 10000, 4) + "-" + Padded(date / 100 % 100, 2) + "-" + Padded(date % 100, 2);
}

std::string FormatTime(int32_t hostTime) {
  if (hostTime < 0) return FormatInt(hostTime);
  return Padded(hostTime / 10, 6);
}

namespace {

// A whole text as one number of type T, locale-independent; a leading "+"
// is taken as std::from_chars does not.
template <class T>
std::optional<T> ParseNumber(std::string_view text) {
  if (text.size() > 1 && text.front() == '+' && text[1] != '-' && text[1] != '+')
    text.remove_prefix(1);
  if (text.empty()) return std::nullopt;
  T value{};
  const std::from_chars_result r = std::from_chars(text.data(), text.data() + text.size(), value);
  if (r.ec != std::errc() || r.ptr != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace

std::optional<float> ParseFloat(std::string_view text) { return ParseNumber<float>(text); }

std::optional<int32_t> ParseInt(std::string_view text) { return ParseNumber<int32_t>(text); }

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

}  // namespace msxhost
