#include "trading/TradingSettings.h"

#include <charconv>
#include <new>

#include "common/Fault.h"
#include "platform/Platform.h"

namespace msx {
namespace {

// Allocated at open and freed at close: no static constructor or destructor
// whose order against the library's own load and unload steps is unknown.
constinit TradingSettings* gSettings = nullptr;

constexpr const char* kMissing = "#N#A";
constexpr const char* kSettingsNotOpen = "Trading settings are not open";

bool HasLineBreak(const std::string& s) { return s.find_first_of("\r\n") != std::string::npos; }

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// A text setting with the missing-key rule.
std::string ReadWithDefault(TradingSettings& s, const char* section, const char* key,
                            const char* defaultValue) {
  const std::string value = s.ReadText(section, key, kMissing);
  if (value != kMissing) return value;
  s.WriteText(section, key, defaultValue);  // not reported when it fails
  return defaultValue;
}

}  // namespace

std::string SettingsPathFor(const std::string& libraryPath) {
  if (libraryPath.empty()) return {};
  const std::size_t name = libraryPath.find_last_of("/\\");
  const std::size_t dot = libraryPath.rfind('.');
  const bool hasExtension = dot != std::string::npos && (name == std::string::npos || dot > name);
  return (hasExtension ? libraryPath.substr(0, dot) : libraryPath) + ".ini";
}

bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
  const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (lower(a[i]) != lower(b[i])) return false;
  return true;
}

bool ParseInt32(std::string_view text, int32_t* value) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  if (text.size() > 1 && text[0] == '+' && text[1] != '-')
    text.remove_prefix(1);  // from_chars takes no plus
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, *value);
  return !text.empty() && ec == std::errc{} && ptr == end;
}

bool TradingSettings::Storable(const std::string& section, const std::string& key) {
  // A section needs a name: the profile API has no reliable place for keys
  // of the nameless one (they would land in the section before them).
  const auto named = [](const std::string& s) {
    return s.find_first_not_of(" \t") != std::string::npos;
  };
  std::size_t k = 0;
  while (k < key.size() && IsBlank(key[k])) ++k;
  return named(section) && !HasLineBreak(section) && section.find(']') == std::string::npos &&
         !HasLineBreak(key) && key.find('=') == std::string::npos && k < key.size() &&
         key[k] != '[';
}

std::string TradingSettings::ReadText(const std::string& section, const std::string& key,
                                      const std::string& defaultValue) const {
  if (path_.empty() || !Storable(section, key)) return defaultValue;
  return platform::ReadProfileText(path_, section, key, defaultValue);
}

bool TradingSettings::WriteText(const std::string& section, const std::string& key,
                                const std::string& value) {
  if (path_.empty() || !Storable(section, key) || HasLineBreak(value)) return false;
  return platform::WriteProfileText(path_, section, key, value).ok();
}

int32_t TradingSettings::ReadInteger(const std::string& section, const std::string& key,
                                     int32_t defaultValue) const {
  int32_t value = 0;
  return ParseInt32(ReadText(section, key, ""), &value) ? value : defaultValue;
}

bool TradingSettings::WriteInteger(const std::string& section, const std::string& key,
                                   int32_t value) {
  return WriteText(section, key, std::to_string(value));
}

bool TradingSettings::DeleteKey(const std::string& section, const std::string& key) {
  if (path_.empty() || !Storable(section, key)) return false;
  return platform::DeleteProfileKey(path_, section, key).ok();
}

bool TradingSettings::SectionHasKeys(const std::string& section) const {
  if (path_.empty() || !Storable(section, "k")) return false;
  return platform::ProfileSectionHasKeys(path_, section);
}

TradingSettings::Turn::Turn(TradingSettings& settings) : charts_(settings.calculationLock_) {
  if (!settings.path_.empty()) processes_ = platform::LockAcrossProcesses(settings.path_);
}

TradingSettings::Turn::~Turn() { platform::UnlockAcrossProcesses(processes_); }

bool TradingSettings::Flush() { return !path_.empty() && platform::FlushProfile(path_).ok(); }

TradingSettings* CurrentTradingSettings() { return gSettings; }

TradingSettings& OpenTradingSettingsOrFault() {
  if (gSettings == nullptr) RaiseFault(kSettingsNotOpen);
  return *gSettings;
}

void OpenTradingSettings(const std::string& path) {
  if (gSettings != nullptr) return;
  gSettings = new TradingSettings(path);
  if (!path.empty()) platform::RemoveStaleProfileFiles(path);
}

void OpenTradingSettingsBesideLibrary() {
  if (gSettings == nullptr) OpenTradingSettings(SettingsPathFor(platform::LibraryPath()));
}

void CloseTradingSettings() {
  if (gSettings == nullptr) return;
  gSettings->Flush();
  delete gSettings;
  gSettings = nullptr;
}

void ReadTradeFileSettings() {
  OpenTradingSettingsBesideLibrary();
  TradingSettings& s = *gSettings;
  s.tradeFile.author = ReadWithDefault(s, kTradeFileSection, "Author", "noname");
  s.tradeFile.directory =
      ReadWithDefault(s, kTradeFileSection, "Directory", platform::DefaultTradeDirectory());
  const std::string close = s.ReadText(kTradeFileSection, "ClosePositionAtLastBar", "NO");
  s.tradeFile.closePositionAtLastBar =
      SameNameIgnoringCase(close, "YES") || SameNameIgnoringCase(close, "true") || close == "1";
  if (!s.tradeFile.closePositionAtLastBar)
    s.WriteText(kTradeFileSection, "ClosePositionAtLastBar", "no");
  s.Flush();
}

void ReadTradeQuikSettings() {
  OpenTradingSettingsBesideLibrary();
  TradingSettings& s = *gSettings;
  s.tradeQuik.account = ReadWithDefault(s, kTradeQuikSection, "Account", "");
  s.tradeQuik.clientCode = ReadWithDefault(s, kTradeQuikSection, "ClientCode", "");
  s.tradeQuik.file = ReadWithDefault(s, kTradeQuikSection, "File", "");
  s.tradeQuik.templateText = ReadWithDefault(s, kTradeQuikSection, "Template", kDefaultTemplate);
  s.Flush();
}

}  // namespace msx
