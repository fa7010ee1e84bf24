// TradeQuik's order line from any template and any field values: bounded
// by what the placeholders can add, a template read piece by piece gives
// the pieces' lines, any text with its percent signs doubled gives itself,
// and the price is "0.###" within half a thousandth of the order's price.
#include <algorithm>
#include <charconv>
#include <cmath>

#include "FuzzInput.h"
#include "trading/MSX_QMR_TradeQUIK.h"

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// "0.###": an optional minus, digits, and up to three decimals of which
// the last is not 0; never "-0".
bool IsOrderPrice(std::string_view s) {
  if (s == "-0") return false;
  std::size_t i = s.rfind('-', 0) == 0 ? 1 : 0;
  const std::size_t digits = i;
  while (i < s.size() && IsDigit(s[i])) ++i;
  if (i == digits) return false;
  if (i == s.size()) return true;
  if (s[i] != '.') return false;
  const std::size_t decimals = s.size() - i - 1;
  return decimals >= 1 && decimals <= 3 && s.back() != '0' &&
         std::all_of(s.begin() + static_cast<std::ptrdiff_t>(i) + 1, s.end(), IsDigit);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::vector<std::string_view> parts = fuzz::Parts(data, size, 6);
  std::string_view raw = parts[5];
  msx::OrderFields fields{};
  fields.account = std::string(parts[1]);
  fields.clientCode = std::string(parts[2]);
  fields.classCode = std::string(parts[3]);
  fields.secCode = std::string(parts[4]);
  fields.transId = fuzz::Take<int32_t>(raw);
  fields.orderType = fuzz::Take<int32_t>(raw);
  fields.direction = fuzz::Take<int32_t>(raw);
  fields.quantity = fuzz::Take<int32_t>(raw);
  fields.price = fuzz::Take<double>(raw);
  const std::string templateText(parts[0]);
  const auto shown = [&] { return fuzz::Printable(templateText); };

  const std::string price = msx::FormatOrderPrice(fields.price);
  if (std::isfinite(fields.price)) {
    if (!IsOrderPrice(price)) fuzz::Fail("the price text " + price + " is not 0.###");
    double back = 0;
    std::from_chars(price.data(), price.data() + price.size(), back);
    if (std::fabs(back - fields.price) > 0.0005 + std::fabs(fields.price) * 4e-16)
      fuzz::Fail("the price text " + price + " is not the price rounded to a thousandth");
  }

  const std::string line = msx::ExpandOrderTemplate(templateText, fields);
  const std::size_t longest =
      std::max({fields.account.size(), fields.clientCode.size(), fields.classCode.size(),
                fields.secCode.size(), price.size(), std::size_t{11}});
  const auto percents =
      static_cast<std::size_t>(std::count(templateText.begin(), templateText.end(), '%'));
  if (line.size() > templateText.size() + percents * longest)
    fuzz::Fail("the line is longer than the placeholders allow: " + shown());

  // Cut the template where a piece ends (a percent sign and the character
  // after it are one piece) nearest its middle.
  std::size_t cut = 0;
  while (cut < templateText.size() / 2) cut += templateText[cut] == '%' ? 2 : 1;
  cut = std::min(cut, templateText.size());
  if (msx::ExpandOrderTemplate(templateText.substr(0, cut), fields) +
          msx::ExpandOrderTemplate(templateText.substr(cut), fields) !=
      line)
    fuzz::Fail("the two halves give another line than the whole: " + shown());

  std::string escaped;
  for (const char c : templateText) escaped.append(c == '%' ? 2 : 1, c);
  if (msx::ExpandOrderTemplate(escaped, fields) != templateText)
    fuzz::Fail("doubled percent signs do not give the text back: " + shown());
  return 0;
}
