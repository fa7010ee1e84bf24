#include "Files.h"

#include <fstream>
#include <iterator>

#include "HostError.h"

namespace msxhost {
namespace {

std::size_t LastSeparator(std::string_view path) { return path.find_last_of("/\\"); }

}  // namespace

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw HostError(kExitUsage, "cannot read " + path);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw HostError(kExitUsage, "cannot read " + path);
  return bytes;
}

void WriteWholeFile(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (out) out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (out) out.close();
  if (!out) throw HostError(kExitFailure, "cannot write " + path);
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
