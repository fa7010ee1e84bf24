// WriteDataEx's value pattern over any pattern, locale separators and
// currency layouts, and values: a pattern either formats every bar or
// fails every bar with its one fault, whose message the host shows whole;
// the text stays within what the widths and the numbers can give; and on
// the values themselves: "%.9g" and "%.17e" read back exactly, "%n" is
// "%f" with the thousands grouped, widths pad on the side they say, and
// the data files' value text is the general format with six digits.
#include <algorithm>
#include <charconv>
#include <cmath>

#include "FuzzInput.h"
#include "common/Fault.h"
#include "common/NumberText.h"
#include "exchange/ValuePattern.h"

namespace {

using Values = float[msx::kPatternValues];

std::string Format(std::string_view pattern, const msx::platform::LocaleFormats& locale,
                   const Values& values) {
  const msx::ValuePattern p(pattern, locale);
  std::string out;
  p.Append(out, values);
  return out;
}

double Parse(const std::string& text) {
  double d = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), d);
  if (ec != std::errc{} || end != text.data() + text.size())
    fuzz::Fail("the number text " + text + " does not read back");
  return d;
}

std::string Without(std::string text, std::string_view separator) {
  if (separator.empty()) return text;
  for (std::size_t at; (at = text.find(separator)) != std::string::npos;)
    text.erase(at, separator.size());
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::vector<std::string_view> parts = fuzz::Parts(data, size, 4);
  const std::string_view pattern = parts[0];
  msx::platform::LocaleFormats locale;
  locale.thousandSeparator = std::string(parts[1]);
  locale.currencySymbol = std::string(parts[2]);
  std::string_view raw = parts[3];
  locale.currencyFormat = fuzz::Take<int8_t>(raw);
  locale.negativeCurrencyFormat = fuzz::Take<int8_t>(raw);
  locale.currencyDecimals = fuzz::Take<int8_t>(raw);
  Values values = {1.5f, -2.25f, 0.0f, 1234567.0f, -1e-7f, 3.4e38f, NAN};
  for (float& v : values)
    if (raw.size() >= sizeof(float)) v = fuzz::Take<float>(raw);
  const auto shown = [&] { return fuzz::Printable(pattern); };

  // The pattern as the user wrote it.
  const msx::ValuePattern p(pattern, locale);
  const std::string fault = p.fault();
  if (fault.size() > 99) fuzz::Fail("the fault's message does not fit the host's text: " + fault);
  if (!fault.empty() && fault.rfind("Format '", 0) != 0 && fault.rfind("No argument", 0) != 0)
    fuzz::Fail("an unknown fault: " + fault);
  std::string out = "prefix";
  try {
    p.Append(out, values);
    if (!fault.empty()) fuzz::Fail("a faulty pattern formats a bar: " + shown());
  } catch (const msx::Fault& f) {
    if (fault != f.what()) fuzz::Fail("a bar fails with another fault: " + std::string(f.what()));
  }
  if (out.rfind("prefix", 0) != 0) fuzz::Fail("the line's start changed: " + shown());
  // A specifier takes at least two characters of the pattern and gives at
  // most its width or a number: 39 integer digits grouped, 18 decimals, a
  // sign, the currency symbol and its layout's brackets and blanks.
  const std::size_t number =
      64 + 13 * locale.thousandSeparator.size() + locale.currencySymbol.size();
  const std::size_t perSpecifier = std::max<std::size_t>(msx::kMaxFieldWidth, number);
  if (out.size() - 6 > pattern.size() + pattern.size() / 2 * perSpecifier)
    fuzz::Fail("the text is longer than the widths and numbers allow: " + shown());

  // The values through fixed patterns.
  const bool plainSeparator =
      locale.thousandSeparator.find_first_of("0123456789.-INFA") == std::string::npos;
  for (int k = 0; k < msx::kPatternValues; ++k) {
    const float v = values[k];
    const std::string index = std::to_string(k) + ":";
    const std::string g9 = Format("%" + index + ".9g", locale, values);
    const std::string e17 = Format("%" + index + ".17e", locale, values);
    const std::string f = Format("%" + index + "f", locale, values);
    if (std::isfinite(v)) {
      if (static_cast<float>(Parse(g9)) != v)
        fuzz::Fail("%.9g does not read back as the float: " + g9);
      if (Parse(e17) != static_cast<double>(v))
        fuzz::Fail("%.17e does not read back as the value: " + e17);
    }
    if (plainSeparator &&
        Without(Format("%" + index + "n", locale, values), locale.thousandSeparator) != f)
      fuzz::Fail("%n is not %f grouped: " + f);
    const std::string right = Format("%" + index + "40f", locale, values);
    const std::string left = Format("%" + index + "-40f", locale, values);
    const std::size_t pad = f.size() < 40 ? 40 - f.size() : 0;
    if (right != std::string(pad, ' ') + f || left != f + std::string(pad, ' '))
      fuzz::Fail("a width does not pad " + f + " to 40 characters");

    std::string valueText;
    std::string general;
    msx::AppendValueText(valueText, v);
    msx::AppendGeneral(general, v, msx::kValueTextDigits, 0);
    if (valueText != general || valueText.size() > msx::kValueTextCapacity)
      fuzz::Fail("the value text " + valueText + " is not the general format " + general);
  }
  return 0;
}
