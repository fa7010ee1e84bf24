// The data file's name from a template, a symbol and a period text: bounded
// by what the placeholders can add, a template read piece by piece expands
// to the pieces' expansions, an empty expansion gives the template back, and
// any text with its percent signs doubled expands to itself.
#include <algorithm>

#include "FuzzInput.h"
#include "exchange/DataFileText.h"

namespace {

// The expansion without the fallback to the template: a leading letter
// keeps it from being empty.
std::string Raw(std::string_view fileTemplate, std::string_view symbol, std::string_view period) {
  return msx::ExpandDataFileName("x" + std::string(fileTemplate), symbol, period).substr(1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::vector<std::string_view> parts = fuzz::Parts(data, size, 3);
  const std::string_view fileTemplate = parts[0];
  const std::string_view symbol = parts[1];
  const std::string_view period = parts[2];
  const auto shown = [&] {
    return fuzz::Printable(fileTemplate) + " with " + fuzz::Printable(symbol) + " and " +
           fuzz::Printable(period);
  };

  const std::string name = msx::ExpandDataFileName(fileTemplate, symbol, period);
  const auto percents =
      static_cast<std::size_t>(std::count(fileTemplate.begin(), fileTemplate.end(), '%'));
  if (name.size() > fileTemplate.size() + percents * std::max(symbol.size(), period.size()))
    fuzz::Fail("the name is longer than the placeholders allow: " + shown());

  const std::string raw = Raw(fileTemplate, symbol, period);
  if (name != (raw.empty() ? std::string(fileTemplate) : raw))
    fuzz::Fail("an empty expansion does not give the template: " + shown());

  // Cut the template where a piece ends (a percent sign and the character
  // after it are one piece) nearest its middle.
  std::size_t cut = 0;
  while (cut < fileTemplate.size() / 2) cut += fileTemplate[cut] == '%' ? 2 : 1;
  cut = std::min(cut, fileTemplate.size());
  if (Raw(fileTemplate.substr(0, cut), symbol, period) +
          Raw(fileTemplate.substr(cut), symbol, period) !=
      raw)
    fuzz::Fail("the two halves expand otherwise than the whole: " + shown());

  // The template as plain text: every percent sign doubled.
  if (!fileTemplate.empty()) {
    std::string escaped;
    for (const char c : fileTemplate) escaped.append(c == '%' ? 2 : 1, c);
    if (msx::ExpandDataFileName(escaped, symbol, period) != fileTemplate)
      fuzz::Fail("doubled percent signs do not give the text back: " + shown());
  }
  return 0;
}
