// A folder of a test's own under the test temporary folder, emptied when
// made and removed when the test ends, a failed assertion included.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <system_error>

namespace msx {

class TempFolder {
 public:
  // Named after the running test and tag.
  explicit TempFolder(const std::string& tag = "") {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = tag;
    if (info != nullptr) name += std::string(info->test_suite_name()) + "_" + info->name();
    for (char& c : name)
      if (c == '/') c = '_';  // parameterised tests
    path_ = ::testing::TempDir() + name;
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // Empties the folder.
  void Clear() const {
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  const std::string& Path() const { return path_; }
  // The path of name inside the folder.
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

}  // namespace msx
