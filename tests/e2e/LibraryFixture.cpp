#include "LibraryFixture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <filesystem>

#include "Files.h"
#include "Poison.h"
#include "platform/Platform.h"

namespace msxtest {

const msxhost::LoadedLibrary& Library() {
  static const msxhost::LoadedLibrary library(msxhost::LoadedLibrary::DefaultPath());
  return library;
}

PoisonedResult::PoisonedResult() {
  for (float& v : array().values()) v = msx::kPoison;
  array().SetRange(-9, -9);
  std::strcpy(record()->szExtendedError, "poison");
}

std::string OwnTempPath(const std::string& stem, const std::string& suffix) {
  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  const std::string name = std::string(test->test_suite_name()) + "." + test->name();
  return ::testing::TempDir() + stem + std::to_string(std::hash<std::string>{}(name)) + suffix;
}

std::vector<std::string> CrLfLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t end = text.find("\r\n", at);
    lines.push_back(text.substr(at, end == std::string::npos ? std::string::npos : end - at));
    if (end == std::string::npos) break;
    at = end + 2;
  }
  return lines;
}

LibraryFolder::LibraryFolder(const std::string& name, const std::string& iniText) {
  // A folder of this process's own: the suite may run twice at once.
  folder_ = ::testing::TempDir() + name + "_" +
            std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
  std::filesystem::remove_all(folder_);
  std::filesystem::create_directories(folder_);
  library_ = msxhost::JoinPath(folder_, msx::platform::LibraryFileName());
  std::filesystem::copy_file(Library().path(), library_);
  msxhost::WriteWholeFile(msxhost::JoinPath(folder_, "msx_qmr.ini"), iniText);
}

LibraryFolder::~LibraryFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(folder_, ignored);
}

std::string LibraryFolder::Path(const std::string& name) const {
  return msxhost::JoinPath(folder_, name);
}

}  // namespace msxtest
