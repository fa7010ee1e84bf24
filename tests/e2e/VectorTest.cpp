// Every test vector through the built library, and a check that every
// function the library offers has vectors.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>

#include "Csv.h"
#include "Formula.h"
#include "HostError.h"
#include "LibraryFixture.h"
#include "TestVectors.h"

namespace msxtest {
namespace {

std::vector<std::string> AllVectorPaths() {
  std::vector<std::string> paths;
  for (const auto& [function, files] : VectorFiles())
    paths.insert(paths.end(), files.begin(), files.end());
  return paths;
}

class Vectors : public ::testing::TestWithParam<std::string> {};

TEST_P(Vectors, MatchesTheExpectedResult) {
  // The folder names the function; one offered only under another code page
  // has its vectors run where it is offered.
  const std::string function = std::filesystem::path(GetParam()).parent_path().filename().string();
  if (Library().FindFunction(function) == nullptr)
    GTEST_SKIP() << function << " is not offered under this system's OEM code page";
  const TestVector v = ReadVector(GetParam());
  const msxhost::Chart chart = msxhost::ParseCsv(v.csv, v.path);
  // The files a formula writes (by a bare name) go to a folder of the tests'.
  struct InFolder {
    std::filesystem::path before = std::filesystem::current_path();
    explicit InFolder(const std::string& folder) {
      std::filesystem::create_directories(folder);
      std::filesystem::current_path(folder);
    }
    ~InFolder() { std::filesystem::current_path(before); }
  } const written(OwnTempPath("vector_files_", ""));
  if (!v.error.empty()) {
    try {
      msxhost::EvaluateFormula(v.formula, chart, Library());
      FAIL() << v.formula << " succeeded; expected: " << v.error;
    } catch (const msxhost::HostError& e) {
      // The tester words the indicators' fixed text as having no reason.
      const std::string shown = v.error == "ResultRec.szExtendedError"
                                    ? function + " failed; the library gives no reason"
                                    : "returned -1: " + v.error;
      EXPECT_NE(std::string(e.what()).find(shown), std::string::npos) << e.what();
    }
    return;
  }
  const msxhost::FormulaResult r = msxhost::EvaluateFormula(v.formula, chart, Library());
  EXPECT_EQ(r.first, v.first) << v.formula;
  EXPECT_EQ(r.last, v.last) << v.formula;
  for (int32_t bar = v.first; bar <= v.last; ++bar) {
    const auto want = v.values.find(bar);
    ASSERT_NE(want, v.values.end()) << v.path << ": no expected value for bar " << bar;
    const float got = r.values[static_cast<size_t>(bar)];
    // Bit for bit: the library's results are exact.
    EXPECT_EQ(std::memcmp(&got, &want->second, sizeof got), 0)
        << v.path << " bar " << bar << ": got " << got << ", expected " << want->second;
  }
}

INSTANTIATE_TEST_SUITE_P(Files, Vectors, ::testing::ValuesIn(AllVectorPaths()),
                         [](const ::testing::TestParamInfo<std::string>& param) {
                           std::string name = param.param.substr(VectorFolder().size() + 1);
                           for (char& c : name)
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           return name;
                         });

TEST(Vectors, EveryOfferedFunctionHasVectors) {
  const auto files = VectorFiles();
  for (const auto& f : Library().info().functions) {
    const auto it = files.find(f.name);
    EXPECT_TRUE(it != files.end() && !it->second.empty())
        << f.name << " has no test vectors under " << VectorFolder() << "/" << f.name;
  }
}

}  // namespace
}  // namespace msxtest
