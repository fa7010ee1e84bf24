#include "exchange/DataFile.h"

#include "common/Fault.h"
#include "common/MSX_QMR_CommonFunc.h"

namespace msx {
namespace {

class PlatformFileService final : public FileService {
 public:
  bool Exists(const std::string& path) override { return platform::FileExists(path); }
  platform::Status Remove(const std::string& path) override { return platform::RemoveFile(path); }
  platform::Status RenameNoReplace(const std::string& from, const std::string& to) override {
    return platform::RenameNoReplace(from, to);
  }
  platform::Status ReplaceContent(const std::string& path, std::string_view bytes) override {
    return platform::ReplaceFileContent(path, bytes);
  }
  platform::Status Read(const std::string& path, std::string* bytes) override {
    return platform::ReadWholeFile(path, bytes);
  }
  void Sleep(int32_t milliseconds) override { platform::SleepMilliseconds(milliseconds); }
};

}  // namespace

FileService& PlatformFiles() {
  static PlatformFileService files;
  return files;
}

bool HandOffDataFile(const std::string& name, std::string content, FileService& files) {
  const std::string staging = name + ".out";
  if (files.Exists(staging)) (void)files.Remove(staging);
  MakeOemLine(content);
  const bool staged = files.ReplaceContent(staging, content).ok();
  if (files.Exists(name)) (void)files.Remove(name);
  if (!staged) {
    if (files.Exists(staging)) (void)files.Remove(staging);  // a part of the content
    return false;
  }
  for (int32_t attempt = 0; attempt < kPublishAttempts; ++attempt) {
    if (files.RenameNoReplace(staging, name).ok()) return true;
    files.Sleep(kRetryPauseMilliseconds);
  }
  // The staging file stays behind; the next write replaces it.
  return true;
}

void PublishChartData(const HostDataRecord& data, std::string_view fileTemplate,
                      std::string content, FileService& files) {
  const std::string name =
      ExpandDataFileName(fileTemplate, SymbolText(data), PeriodTag(data));
  if (!HandOffDataFile(name, std::move(content), files)) RaiseWriteFault(kCannotWriteDataFile, name);
}

bool TakeOverDataFile(const std::string& name, DataLines& lines, FileService& files) {
  const std::string copy = name + ".in";
  if (files.Exists(name)) (void)files.Remove(copy);
  (void)files.RenameNoReplace(name, copy);
  if (!files.Exists(copy)) return false;
  return LoadLinesWithRetry(lines, copy, kLoadAttempts, files);
}

bool LoadLinesWithRetry(DataLines& lines, const std::string& path, int32_t attempts,
                        FileService& files) {
  std::string text;
  while (attempts > 0) {
    if (files.Read(path, &text).ok()) {
      lines.Assign(std::move(text));
      return true;
    }
    --attempts;
    files.Sleep(kRetryPauseMilliseconds);
  }
  return false;
}

}  // namespace msx
