// The settings file's text over any file content and any names and value
// the settings can store: what is written reads back (blanks and one pair
// of quotes around the value lost, as every read loses them), the section
// then has keys, writing it again changes nothing, every other key of the
// file reads as before, the write changes at most one line of the text, and
// the text grows by no more than a line break, a section header and the
// new line.
#include <algorithm>

#include "FuzzInput.h"
#include "platform/IniText.h"
#include "trading/TradingSettings.h"

namespace {

namespace ini = msx::platform::ini;

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

std::string Lower(std::string_view s) {
  std::string l(s);
  for (char& c : l)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return l;
}

struct Probe {
  std::string section;
  std::string key;
};

// Names to ask for: each section header's and each key's as they appear,
// roughly; they only pick what to compare before and after. At most 8,
// spread over the text.
std::vector<Probe> ProbesOf(std::string_view text) {
  std::vector<Probe> probes;
  std::string section;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t lf = std::min(text.find('\n', at), text.size());
    const std::string_view line = Trim(text.substr(at, lf - at));
    at = lf + 1;
    const std::size_t close = line.rfind(']');
    if (!line.empty() && line.front() == '[' && close != std::string_view::npos) {
      section = std::string(line.substr(1, close - 1));
      probes.push_back({section, "k"});
    } else if (const std::size_t equals = line.find('='); equals != std::string_view::npos) {
      probes.push_back({section, std::string(line.substr(0, equals))});
    }
  }
  constexpr std::size_t kMaxProbes = 8;
  if (probes.size() <= kMaxProbes) return probes;
  std::vector<Probe> spread;
  for (std::size_t k = 0; k < kMaxProbes; ++k)
    spread.push_back(probes[k * probes.size() / kMaxProbes]);
  return spread;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::vector<std::string_view> parts = fuzz::Parts(data, size, 4);
  const std::string_view text = parts[0];
  const std::string section(parts[1]);
  const std::string key(parts[2]);
  const std::string value(parts[3].substr(0, parts[3].find('\0')));
  const auto shown = [&] {
    return "[" + fuzz::Printable(section) + "] " + fuzz::Printable(key) + "=" +
           fuzz::Printable(value) + " into " + fuzz::Printable(text);
  };

  // Reads of any names in any text.
  (void)ini::Find(text, section, key);
  (void)ini::SectionHasKeys(text, section);
  if (!msx::TradingSettings::Storable(section, key) ||
      value.find_first_of("\r\n") != std::string::npos)
    return 0;

  const std::string written = ini::Set(text, section, key, value);
  std::string_view expected = Trim(value);
  if (expected.size() >= 2 && (expected.front() == '"' || expected.front() == '\'') &&
      expected.back() == expected.front())
    expected = expected.substr(1, expected.size() - 2);
  if (ini::Find(written, section, key) != std::optional<std::string>(expected))
    fuzz::Fail("what is written does not read back: " + shown());
  if (!ini::SectionHasKeys(written, section))
    fuzz::Fail("the written section has no keys: " + shown());
  if (ini::Set(written, section, key, value) != written)
    fuzz::Fail("writing the same value again changes the text: " + shown());
  if (written.size() > text.size() + section.size() + key.size() + value.size() + 9)
    fuzz::Fail("the text grew by more than a line and a header: " + shown());

  // At most one line of the old text is gone.
  std::size_t head = 0;
  while (head < text.size() && head < written.size() && text[head] == written[head]) ++head;
  std::size_t tail = 0;
  while (tail < text.size() - head && tail < written.size() - head &&
         text[text.size() - 1 - tail] == written[written.size() - 1 - tail])
    ++tail;
  const std::string_view removed = text.substr(head, text.size() - head - tail);
  if (std::count(removed.begin(), removed.end(), '\n') > 1)
    fuzz::Fail("the write changed more than one line: " + shown());

  // Every other key reads as before; every other section has keys as before.
  const std::string sectionName = Lower(Trim(section));
  const std::string keyName = Lower(Trim(key));
  for (const Probe& probe : ProbesOf(text)) {
    const bool sameSection = Lower(Trim(probe.section)) == sectionName;
    if (!(sameSection && Lower(Trim(probe.key)) == keyName) &&
        ini::Find(text, probe.section, probe.key) != ini::Find(written, probe.section, probe.key))
      fuzz::Fail("the key [" + fuzz::Printable(probe.section) + "] " + fuzz::Printable(probe.key) +
                 " reads otherwise after " + shown());
    if (!sameSection &&
        ini::SectionHasKeys(text, probe.section) != ini::SectionHasKeys(written, probe.section))
      fuzz::Fail("the section [" + fuzz::Printable(probe.section) + "] changed after " + shown());
  }
  return 0;
}
