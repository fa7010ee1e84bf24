#include "platform/IniText.h"

#include <cstddef>
#include <vector>

namespace msx::platform::ini {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

enum class Kind { kOther, kHeader, kKey };

// One line of the text: where it starts, its content without the line
// break, and what it is.
struct Line {
  std::size_t begin;  // offset of the line in the text
  std::size_t end;    // offset just after its line break (or the text's end)
  Kind kind;
  std::string_view name;   // the section or key name, trimmed
  std::string_view value;  // a key's value, trimmed
};

std::vector<Line> Parse(std::string_view text) {
  std::vector<Line> lines;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t lf = text.find('\n', at);
    const std::size_t next = lf == std::string_view::npos ? text.size() : lf + 1;
    std::string_view content =
        text.substr(at, (lf == std::string_view::npos ? text.size() : lf) - at);
    if (!content.empty() && content.back() == '\r') content.remove_suffix(1);
    Line line{at, next, Kind::kOther, {}, {}};
    const std::string_view trimmed = Trim(content);
    const std::size_t close = trimmed.rfind(']');
    const std::size_t equals = trimmed.find('=');
    if (!trimmed.empty() && trimmed.front() == '[' && close != std::string_view::npos) {
      line.kind = Kind::kHeader;
      line.name = Trim(trimmed.substr(1, close - 1));
    } else if (equals != std::string_view::npos && !Trim(trimmed.substr(0, equals)).empty()) {
      line.kind = Kind::kKey;
      line.name = Trim(trimmed.substr(0, equals));
      line.value = Trim(trimmed.substr(equals + 1));
    }
    lines.push_back(line);
    at = next;
  }
  return lines;
}

// The lines of the first section of that name: [begin, end) indexes into
// lines, the header excluded. found is false when there is no such section.
struct SectionSpan {
  bool found = false;
  std::size_t header = 0;  // index of the header line (unused for the empty section)
  std::size_t begin = 0;
  std::size_t end = 0;
};

SectionSpan FindSection(const std::vector<Line>& lines, std::string_view section) {
  SectionSpan span;
  std::size_t i = 0;
  if (section.empty()) {  // the keys before the first header
    while (i < lines.size() && lines[i].kind != Kind::kHeader) ++i;
    span.found = true;
    span.end = i;
    return span;
  }
  for (; i < lines.size(); ++i) {
    if (lines[i].kind != Kind::kHeader || !SameName(lines[i].name, section)) continue;
    span.found = true;
    span.header = i;
    span.begin = i + 1;
    span.end = span.begin;
    while (span.end < lines.size() && lines[span.end].kind != Kind::kHeader) ++span.end;
    return span;
  }
  return span;
}

// Ends the text's last line before a new line follows it. A last line
// without its LF may end in the CR of a CR LF: only the LF is added, since
// a second CR would become part of that line's value.
void EndLastLine(std::string& text) {
  if (text.empty() || text.back() == '\n') return;
  text.append(text.back() == '\r' ? "\n" : "\r\n");
}

std::string_view Unquote(std::string_view v) {
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
    return v.substr(1, v.size() - 2);
  return v;
}

}  // namespace

std::optional<std::string> Find(std::string_view text, std::string_view section,
                                std::string_view key) {
  const std::vector<Line> lines = Parse(text);
  const SectionSpan span = FindSection(lines, Trim(section));
  if (!span.found) return std::nullopt;
  for (std::size_t i = span.begin; i < span.end; ++i)
    if (lines[i].kind == Kind::kKey && SameName(lines[i].name, Trim(key)))
      return std::string(Unquote(lines[i].value));
  return std::nullopt;
}

bool SectionHasKeys(std::string_view text, std::string_view section) {
  const std::vector<Line> lines = Parse(text);
  const SectionSpan span = FindSection(lines, Trim(section));
  for (std::size_t i = span.begin; span.found && i < span.end; ++i)
    if (lines[i].kind == Kind::kKey) return true;
  return false;
}

std::string Set(std::string_view text, std::string_view section, std::string_view key,
                std::string_view value) {
  section = Trim(section);
  key = Trim(key);
  const std::vector<Line> lines = Parse(text);
  const SectionSpan span = FindSection(lines, section);
  std::string result;
  result.reserve(text.size() + section.size() + key.size() + value.size() + 8);

  const auto keyLine = [&](std::string_view name) {
    std::string l(name);
    l.append("=").append(value).append("\r\n");
    return l;
  };

  if (span.found) {
    std::size_t after = span.begin;  // where a new key goes: after the last key
    for (std::size_t i = span.begin; i < span.end; ++i) {
      if (lines[i].kind != Kind::kKey) continue;
      if (SameName(lines[i].name, key)) {
        result.append(text.substr(0, lines[i].begin));
        result.append(keyLine(lines[i].name));
        result.append(text.substr(lines[i].end));
        return result;
      }
      after = i + 1;
    }
    // A new key: after the section's last key (or right after its header),
    // so that blank lines between sections stay where they are.
    const std::size_t offset = after < lines.size() ? lines[after].begin : text.size();
    result.append(text.substr(0, offset));
    EndLastLine(result);
    result.append(keyLine(key));
    result.append(text.substr(offset));
    return result;
  }

  result.append(text);
  EndLastLine(result);
  result.append("[").append(section).append("]\r\n");
  result.append(keyLine(key));
  return result;
}

std::string Remove(std::string_view text, std::string_view section, std::string_view key) {
  const std::vector<Line> lines = Parse(text);
  const SectionSpan span = FindSection(lines, Trim(section));
  for (std::size_t i = span.begin; span.found && i < span.end; ++i)
    if (lines[i].kind == Kind::kKey && SameName(lines[i].name, Trim(key)))
      return std::string(text.substr(0, lines[i].begin)).append(text.substr(lines[i].end));
  return std::string(text);
}

}  // namespace msx::platform::ini
