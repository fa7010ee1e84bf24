// The handoff of a data file between a writing and a reading chart. The
// writer builds the whole content under the staging name (the name and
// ".out") and gives it the data file's name only when it is complete; the
// reader takes the data file over by renaming it to its copy (the name and
// ".in") before it reads. Renames never replace, so a reader finds either
// no data file or a complete one.
//
// For one name N: nothing; staged (N.out); published (N); taken (N.in, no
// N); published over taken (N and an older N.in).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "exchange/DataFileText.h"
#include "platform/Platform.h"

namespace msx {

inline constexpr int32_t kPublishAttempts = 100;
inline constexpr int32_t kLoadAttempts = 200;
inline constexpr int32_t kRetryPauseMilliseconds = 10;

// The file services the handoff uses: the platform's, or in tests a
// stand-in that counts calls and fails the ones it is told to.
class FileService {
 public:
  virtual ~FileService() = default;
  virtual bool Exists(const std::string& path) = 0;
  virtual platform::Status Remove(const std::string& path) = 0;
  virtual platform::Status RenameNoReplace(const std::string& from, const std::string& to) = 0;
  virtual platform::Status ReplaceContent(const std::string& path, std::string_view bytes) = 0;
  virtual platform::Status Read(const std::string& path, std::string* bytes) = 0;
  virtual void Sleep(int32_t milliseconds) = 0;
};

// The platform's file services.
FileService& PlatformFiles();

// The writer's side. Deletes a stale staging file, writes content and one
// more CR LF (in the OEM code page) as the staging file's whole content,
// deletes the data file, then renames the staging file to the name, up to
// kPublishAttempts times kRetryPauseMilliseconds apart.
//
// The staging file always holds exactly this call's content: one that could
// not be deleted is overwritten, never appended to, and when the content
// could not be written no rename is tried and what was written of it is
// deleted, so an older or incomplete staging file is never published as
// this call's. False exactly then: the content could not be staged. Losing
// the renames to a reader that has not taken the old file over yet, or to
// another writer, is the protocol's back-pressure, not a failure: true.
bool HandOffDataFile(const std::string& name, std::string content,
                     FileService& files = PlatformFiles());

inline constexpr const char* kCannotWriteDataFile = "Cannot write data file ";

// The writers' last step: the chart's data file name from the template (its
// symbol and the writers' period text), then the handoff of content to it.
// Content that cannot be staged is a WriteFault "Cannot write data file "
// + the name.
void PublishChartData(const HostDataRecord& data, std::string_view fileTemplate,
                      std::string content, FileService& files = PlatformFiles());

// The reader's side. When a data file is there, deletes the old copy and
// renames the data file to the copy (once; the outcome is ignored: without
// a new data file the old copy is read again). Then loads the copy's lines
// with kLoadAttempts attempts. True when the copy was loaded.
bool TakeOverDataFile(const std::string& name, DataLines& lines,
                      FileService& files = PlatformFiles());

// Replaces the list's contents with the file's lines; on a failure (locked,
// vanished, unreadable) takes an attempt off and pauses
// kRetryPauseMilliseconds. True when the file was loaded.
bool LoadLinesWithRetry(DataLines& lines, const std::string& path, int32_t attempts,
                        FileService& files = PlatformFiles());

}  // namespace msx
