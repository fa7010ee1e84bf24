#include "ReplayFolder.h"

#include <filesystem>
#include <map>
#include <random>
#include <system_error>

#include "Files.h"
#include "HostError.h"
#include "Text.h"
#include "platform/IniText.h"
#include "platform/Platform.h"

namespace msxhost {
namespace {

namespace fs = std::filesystem;

constexpr const char* kTradeQuik = "TradeQuik";
constexpr const char* kTradeFile = "TradeFile";
constexpr const char* kTradesFolder = "trades";
// The keys in which TradeQuik keeps what it has seen and sent.
constexpr std::string_view kStatePrefixes[] = {"DateTime_", "Order_", "Position_"};

bool StartsWithIgnoreCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsIgnoreCase(text.substr(0, prefix.size()), prefix);
}

// A value as the settings reader sees it: blanks around it and one pair of
// matching quotes dropped.
std::string_view BareValue(std::string_view value) {
  value = TrimBlanks(value);
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front())
    value = value.substr(1, value.size() - 2);
  return value;
}

// Each distinct file the user's settings name gets a name of its own in
// the folder: STEM.EXT, STEM-2.EXT, ...
class Redirects {
 public:
  Redirects(std::string folder, const char* stem, const char* extension)
      : folder_(std::move(folder)), stem_(stem), extension_(extension) {}

  // The folder's file for a file the user named ("" for one they did not).
  const std::string& For(const std::string& userFile) {
    const auto it = files_.find(userFile);
    if (it != files_.end()) return it->second;
    const std::size_t n = files_.size() + 1;
    const std::string number = n == 1 ? "" : FormatInt(static_cast<int64_t>(n));
    const std::string name = Cat(stem_, number.empty() ? "" : "-", number, extension_);
    std::string path = (fs::path(folder_) / name).string();
    paths_.push_back(path);
    return files_.emplace(userFile, std::move(path)).first->second;
  }
  const std::vector<std::string>& paths() const { return paths_; }

 private:
  std::string folder_, stem_, extension_;
  std::map<std::string, std::string> files_;
  std::vector<std::string> paths_;
};

}  // namespace

ReplaySettings MakeReplaySettings(std::string_view userText, const std::string& folder,
                                  const std::string& securitySection, bool seed) {
  Redirects files(folder, "orders", ".tri");
  Redirects journals(folder, "journal", ".csv");
  // [TradeQuik]'s own files take the first names, whichever section comes first.
  const std::optional<std::string> mainFile =
      msx::platform::ini::Find(userText, kTradeQuik, "File");
  if (mainFile && !mainFile->empty()) files.For(*mainFile);
  if (seed) files.For("");
  const std::string journal =
      journals.For(msx::platform::ini::Find(userText, kTradeQuik, "Journal").value_or(""));
  const std::string trades = (fs::path(folder) / kTradesFolder).string();

  std::string text;
  std::string section;
  for (std::size_t at = 0; at < userText.size();) {
    const std::size_t lf = userText.find('\n', at);
    const std::size_t next = lf == std::string_view::npos ? userText.size() : lf + 1;
    std::string_view content = userText.substr(at, next - at);
    std::string_view lineEnd;
    for (const char* end : {"\r\n", "\n"})
      if (content.ends_with(end)) {
        lineEnd = content.substr(content.size() - std::string_view(end).size());
        content.remove_suffix(lineEnd.size());
        break;
      }
    at = next;
    const std::string_view trimmed = TrimBlanks(content);
    const std::size_t close = trimmed.rfind(']');
    const std::size_t equals = content.find('=');
    if (trimmed.starts_with('[') && close != std::string_view::npos) {
      section = std::string(TrimBlanks(trimmed.substr(1, close - 1)));
    } else if (equals != std::string_view::npos && !TrimBlanks(content.substr(0, equals)).empty()) {
      const std::string_view key = TrimBlanks(content.substr(0, equals));
      const std::string value(BareValue(content.substr(equals + 1)));
      bool state = false;
      for (std::string_view prefix : kStatePrefixes) state |= StartsWithIgnoreCase(key, prefix);
      if (state) continue;
      const bool tradeQuik = EqualsIgnoreCase(section, kTradeQuik);
      const bool security =
          !section.empty() && !tradeQuik && !EqualsIgnoreCase(section, kTradeFile);
      std::optional<std::string> redirected;
      if ((tradeQuik || security) && EqualsIgnoreCase(key, "File") && !value.empty())
        redirected = files.For(value);
      else if (tradeQuik && EqualsIgnoreCase(key, "Journal"))
        redirected = journal;
      else if (security && EqualsIgnoreCase(key, "Journal"))
        redirected = journals.For(value);
      else if (EqualsIgnoreCase(section, kTradeFile) && EqualsIgnoreCase(key, "Directory"))
        redirected = trades;
      if (redirected) {
        text += Cat(content.substr(0, equals + 1), *redirected, lineEnd);
        continue;
      }
    }
    text += Cat(content, lineEnd);
  }

  using msx::platform::ini::Set;
  text = Set(text, kTradeQuik, "Journal", journal);
  text = Set(text, kTradeFile, "Directory", trades);
  if (seed) {
    text = Set(text, kTradeQuik, "File", files.For(""));
    if (!securitySection.empty()) {
      text = Set(text, securitySection, "ClassCode", "REPLAY");
      text = Set(text, securitySection, "SecCode", "REPLAY");
    }
  }
  return {text, files.paths(), journals.paths()};
}

std::string AbsolutePath(const std::string& path) {
  std::error_code error;
  const fs::path absolute = fs::absolute(path, error);
  return error ? path : absolute.string();
}

ReplayFolder::ReplayFolder(const std::optional<std::string>& keep) {
  std::error_code error;
  if (keep) {
    path_ = AbsolutePath(*keep);
    keep_ = true;
    if (fs::exists(path_, error) && !(fs::is_directory(path_, error) && fs::is_empty(path_, error)))
      throw HostError(kExitUsage, "--keep " + *keep + ": expected a new or an empty folder");
    fs::create_directories(path_, error);
    if (!fs::is_directory(path_, error))
      throw HostError(kExitFailure, "cannot make the folder " + *keep);
    return;
  }
  const fs::path temporary = fs::temp_directory_path(error);
  if (error) throw HostError(kExitFailure, "no temporary folder to replay in: " + error.message());
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const fs::path folder = temporary / ("msxhost-replay-" + FormatInt(random() % 1000000000u));
    if (fs::create_directory(folder, error)) {
      path_ = folder.string();
      return;
    }
  }
  throw HostError(kExitFailure, "cannot make a folder to replay in under " + temporary.string());
}

ReplayFolder::~ReplayFolder() {
  std::error_code ignored;
  if (!keep_) fs::remove_all(path_, ignored);
}

std::string ReplayFolder::InstallLibrary(const std::string& library, bool ownSettings,
                                         const std::string& securitySection,
                                         ReplaySettings& settings) const {
  const fs::path copy = fs::path(path_) / fs::path(library).filename();
  std::error_code error;
  if (!fs::copy_file(library, copy, fs::copy_options::overwrite_existing, error))
    throw HostError(kExitFailure,
                    "cannot copy the library " + library + " to replay it: " + error.message());
  std::string userText;
  if (ownSettings) {
    const std::string userSettings = fs::path(library).replace_extension(".ini").string();
    if (msx::platform::FileExists(userSettings)) userText = ReadWholeFile(userSettings);
  }
  settings = MakeReplaySettings(userText, path_, securitySection, !ownSettings);
  WriteWholeFile(fs::path(copy).replace_extension(".ini").string(), settings.text);
  fs::create_directory(fs::path(path_) / kTradesFolder, error);
  return copy.string();
}

WorkingDirectory::WorkingDirectory(const std::string& folder) {
  std::error_code error;
  previous_ = fs::current_path(error).string();
  if (!error) fs::current_path(folder, error);
  if (error) throw HostError(kExitFailure, "cannot work in " + folder + ": " + error.message());
}

WorkingDirectory::~WorkingDirectory() {
  std::error_code ignored;
  fs::current_path(previous_, ignored);
}

}  // namespace msxhost
