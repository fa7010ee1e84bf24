// The POSIX settings file's INI rules: what reads find, and what a write
// changes (only the one line) and where it puts what is new.
#include <gtest/gtest.h>

#include "platform/IniText.h"

namespace msx::platform::ini {
namespace {

constexpr const char* kText =
    "top = 1\r\n"
    "; a comment\r\n"
    "[TradeFile]\r\n"
    "  author =  \"Ann Lee\" \r\n"
    "Directory=\r\n"
    "\r\n"
    "[C:\\Data\\SEC1(D)]\n"
    "ClassCode=QJSIM\n"
    "[tradefile]\r\n"
    "Author=second section, never read\r\n"
    "[Empty]\r\n"
    "; only a comment\r\n";

TEST(IniText, NamesIgnoreCaseValuesLoseBlanksAndOnePairOfQuotes) {
  EXPECT_EQ(Find(kText, "TRADEFILE", "AUTHOR"), "Ann Lee");
  EXPECT_EQ(Find(kText, "TradeFile", "Directory"), "");
  EXPECT_EQ(Find(kText, "c:\\data\\sec1(d)", "classcode"), "QJSIM");  // LF endings too
  EXPECT_EQ(Find(kText, "", "top"), "1");  // keys before the first header
  EXPECT_EQ(Find(kText, "TradeFile", "top"), std::nullopt);
  EXPECT_EQ(Find(kText, "Missing", "Author"), std::nullopt);
  EXPECT_EQ(Find("[A]\nk='x'\nq=\"y'\n", "A", "k"), "x");
  EXPECT_EQ(Find("[A]\nk='x'\nq=\"y'\n", "A", "q"), "\"y'");
  EXPECT_EQ(Find("[A]\nk=a=b\n", "A", "k"), "a=b");  // the key ends at the first "="
  EXPECT_EQ(Find("[a]b]\nk=1\n", "a]b", "k"), "1");  // the name ends at the last "]"
}

TEST(IniText, ASectionExistsOnlyWithAKey) {
  EXPECT_TRUE(SectionHasKeys(kText, "TradeFile"));
  EXPECT_TRUE(SectionHasKeys(kText, ""));
  EXPECT_FALSE(SectionHasKeys(kText, "Empty"));
  EXPECT_FALSE(SectionHasKeys(kText, "Missing"));
  EXPECT_FALSE(SectionHasKeys("", ""));
}

TEST(IniText, AWriteChangesOneLineAndKeepsEveryOtherByte) {
  const std::string changed = Set(kText, "tradefile", "AUTHOR", "Bob");
  std::string expected = kText;
  expected.replace(expected.find("  author ="), std::string("  author =  \"Ann Lee\" ").size(),
                   "author=Bob");
  EXPECT_EQ(changed, expected);
}

TEST(IniText, NewKeysFollowTheSectionsLastKeyNewSectionsGoAtTheEnd) {
  EXPECT_EQ(Set("[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n", "a", "z", "3"),
            "[A]\r\nx=1\r\nz=3\r\n\r\n[B]\r\ny=2\r\n");
  EXPECT_EQ(Set("[A]", "A", "z", "3"), "[A]\r\nz=3\r\n");
  EXPECT_EQ(Set("[A]\r\nx=1", "B", "y", "2"), "[A]\r\nx=1\r\n[B]\r\ny=2\r\n");
  EXPECT_EQ(Set("", "TradeQuik", "TransId", "2"), "[TradeQuik]\r\nTransId=2\r\n");
  EXPECT_EQ(Set("[A]\r\nx=1\r\n", "", "ClassCode", ""), "ClassCode=\r\n[A]\r\nx=1\r\n");
  EXPECT_EQ(Set("; note\r\n[A]\r\n", "A", "k", "v"), "; note\r\n[A]\r\nk=v\r\n");
}

// A file whose last line lacks only the LF of its CR LF: a line written
// after it must not leave a second CR in that line's value.
TEST(IniText, ALastLineCutAfterItsCrKeepsItsValueWhenALineFollows) {
  const std::string newSection = Set("[A]\r\nx=1\r", "B", "y", "2");
  EXPECT_EQ(newSection, "[A]\r\nx=1\r\n[B]\r\ny=2\r\n");
  EXPECT_EQ(Find(newSection, "A", "x"), "1");
  const std::string newKey = Set("k=\r", "", "y", "2");
  EXPECT_EQ(newKey, "k=\r\ny=2\r\n");
  EXPECT_EQ(Find(newKey, "", "k"), "");
}

TEST(IniText, WhatIsWrittenReadsBack) {
  std::string text;
  const std::string long2047(2047, 'v');
  for (const char* section : {"TradeQuik", "C:\\Data\\SEC1(D)", "", "x[y"})
    for (const char* key : {"TransId", "DateTime_ACC_CL_1", "ClassCode"}) {
      text = Set(text, section, key, long2047 + section + key);
      EXPECT_EQ(Find(text, section, key), long2047 + section + key) << section << key;
    }
}

}  // namespace
}  // namespace msx::platform::ini
