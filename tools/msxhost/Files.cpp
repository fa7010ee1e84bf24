#include "Files.h"

#include <filesystem>
#include <system_error>

#include "HostError.h"
#include "platform/Platform.h"

namespace msxhost {
namespace {

std::size_t LastSeparator(std::string_view path) { return path.find_last_of("/\\"); }

bool IsFolder(const std::string& path) {
  std::error_code ignored;
  return std::filesystem::is_directory(path, ignored);
}

// The system's words for why a file operation on path failed. A folder is
// told as such first: Windows refuses to open one as "access denied".
std::string Reason(const std::string& path, const msx::platform::Status& status) {
  using msx::platform::StatusCode;
  std::errc reason = std::errc::io_error;
  if (IsFolder(path))
    reason = std::errc::is_a_directory;
  else if (status.code == StatusCode::kNotFound)
    reason = std::errc::no_such_file_or_directory;
  else if (status.code == StatusCode::kAccessDenied)
    reason = std::errc::permission_denied;
  return std::make_error_code(reason).message();
}

}  // namespace

std::string ReadWholeFile(const std::string& path) {
  std::string bytes;
  const msx::platform::Status status = msx::platform::ReadWholeFile(path, &bytes);
  if (!status.ok() || IsFolder(path))
    throw HostError(kExitUsage, "cannot read " + path + ": " + Reason(path, status));
  return bytes;
}

void WriteWholeFile(const std::string& path, std::string_view bytes) {
  const msx::platform::Status status = msx::platform::ReplaceFileContent(path, bytes);
  if (!status.ok())
    throw HostError(kExitFailure, "cannot write " + path + ": " + Reason(path, status));
}

std::string BaseName(std::string_view path) {
  const std::size_t cut = LastSeparator(path);
  return std::string(cut == std::string_view::npos ? path : path.substr(cut + 1));
}

std::string StemOf(std::string_view path) {
  std::string name = BaseName(path);
  const std::size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.erase(dot);
  return name;
}

std::string FolderOf(std::string_view path) {
  const std::size_t cut = LastSeparator(path);
  if (cut == std::string_view::npos) return ".";
  if (cut == 0) return std::string(path.substr(0, 1));
  return std::string(path.substr(0, cut));
}

std::string JoinPath(std::string_view folder, std::string_view name) {
  if (folder.empty()) return std::string(name);
  const std::size_t cut = LastSeparator(folder);
  const char separator = (cut != std::string_view::npos && folder[cut] == '\\') ? '\\' : '/';
  std::string path(folder);
  if (path.back() != '/' && path.back() != '\\') path += separator;
  path += name;
  return path;
}

}  // namespace msxhost
