// Token, TokenView and LeadingTokens over any text, delimiter and field
// number: fields are views into the text without the delimiter, there is one
// more field than delimiters, the fields joined again give the text back,
// and the three calls agree.
#include <algorithm>
#include <vector>

#include "FuzzInput.h"
#include "host/Token.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const char delimiter = static_cast<char>(data[0]);
  const auto n = static_cast<int32_t>(static_cast<int8_t>(data[1]));  // -128 to 127
  const std::string_view text(reinterpret_cast<const char*>(data + 2), size - 2);
  const auto count =
      static_cast<int32_t>(std::count(text.begin(), text.end(), delimiter)) + 1;  // fields
  const auto shown = [&] { return fuzz::Printable(text); };

  // All fields and two beyond the last, in one pass.
  std::vector<std::string_view> fields(static_cast<std::size_t>(count) + 2, "unset");
  msx::LeadingTokens(text, delimiter, fields);
  std::string joined;
  for (int32_t k = 1; k <= count + 2; ++k) {
    const std::string_view field = fields[static_cast<std::size_t>(k - 1)];
    if (k > count) {
      if (!field.empty()) fuzz::Fail("a field beyond the last is not empty: " + shown());
      continue;
    }
    if (!field.empty() &&
        (field.data() < text.data() || field.data() + field.size() > text.data() + text.size()))
      fuzz::Fail("field " + std::to_string(k) + " lies outside the text " + shown());
    if (field.find(delimiter) != std::string_view::npos)
      fuzz::Fail("field " + std::to_string(k) + " holds the delimiter: " + shown());
    if (k > 1) joined += delimiter;
    joined.append(field);
  }
  if (joined != text) fuzz::Fail("the fields joined are not the text " + shown());

  // Single fields: the n-th (any number, below 1 included), the first, the
  // last and the one after it.
  for (const int32_t k : {n, 1, count, count + 1}) {
    const std::string_view view = msx::TokenView(text, k, delimiter);
    const std::string_view expected =
        k >= 1 && k <= count ? fields[static_cast<std::size_t>(k - 1)] : std::string_view();
    if (view != expected || (!view.empty() && view.data() != expected.data()))
      fuzz::Fail("TokenView of field " + std::to_string(k) + " differs from LeadingTokens in " +
                 shown());
    if (msx::Token(text, k, delimiter) != view)
      fuzz::Fail("Token and TokenView differ on field " + std::to_string(k) + " of " + shown());
  }
  return 0;
}
