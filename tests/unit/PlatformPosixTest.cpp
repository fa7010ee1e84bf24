// The POSIX port of the platform seam: the code page a locale gives, the
// conversion, appends and the paths.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/Platform.h"

namespace msx::platform {
namespace {

// Sets the three locale variables for one test and restores them after.
class LocaleScope {
 public:
  LocaleScope(const char* all, const char* ctype, const char* lang) {
    for (int i = 0; i < 3; ++i) {
      const char* v = std::getenv(kNames[i]);
      saved_[i] = v != nullptr ? v : "";
      had_[i] = v != nullptr;
    }
    Set("LC_ALL", all);
    Set("LC_CTYPE", ctype);
    Set("LANG", lang);
  }
  ~LocaleScope() {
    for (int i = 0; i < 3; ++i) Set(kNames[i], had_[i] ? saved_[i].c_str() : nullptr);
  }

 private:
  static void Set(const char* name, const char* value) {
    if (value != nullptr)
      setenv(name, value, 1);
    else
      unsetenv(name);
  }
  static constexpr const char* kNames[3] = {"LC_ALL", "LC_CTYPE", "LANG"};
  std::string saved_[3];
  bool had_[3] = {};
};

TEST(OemCodePage, FollowsTheLanguageAsWindowsAssignsIt) {
  const struct {
    const char* locale;
    int32_t codePage;
  } cases[] = {{"ru_RU.UTF-8", 866}, {"ru_RU.CP1251", 866}, {"uk_UA.UTF-8", 866},
               {"C", 437},           {"POSIX", 437},        {"C.UTF-8", 437},
               {"en_US.UTF-8", 437}, {"en_GB", 437},        {"de_DE.ISO-8859-1", 850},
               {"fr_FR@euro", 850},  {"pl_PL.UTF-8", 852},  {"el_GR.UTF-8", 737}};
  for (const auto& c : cases) {
    LocaleScope scope(c.locale, nullptr, nullptr);
    EXPECT_EQ(OemCodePage(), c.codePage) << c.locale;
  }
}

TEST(OemCodePage, LcAllThenLcCtypeThenLang) {
  {
    LocaleScope scope(nullptr, nullptr, "ru_RU.UTF-8");
    EXPECT_EQ(OemCodePage(), 866);
  }
  {
    LocaleScope scope(nullptr, "de_DE.UTF-8", "ru_RU.UTF-8");
    EXPECT_EQ(OemCodePage(), 850);
  }
  {
    LocaleScope scope("ru_RU.UTF-8", "de_DE.UTF-8", "en_US.UTF-8");
    EXPECT_EQ(OemCodePage(), 866);
  }
  {
    LocaleScope scope("", "", "");  // empty counts as unset
    EXPECT_EQ(OemCodePage(), 437);
  }
}

TEST(ConvertAnsiToOem, Utf8TextStaysAsItIsAndTheLengthNeverChanges) {
  LocaleScope utf8("ru_RU.UTF-8", nullptr, nullptr);
  std::string text = "\xD0\x90 abc";  // CYRILLIC CAPITAL A in UTF-8
  ConvertAnsiToOem(text.data(), text.size());
  EXPECT_EQ(text, "\xD0\x90 abc");
  LocaleScope latin1("de_DE.ISO-8859-1", nullptr, nullptr);
  std::string umlaut = "\xE4\xF6\xFC!";  // a o u with diaeresis in Latin-1
  ConvertAnsiToOem(umlaut.data(), umlaut.size());
  EXPECT_EQ(umlaut, "\x84\x94\x81!");  // the same letters in code page 850
}

TEST(AppendToFile, ReportsAMissingFolderAndAppendsOtherwise) {
  EXPECT_EQ(AppendToFile(::testing::TempDir() + "no/such/dir/f.txt", "x").code,
            StatusCode::kNotFound);
  const std::string path = ::testing::TempDir() + "platform_append.txt";
  std::remove(path.c_str());
  EXPECT_TRUE(AppendToFile(path, "ab").ok());
  EXPECT_TRUE(AppendToFile(path, "cd").ok());
  std::FILE* f = std::fopen(path.c_str(), "rb");
  ASSERT_NE(f, nullptr);
  char buffer[8] = {};
  EXPECT_EQ(std::fread(buffer, 1, sizeof buffer, f), 4u);
  std::fclose(f);
  EXPECT_STREQ(buffer, "abcd");
  std::remove(path.c_str());
}

TEST(Paths, TheProgramAndTheModuleContainingTheLibrary) {
  const std::string program = HostProgramPath();
  EXPECT_NE(program.find("msx_unit_tests"), std::string::npos) << program;
  // Linked statically into the tests, the library's code lives in the program.
  EXPECT_EQ(LibraryPath(), program);
}

}  // namespace
}  // namespace msx::platform
