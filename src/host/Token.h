// The host interface's text routines: field extraction from delimited text,
// and the copy into a fixed host text field.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace msx {

// The n-th field of text (counted from 1), fields separated by delimiter. The
// text is read as if one more delimiter closed it, so the last field counts
// too; empty fields count. A field number below 1 or beyond the last field
// gives the empty text, which callers use to detect a missing entry.
// Example: field 3 of "a,b,,c" is empty, field 4 is "c".
std::string Token(std::string_view text, int32_t n, char delimiter);

// The same field as a view into text, for callers that only look at it.
std::string_view TokenView(std::string_view text, int32_t n, char delimiter);

// Fields 1 to fields.size() in one pass: fields[k] is TokenView(text, k + 1,
// delimiter).
void LeadingTokens(std::string_view text, char delimiter, std::span<std::string_view> fields);

// Copies text (null: the empty text) into a fixed text field of capacity
// bytes, cut to capacity - 1 characters and ended with NUL; never allocates.
void CopyText(char* field, std::size_t capacity, const char* text) noexcept;
template <std::size_t N>
void CopyText(char (&field)[N], const char* text) noexcept {
  CopyText(field, N, text);
}

}  // namespace msx
