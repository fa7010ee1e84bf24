#include "TestVectors.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <stdexcept>
#include <string_view>

#include "Files.h"
#include "Text.h"

namespace msxtest {
namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.back() == '\r' || s.back() == ' ')) s.remove_suffix(1);
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  return s;
}

template <class T>
T Number(std::string_view text, const std::string& where) {
  T v{};
  const auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc{} || p != text.data() + text.size())
    throw std::runtime_error(where + ": not a number: " + std::string(text));
  return v;
}

}  // namespace

std::string VectorFolder() { return std::string(MSX_SOURCE_DIR) + "/tests/data"; }

std::map<std::string, std::vector<std::string>> VectorFiles() {
  namespace fs = std::filesystem;
  std::map<std::string, std::vector<std::string>> files;
  for (const auto& dir : fs::directory_iterator(VectorFolder())) {
    if (!dir.is_directory()) continue;
    auto& list = files[dir.path().filename().string()];
    for (const auto& f : fs::directory_iterator(dir.path()))
      if (f.path().extension() == ".txt") list.push_back(f.path().generic_string());
  }
  for (auto& [name, list] : files) std::sort(list.begin(), list.end());
  return files;
}

TestVector ReadVector(const std::string& path) {
  TestVector v;
  v.path = path;
  const std::string text = msxhost::ReadWholeFile(path);
  bool inExpected = false;
  int lineNumber = 0;
  for (const std::string_view raw : msxhost::SplitLines(text)) {
    const std::string_view line = Trim(raw);
    const std::string where = path + ":" + std::to_string(++lineNumber);
    if (line.empty()) continue;
    if (line.starts_with("#")) {
      const std::string_view body = Trim(line.substr(1));
      for (auto [key, field] : {std::pair{"source:", &v.source}, std::pair{"formula:", &v.formula},
                                std::pair{"error:", &v.error}})
        if (body.starts_with(key)) *field = Trim(body.substr(std::string_view(key).size()));
      continue;
    }
    if (line.starts_with("expected:")) {
      const std::string_view range = Trim(line.substr(9));
      const std::size_t blank = range.find(' ');
      if (blank == std::string_view::npos)
        throw std::runtime_error(where + ": expected: FIRST LAST");
      v.first = Number<int32_t>(range.substr(0, blank), where);
      v.last = Number<int32_t>(Trim(range.substr(blank + 1)), where);
      inExpected = true;
      continue;
    }
    if (!inExpected) {
      v.csv.append(line).append("\n");
      continue;
    }
    const std::size_t comma = line.find(',');
    if (comma == std::string_view::npos) throw std::runtime_error(where + ": expected BAR,VALUE");
    v.values[Number<int32_t>(line.substr(0, comma), where)] =
        Number<float>(line.substr(comma + 1), where);
  }
  for (std::size_t at; (at = v.formula.find("{data}")) != std::string::npos;)
    v.formula.replace(at, 6, VectorFolder());
  if (v.source.empty() || v.formula.empty())
    throw std::runtime_error(path + ": needs a source and a formula line");
  if (!inExpected && v.error.empty()) throw std::runtime_error(path + ": no expected range");
  return v;
}

}  // namespace msxtest
