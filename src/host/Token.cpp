#include "host/Token.h"

#include <algorithm>
#include <cstring>

namespace msx {
namespace {

// The field beginning at start (at most text.size()); moves start past its
// delimiter. The text is read as if one more delimiter closed it, so after
// the last field start is beyond text.size().
std::string_view NextField(std::string_view text, std::size_t& start, char delimiter) {
  const std::size_t end = std::min(text.find(delimiter, start), text.size());
  const std::string_view field(text.data() + start, end - start);
  start = end + 1;
  return field;
}

}  // namespace

std::string_view TokenView(std::string_view text, int32_t n, char delimiter) {
  if (n < 1) return {};
  std::size_t start = 0;
  std::string_view field;
  for (int32_t k = 1; k <= n; ++k) {
    if (start > text.size()) return {};  // ran past the closing delimiter
    field = NextField(text, start, delimiter);
  }
  return field;
}

void LeadingTokens(std::string_view text, char delimiter, std::span<std::string_view> fields) {
  std::size_t start = 0;
  for (std::string_view& field : fields)
    field = start > text.size() ? std::string_view() : NextField(text, start, delimiter);
}

std::string Token(std::string_view text, int32_t n, char delimiter) {
  return std::string(TokenView(text, n, delimiter));
}

void CopyText(char* field, std::size_t capacity, const char* text) noexcept {
  if (capacity == 0) return;
  const std::size_t n = text == nullptr ? 0 : strnlen(text, capacity - 1);
  if (n > 0) std::memcpy(field, text, n);
  field[n] = '\0';
}

}  // namespace msx
