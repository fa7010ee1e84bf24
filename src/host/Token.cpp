#include "host/Token.h"

namespace msx {

std::string_view TokenView(std::string_view text, int32_t n, char delimiter) {
  if (n < 1) return {};
  // Walk the fields in place instead of building text + delimiter: the
  // virtual closing delimiter sits at text.size().
  std::size_t start = 0;
  for (int32_t field = 1; field < n; ++field) {
    const std::size_t d = text.find(delimiter, start);
    if (d == std::string_view::npos) return {};  // ran past the closing delimiter
    start = d + 1;
  }
  if (start > text.size()) return {};
  const std::size_t end = text.find(delimiter, start);
  return text.substr(start, end == std::string_view::npos ? text.size() - start : end - start);
}

std::string Token(std::string_view text, int32_t n, char delimiter) {
  return std::string(TokenView(text, n, delimiter));
}

}  // namespace msx
