#include <gtest/gtest.h>

#include "host/Token.h"

namespace msx {
namespace {

TEST(Token, CountsFieldsFromOneWithEmptyFieldsIncluded) {
  EXPECT_EQ(Token("abc", 1, ','), "abc");
  EXPECT_EQ(Token("a,b,,c", 1, ','), "a");
  EXPECT_EQ(Token("a,b,,c", 3, ','), "");
  EXPECT_EQ(Token("a,b,,c", 4, ','), "c");
  EXPECT_EQ(Token("a,", 2, ','), "");  // a trailing empty field
}

TEST(Token, MissingFieldsAreEmpty) {
  EXPECT_EQ(Token("abc", 2, ','), "");
  EXPECT_EQ(Token("abc", 0, ','), "");
  EXPECT_EQ(Token("abc", -7, ','), "");
  EXPECT_EQ(Token("", 1, ','), "");
  EXPECT_EQ(Token("a,b", 3, ','), "");
  EXPECT_EQ(Token("a,b", 2147483647, ','), "");
}

TEST(Token, NestedFieldsOfACustomStringList) {
  const std::string entry = Token("Up,0;U,0;", 2, ';');
  EXPECT_EQ(entry, "U,0");
  EXPECT_EQ(Token(entry, 1, ','), "U");
  EXPECT_EQ(Token(entry, 2, ','), "0");
  EXPECT_EQ(Token("Up,0;U,0;", 3, ';'), "");  // after the closing ";"
}

TEST(Token, LeadingTokensAreTheFirstFieldsInOnePass) {
  for (const char* text : {"a,b,,c", "abc", "", "a,", ",,", "20040302,1030000,1.5,9"}) {
    std::string_view fields[5];
    LeadingTokens(text, ',', fields);
    for (int32_t k = 0; k < 5; ++k) EXPECT_EQ(fields[k], Token(text, k + 1, ',')) << text << k;
  }
}

}  // namespace
}  // namespace msx
