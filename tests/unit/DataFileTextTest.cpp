// The data file's text: value and date-time columns byte for byte, the
// file-name template, the period texts, the lines a reader sees.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "FaultOf.h"
#include "exchange/DataFileText.h"
#include "common/NumberText.h"

namespace msx {
namespace {

std::string ValueText(float v) {
  std::string s;
  AppendValueText(s, v);
  return s;
}

TEST(ValueText, SixSignificantDigitsAndTheExponentRule) {
  EXPECT_EQ(ValueText(1234.5f), "1234.5");
  EXPECT_EQ(ValueText(0.5f), "0.5");
  EXPECT_EQ(ValueText(1000000.0f), "1E6");
  EXPECT_EQ(ValueText(-0.00002f), "-2E-5");
  EXPECT_EQ(ValueText(123.4567f), "123.457");
  EXPECT_EQ(ValueText(1234567.0f), "1.23457E6");
  EXPECT_EQ(ValueText(0.00001234f), "1.234E-5");
  EXPECT_EQ(ValueText(123456.0f), "123456");
  EXPECT_EQ(ValueText(0.0001f), "0.0001");  // E = -3: still fixed
  EXPECT_EQ(ValueText(-2.5f), "-2.5");
  EXPECT_EQ(ValueText(100.34f), "100.34");  // the float's binary tail rounds away
  EXPECT_EQ(ValueText(999999.5f), "1E6");   // rounding carries into a new digit
  EXPECT_EQ(ValueText(3.4028235e38f), "3.40282E38");
  EXPECT_EQ(ValueText(1e-45f), "1.4013E-45");  // the smallest denormal
}

TEST(ValueText, ZeroAndTheValuesThatAreNoNumbers) {
  EXPECT_EQ(ValueText(0.0f), "0");
  EXPECT_EQ(ValueText(-0.0f), "0");
  EXPECT_EQ(ValueText(std::numeric_limits<float>::infinity()), "INF");
  EXPECT_EQ(ValueText(-std::numeric_limits<float>::infinity()), "-INF");
  EXPECT_EQ(ValueText(std::numeric_limits<float>::quiet_NaN()), "NAN");
  EXPECT_EQ(ValueText(-std::numeric_limits<float>::quiet_NaN()), "-NAN");
}

// The exact rounding of the float's binary value (snprintf's), also where
// the float's own shortest text would round the other way.
TEST(ValueText, EveryFiniteTextReadsBackAsTheSixDigitRounding) {
  // Shortest texts that are halfway between two roundings: the float decides.
  EXPECT_EQ(ValueText(1.0000005f), "1");          // exactly 1.00000047...
  EXPECT_EQ(ValueText(1.0000015f), "1");          // exactly 1.00000154...
  EXPECT_EQ(ValueText(0.1234565f), "0.123457");   // exactly 0.12345650047...
  EXPECT_EQ(ValueText(100.00045f), "100");        // eight digits, rounded down
  EXPECT_EQ(ValueText(1.0000055f), "1.00001");    // exactly 1.00000548...
  EXPECT_EQ(ValueText(8388607.5f), "8.38861E6");  // eight digits, rounded as text
  std::mt19937 random(7);
  std::uniform_int_distribution<uint32_t> bits;
  for (int n = 0; n < 400000; ++n) {
    const uint32_t b = bits(random);
    float v;
    std::memcpy(&v, &b, sizeof v);
    if (!std::isfinite(v)) continue;
    const std::string text = ValueText(v);
    ASSERT_EQ(text.find_first_not_of("0123456789.E-"), std::string::npos) << text;
    char expected[64];
    std::snprintf(expected, sizeof expected, "%.5e", static_cast<double>(v));
    ASSERT_EQ(std::strtod(text.c_str(), nullptr), std::strtod(expected, nullptr)) << text;
  }
}

TEST(BasicDateTime, EightAndSevenDigitsZeroPadded) {
  std::string s;
  AppendBasicDateTime(s, 20040302, 1030000);
  EXPECT_EQ(s, "20040302,1030000");
  s.clear();
  AppendBasicDateTime(s, 10101, 5);
  EXPECT_EQ(s, "00010101,0000005");
  s.clear();
  AppendBasicDateTime(s, -5, 123456789);
  EXPECT_EQ(s, "-00000005,123456789");
}

TEST(ExpandDataFileName, PlaceholdersAndDroppedPairs) {
  EXPECT_EQ(ExpandDataFileName("C:\\data\\%S_%P.txt", "ABC", "D"), "C:\\data\\ABC_D.txt");
  EXPECT_EQ(ExpandDataFileName("100%%", "X", "D"), "100%");
  EXPECT_EQ(ExpandDataFileName("a%xb", "X", "D"), "ab");
  EXPECT_EQ(ExpandDataFileName("%x", "X", "D"), "%x");  // empty: the template itself
  EXPECT_EQ(ExpandDataFileName("%s%p", "X", "D"), "%s%p");
  EXPECT_EQ(ExpandDataFileName("ab%", "X", "D"), "ab");
  EXPECT_EQ(ExpandDataFileName("%", "X", "D"), "%");
  EXPECT_EQ(ExpandDataFileName("", "X", "D"), "");
  EXPECT_EQ(ExpandDataFileName("%S", "", "D"), "%S");
  EXPECT_EQ(ExpandDataFileName("%S%P%%%S", "XYZ", "15"), "XYZ15%XYZ");
}

TEST(ExpandDataFileName, RandomTemplatesStayInBounds) {
  std::mt19937 random(11);
  const std::string alphabet = "%SPsp%%ab\\/.\0";
  for (int n = 0; n < 20000; ++n) {
    std::string t(random() % 12, ' ');
    for (char& c : t) c = alphabet[random() % alphabet.size()];
    const std::string name = ExpandDataFileName(t, "SYM", "D");
    EXPECT_LE(name.size(), t.size() * 3);
  }
}

HostDataRecord Chart(char period, int32_t interval) {
  HostDataRecord d{};
  d.period =
      static_cast<int32_t>(0x4200 | static_cast<unsigned char>(period));  // high bytes ignored
  d.interval = interval;
  return d;
}

TEST(PeriodText, WritersAndReader) {
  for (char letter : {'D', 'W', 'M', 'Q', 'Y'}) {
    EXPECT_EQ(PeriodTag(Chart(letter, 0)), std::string(1, letter));
    EXPECT_EQ(ReaderPeriodText(Chart(letter, 5)), "D");
  }
  EXPECT_EQ(PeriodTag(Chart('I', 5)), "5");
  EXPECT_EQ(ReaderPeriodText(Chart('I', 5)), "5");
  EXPECT_EQ(PeriodTag(Chart('I', 0)), "T");
  EXPECT_EQ(ReaderPeriodText(Chart('I', 0)), "T");
  EXPECT_EQ(PeriodTag(Chart('I', -3)), "-3");
  EXPECT_EQ(PeriodTag(Chart('X', 0)), "");
  EXPECT_EQ(ReaderPeriodText(Chart('X', 0)), "D");
  EXPECT_EQ(PeriodTag(Chart('d', 0)), "");  // the letters are upper case
}

std::vector<std::string> Lines(std::string text) {
  DataLines lines;
  lines.Assign(std::move(text));
  std::vector<std::string> out;
  for (std::size_t k = 0; k < lines.size(); ++k) out.emplace_back(lines[k]);
  return out;
}

TEST(DataLines, CrLfLoneCrAndLoneLfEndLines) {
  using V = std::vector<std::string>;
  EXPECT_EQ(Lines("a\r\nb\r\n\r\n"), (V{"a", "b", ""}));  // a writer's file
  EXPECT_EQ(Lines("\r\n"), (V{""}));                      // an empty range's file
  EXPECT_EQ(Lines(""), V{});
  EXPECT_EQ(Lines("a\rb\nc"), (V{"a", "b", "c"}));
  EXPECT_EQ(Lines("a\n\rb"), (V{"a", "", "b"}));                     // LF CR is two ends
  EXPECT_EQ(Lines(std::string("a\r\nb\0c\r\n", 8)), (V{"a", "b"}));  // NUL ends the text
}

}  // namespace
}  // namespace msx
