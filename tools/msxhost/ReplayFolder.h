// The private folder a replay runs in: a copy of the library, a settings
// file beside it that can reach no terminal, and the working directory
// while the replay runs, so that relative file names in a formula land
// there too.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace msxhost {

// The settings file a replay hands its library copy, made from the user's.
struct ReplaySettings {
  std::string text;
  std::vector<std::string> transactionFiles;  // every TradeQuik File it names
  std::vector<std::string> journals;          // every TradeQuik Journal it names
};

// The user's settings text made safe for a replay in `folder`:
// - the state TradeQuik keeps (keys DateTime_..., Order_..., Position_...
//   in any section, names compared without case) is left out, so every
//   strategy instance arms afresh and no order of a live run is finished;
// - TradeQuik's File (in [TradeQuik] and in a security section) and Journal
//   point into the folder, one name per distinct file ("orders.tri",
//   "orders-2.tri", ...; "journal.csv", "journal-2.csv", ...), and
//   [TradeQuik] always has a Journal; an empty File stays empty;
// - TradeFile's Directory is the folder's "trades".
// With `seed` (no settings of the user's), [TradeQuik] also gets a File and
// `securitySection` (when not empty) ClassCode and SecCode "REPLAY".
// Every other line stays as it is.
ReplaySettings MakeReplaySettings(std::string_view userText, const std::string& folder,
                                  const std::string& securitySection, bool seed);

// The folder, made at construction: `keep` when given (a new or empty
// folder, kept afterwards), else a new folder in the system's temporary
// folder, removed with all it holds by the destructor. Throws HostError:
// kExitUsage when `keep` exists and is not an empty folder, kExitFailure
// when the folder cannot be made.
class ReplayFolder {
 public:
  explicit ReplayFolder(const std::optional<std::string>& keep);
  ~ReplayFolder();
  ReplayFolder(const ReplayFolder&) = delete;
  ReplayFolder& operator=(const ReplayFolder&) = delete;

  const std::string& path() const { return path_; }

  // Copies the library into the folder under its own file name and writes
  // the settings file beside the copy (its name with ".ini"): the one beside
  // `library` made safe when `ownSettings`, else a fresh one seeded for
  // `securitySection`. Makes the trades folder. Returns the copy's path.
  // Throws HostError (kExitFailure) when a file cannot be copied or written.
  std::string InstallLibrary(const std::string& library, bool ownSettings,
                             const std::string& securitySection, ReplaySettings& settings) const;

 private:
  std::string path_;
  bool keep_ = false;
};

// The working directory set to a folder for the object's lifetime and then
// put back. Throws HostError (kExitFailure) when it cannot be set.
class WorkingDirectory {
 public:
  explicit WorkingDirectory(const std::string& folder);
  ~WorkingDirectory();
  WorkingDirectory(const WorkingDirectory&) = delete;
  WorkingDirectory& operator=(const WorkingDirectory&) = delete;

 private:
  std::string previous_;
};

// The path as an absolute one, against the working directory of now.
std::string AbsolutePath(const std::string& path);

}  // namespace msxhost
