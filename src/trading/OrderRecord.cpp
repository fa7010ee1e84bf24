#include "trading/OrderRecord.h"

#include <charconv>
#include <string_view>
#include <vector>

#include "common/MSX_QMR_CommonFunc.h"
#include "platform/Platform.h"

namespace msx {

// The line ends in a "|" of the record's own: the profile rules drop blanks
// at the end of a value, and the line must come back as it was written. A
// record without a target ends in that "|", so one with a target (a number
// after the last "|") is told apart whatever the line holds.
std::string RecordedOrderText(const RecordedOrder& order) {
  std::string text = std::to_string(order.bar.date) + "," + std::to_string(order.bar.time) +
                     "," + std::to_string(order.transId) + "," + std::to_string(order.length) +
                     "," + order.line + "|";
  if (order.target) text += std::to_string(*order.target);
  return text;
}

std::optional<RecordedOrder> ParseRecordedOrder(const std::string& text) {
  RecordedOrder order;
  std::string_view rest = text;
  const auto whole = [](std::string_view digits, auto* value) {
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), *value);
    return !digits.empty() && ec == std::errc{} && end == digits.data() + digits.size();
  };
  const auto field = [&rest, &whole](auto* value) {
    const std::size_t comma = rest.find(',');
    if (comma == std::string_view::npos) return false;
    const bool ok = whole(rest.substr(0, comma), value);
    rest.remove_prefix(comma + 1);
    return ok;
  };
  if (!field(&order.bar.date) || !field(&order.bar.time) || !field(&order.transId) ||
      !field(&order.length) || order.length < 0)
    return std::nullopt;
  const std::size_t bar = rest.rfind('|');
  if (bar == std::string_view::npos || bar == 0) return std::nullopt;
  if (bar + 1 < rest.size()) {
    int32_t target = 0;
    if (!whole(rest.substr(bar + 1), &target)) return std::nullopt;
    order.target = target;
  }
  order.line = rest.substr(0, bar);
  return order;
}

bool LocateRecordedLine(const RecordedOrder& order, const std::string& filePath,
                        RecordedLine* found) {
  *found = {};
  std::string line = order.line;
  MakeOemLine(line);  // the bytes as they were written
  std::string text;
  const platform::Status read = platform::ReadWholeFile(filePath, &text);
  if (!read.ok() && read.code != platform::StatusCode::kNotFound) return false;
  const std::size_t length = static_cast<std::size_t>(order.length);
  if (text.find(line, length <= text.size() ? length : 0) != std::string::npos) {
    found->state = RecordedLineState::kThere;
    return true;
  }
  if (length >= text.size()) return true;
  // After the recorded length: the line end the write put before its line
  // when the file ended in a fragment, then what the write got out.
  std::string_view tail = std::string_view(text).substr(length);
  for (const std::string_view end : {"\r\n", "\n"})
    if (tail.starts_with(end) && !std::string_view(line).starts_with(end)) {
      tail.remove_prefix(end.size());
      break;
    }
  if (std::string_view(line).starts_with(tail)) {  // the killed write's part, at the very end
    if (!platform::TruncateFile(filePath, order.length).ok()) return false;
    return true;
  }
  const std::size_t lf = tail.find('\n');
  std::string_view fragment = tail.substr(0, lf == std::string_view::npos ? 0 : lf + 1);
  const std::string_view content = fragment.substr(0, fragment.find_first_of("\r\n"));
  if (!content.empty() && std::string_view(line).starts_with(content) &&
      content.size() + 2 < line.size()) {
    found->state = RecordedLineState::kFragmentClosedOff;
    found->fragment = content;
  }
  return true;
}

namespace {

// One piece of a template: a literal character, or a placeholder letter.
struct Piece {
  bool placeholder;
  char c;
};

std::vector<Piece> Pieces(const std::string& templateText) {
  std::vector<Piece> pieces;
  for (std::size_t i = 0; i < templateText.size(); ++i) {
    if (templateText[i] != '%') {
      pieces.push_back({false, templateText[i]});
    } else if (++i < templateText.size()) {
      const char c = templateText[i];
      if (c == '%')
        pieces.push_back({false, '%'});
      else if (std::string_view("NACTMSOPQ").find(c) != std::string_view::npos)
        pieces.push_back({true, c});
    }
  }
  return pieces;
}

// Matches line[at..] against pieces[p..]; marks where %N stood. `failed`
// remembers the states that cannot match, so each is tried once.
class TemplateMatch {
 public:
  TemplateMatch(std::vector<Piece> pieces, std::string_view line, std::string_view id)
      : pieces_(std::move(pieces)),
        line_(line),
        id_(id),
        failed_((pieces_.size() + 1) * (line.size() + 1)) {}

  bool Match(std::size_t p, std::size_t at) {
    if (p == pieces_.size()) return at == line_.size();
    std::vector<bool>::reference failed = failed_[p * (line_.size() + 1) + at];
    if (failed) return false;
    const Piece& piece = pieces_[p];
    const std::string_view rest = line_.substr(at);
    bool ok = false;
    if (!piece.placeholder) {
      ok = !rest.empty() && rest.front() == piece.c && Match(p + 1, at + 1);
    } else if (piece.c == 'N') {
      ok = rest.starts_with(id_) && Match(p + 1, at + id_.size());
      if (ok) ids.push_back(at);
    } else {
      for (std::size_t n = 0; !ok && n <= rest.size(); ++n) ok = Match(p + 1, at + n);
    }
    if (!ok) failed = true;
    return ok;
  }

  std::vector<std::size_t> ids;  // where %N stood, last first

 private:
  std::vector<Piece> pieces_;
  std::string_view line_, id_;
  std::vector<bool> failed_;
};

}  // namespace

std::optional<std::string> RenumberOrderLine(const std::string& line,
                                             const std::string& templateText, int32_t oldId,
                                             int32_t newId) {
  const std::string oldText = std::to_string(oldId);
  TemplateMatch match(Pieces(templateText), line, oldText);
  if (!match.Match(0, 0)) return std::nullopt;
  std::string renumbered = line;
  for (const std::size_t at : match.ids)  // the last first, so earlier places stay put
    renumbered.replace(at, oldText.size(), std::to_string(newId));
  return renumbered;
}

}  // namespace msx
