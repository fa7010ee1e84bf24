#include "exchange/DataFileText.h"

#include <cstring>

#include "common/Fault.h"
#include "common/NumberText.h"

namespace msx {

std::string ExpandDataFileName(std::string_view fileTemplate, std::string_view symbol,
                               std::string_view periodText) {
  std::string name;
  name.reserve(fileTemplate.size() + symbol.size() + periodText.size());
  for (std::size_t i = 0; i < fileTemplate.size(); ++i) {
    const char c = fileTemplate[i];
    if (c != '%') {
      name += c;
      continue;
    }
    if (++i == fileTemplate.size()) break;  // "%" at the end gives nothing
    switch (fileTemplate[i]) {
      case '%':
        name += '%';
        break;
      case 'P':
        name.append(periodText);
        break;
      case 'S':
        name.append(symbol);
        break;
      default:
        break;  // both characters are dropped
    }
  }
  return name.empty() ? std::string(fileTemplate) : name;
}

std::string ReaderPeriodText(const HostDataRecord& data) {
  return PeriodLetter(data) == 'I' ? PeriodTag(data) : "D";
}

std::string_view SymbolText(const HostDataRecord& data) {
  return data.symbol == nullptr ? std::string_view() : std::string_view(data.symbol);
}

namespace {
constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Exactly `width` digits of a v in 0 to 10^width - 1, two at a time.
char* PutFixedDigits(char* p, int32_t v, int32_t width) {
  int32_t k = width;
  for (; k >= 2; k -= 2) {
    std::memcpy(p + k - 2, kDigitPairs + 2 * (v % 100), 2);
    v /= 100;
  }
  if (k == 1) p[0] = static_cast<char>('0' + v);
  return p + width;
}
}  // namespace

char* PutBasicDateTime(char* p, int32_t date, int32_t time) {
  // Every real date and time has exactly 8 and 7 digits at most: the common
  // case without a general conversion.
  p = date >= 0 && date <= 99999999 ? PutFixedDigits(p, date, 8) : PutPaddedInt(p, date, 8);
  *p++ = ',';
  return time >= 0 && time <= 9999999 ? PutFixedDigits(p, time, 7) : PutPaddedInt(p, time, 7);
}

void AppendBasicDateTime(std::string& out, int32_t date, int32_t time) {
  char buffer[kBasicDateTimeCapacity];
  out.append(buffer, PutBasicDateTime(buffer, date, time));
}

void DataLines::Clear() {
  lines_.clear();
  text_.clear();
}

void DataLines::Assign(std::string&& text) {
  lines_.clear();
  text_ = std::move(text);
  const std::size_t nul = text_.find('\0');
  if (nul != std::string::npos) text_.resize(nul);
  const char* p = text_.data();
  const char* end = p + text_.size();
  lines_.reserve(text_.size() / 24 + 1);  // about a line of a writer's file
  const char* lf = nullptr;               // the next LF at or after p, or end; kept across lone CRs
  while (p < end) {
    if (lf == nullptr || lf < p) {
      lf = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
      if (lf == nullptr) lf = end;
    }
    const auto* cr =
        static_cast<const char*>(std::memchr(p, '\r', static_cast<std::size_t>(lf - p)));
    if (cr == nullptr) {  // the line ends at a lone LF or at the end of the text
      lines_.emplace_back(p, static_cast<std::size_t>(lf - p));
      p = lf + 1;
    } else {  // at CR LF or at a lone CR
      lines_.emplace_back(p, static_cast<std::size_t>(cr - p));
      p = cr + (cr + 1 == lf ? 2 : 1);
    }
  }
}

}  // namespace msx
