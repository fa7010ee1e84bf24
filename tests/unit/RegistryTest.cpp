// The registry, the describe routines and the load order.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/MSX_QMR_CommonFunc.h"
#include "host/Export.h"
#include "host/HelpText.h"
#include "host/MSX_QMR.h"
#include "host/Registry.h"

MSX_EXPORT int32_t MSX_CALL MSXInfo(msx::LibraryDescription*);
MSX_EXPORT int32_t MSX_CALL MSXNthFunction(int32_t, msx::FunctionDescription*);
MSX_EXPORT int32_t MSX_CALL MSXNthArg(int32_t, int32_t, msx::ArgumentDescription*);
MSX_EXPORT int32_t MSX_CALL MSXNthCustomString(int32_t, int32_t, int32_t,
                                               msx::CustomStringDescription*);

namespace msx {
namespace {

// Loads the library under a locale, restoring the environment afterwards.
void LoadUnder(const char* locale) {
  const char* saved = std::getenv("LC_ALL");
  const std::string restore = saved != nullptr ? saved : "";
  setenv("LC_ALL", locale, 1);
  LibraryLoad();
  if (saved != nullptr)
    setenv("LC_ALL", restore.c_str(), 1);
  else
    unsetenv("LC_ALL");
}

TEST(CodePageFlag, FollowsTheOemCodePage) {
  LoadUnder("ru_RU.UTF-8");
  EXPECT_TRUE(CodePageFlag());
  LoadUnder("ru_RU.CP1251");
  EXPECT_TRUE(CodePageFlag());
  for (const char* clear : {"C", "POSIX", "en_US.UTF-8", "de_DE.ISO-8859-1", "fr_FR"}) {
    LoadUnder(clear);
    EXPECT_FALSE(CodePageFlag()) << clear;
  }
}

TEST(Registry, NrtrIsFunctionZero) {
  LoadUnder("C");
  FunctionDescription f{};
  ASSERT_EQ(MSXNthFunction(0, &f), 0);
  EXPECT_STREQ(f.name, "NRTR");
  EXPECT_STREQ(f.description,
               "\"New Russian\" Trailing Reverse Function based on percentage channel");
  EXPECT_EQ(f.argumentCount, 2);
  ArgumentDescription a{};
  ASSERT_EQ(MSXNthArg(0, 1, &a), 0);
  EXPECT_EQ(a.type, kSeriesArg);
  EXPECT_STREQ(a.name, "Koefficient[]");
  EXPECT_EQ(a.customStringCount, 0);
}

TEST(Registry, IndexesOutsideTheRegistryAreRefused) {
  LoadUnder("C");
  LibraryDescription info{};
  ASSERT_EQ(MSXInfo(&info), 0);
  const int32_t count = info.functionCount;
  FunctionDescription f{};
  ArgumentDescription a{};
  CustomStringDescription c{};
  for (int32_t bad : {count, -1, 1024, 1025}) {
    EXPECT_EQ(MSXNthFunction(bad, &f), -1) << bad;
    EXPECT_EQ(MSXNthArg(bad, 0, &a), -1) << bad;
    EXPECT_EQ(MSXNthCustomString(bad, 0, 0, &c), -1) << bad;
  }
  EXPECT_EQ(MSXNthArg(0, 2, &a), -1);
  EXPECT_EQ(MSXNthArg(0, -1, &a), -1);
  EXPECT_EQ(MSXNthCustomString(0, 0, 0, &c), -1);  // no custom strings
}

TEST(Registry, MSXInfoReportsCountVersionAndAShortText) {
  LoadUnder("C");
  LibraryDescription info{};
  ASSERT_EQ(MSXInfo(&info), 0);
  EXPECT_EQ(info.functionCount, gFunctionRegistry.count);
  EXPECT_EQ(info.version, 1);
  EXPECT_EQ(std::string(info.text).rfind("ver. 1.8.0.11 ", 0), 0u);
  EXPECT_LE(std::string(info.text).size(), 99u);
}

// A table with choices, for the custom-string routine.
constexpr ArgumentRow kChoiceArgs[] = {
    {kSeriesArg, "Close[]", 0, ""},
    {kCustomArg, "[Up|U|Dn|D|Auto|A|Long|L|Short|S|Both|B]", 12,
     "Up,0;U,0;Dn,1;D,1;Auto,2;A,2;Long,3;L,3;Short,4;S,4;Both,5;B,5;"},
    {kCustomArg, "[Broken]", 2, "NoId;Text,x1;"},
};
constexpr const char* kChoiceHelp[] = {"CHOICE - a test function", "          credit"};
constinit const FunctionTable kChoiceTable{
    "CHOICE", "Choice test", kChoiceArgs, kChoiceHelp, true, false, {}};

TEST(DescribeCustomString, ReadsTheChoicesByPosition) {
  CustomStringDescription c{};
  ASSERT_EQ(DescribeCustomString(kChoiceTable, 1, 0, &c), 0);
  EXPECT_STREQ(c.text, "Up");
  EXPECT_EQ(c.id, 0);
  ASSERT_EQ(DescribeCustomString(kChoiceTable, 1, 11, &c), 0);
  EXPECT_STREQ(c.text, "B");
  EXPECT_EQ(c.id, 5);
  ASSERT_EQ(DescribeCustomString(kChoiceTable, 1, 4, &c), 0);
  EXPECT_STREQ(c.text, "Auto");
  EXPECT_EQ(c.id, 2);
}

TEST(DescribeCustomString, MissingOrMalformedEntriesAreRefusedUnwritten) {
  CustomStringDescription c{};
  c.id = 99;
  EXPECT_EQ(DescribeCustomString(kChoiceTable, 1, 12, &c), -1);
  EXPECT_EQ(DescribeCustomString(kChoiceTable, 1, -1, &c), -1);
  EXPECT_EQ(DescribeCustomString(kChoiceTable, 1, 2147483647, &c), -1);
  EXPECT_EQ(DescribeCustomString(kChoiceTable, 0, 0, &c), -1);
  EXPECT_EQ(DescribeCustomString(kChoiceTable, 2, 0, &c), -1);  // no ID
  EXPECT_EQ(DescribeCustomString(kChoiceTable, 2, 1, &c), -1);  // ID not a number
  EXPECT_EQ(DescribeCustomString(kChoiceTable, 3, 0, &c), -1);
  EXPECT_EQ(c.id, 99);
}

TEST(Registration, CodePageFunctionsNeedTheFlag) {
  constinit static const FunctionTable kCyrillicOnly{
      "CYR", "Cyrillic only", kChoiceArgs, kChoiceHelp, false, true, {}};
  LoadUnder("C");
  const int32_t before = gFunctionRegistry.count;
  const std::string helpBefore(gHelpText.View());
  RegisterFunction<kCyrillicOnly>();
  EXPECT_EQ(gFunctionRegistry.count, before);
  EXPECT_EQ(gHelpText.View(), helpBefore);
  SetCodePageFlag(true);
  RegisterFunction<kCyrillicOnly>();
  SetCodePageFlag(false);
  EXPECT_EQ(gFunctionRegistry.count, before + 1);
  EXPECT_EQ(std::string(gHelpText.View()),
            helpBefore + "CHOICE - a test function\r\n          credit\r\n");
  LoadUnder("C");
}

TEST(Registration, AFullRegistrySkipsTheRowButKeepsTheHelpLines) {
  LoadUnder("C");
  const int32_t offered = gFunctionRegistry.count;
  while (gFunctionRegistry.count < kRegistryRows) RegisterFunction<kChoiceTable>();
  gHelpText.Clear();
  RegisterFunction<kChoiceTable>();
  EXPECT_EQ(gFunctionRegistry.count, kRegistryRows);
  EXPECT_EQ(std::string(gHelpText.View()), "CHOICE - a test function\r\n          credit\r\n\r\n");
  LoadUnder("C");
  EXPECT_EQ(gFunctionRegistry.count, offered);
}

TEST(HelpText, EveryGroupEndsWithCrLfAndAnEmptyLine) {
  LoadUnder("C");
  const std::string help(gHelpText.View());
  EXPECT_EQ(
      help.rfind(
          "NRTR -    \"New Russian\" Trailing Reverse Function based on percentage channel\r\n"
          "          ",
          0),
      0u);
  EXPECT_EQ(help.substr(help.size() - 4), "\r\n\r\n");
}

// JMA and JTPO register, and append their groups, only under code page 866:
// then in this order after the always-offered functions, each group a title,
// one credit line and an empty line.
TEST(HelpText, CodePageFunctionsOnlyUnderCodePage866) {
  auto names = [] {
    std::string all;
    for (int32_t i = 0; i < gFunctionRegistry.count; ++i)
      all += std::string(gFunctionRegistry.rows[i].name) + " ";
    return all;
  };
  LoadUnder("C");
  EXPECT_EQ(std::string(gHelpText.View()).find("JMA -"), std::string::npos);
  EXPECT_EQ(names().find("JMA"), std::string::npos);
  LoadUnder("ru_RU.UTF-8");
  const std::string help(gHelpText.View());
  const std::size_t jma = help.find("\r\n\r\nJMA -  function is based on the ");
  const std::size_t jtpo = help.find("\r\n\r\nJTPO - function is based on the ");
  ASSERT_NE(jma, std::string::npos);
  ASSERT_NE(jtpo, std::string::npos);
  EXPECT_LT(jma, jtpo);
  const std::string jmaGroup = help.substr(jma + 4, jtpo - jma);
  EXPECT_EQ(std::count(jmaGroup.begin(), jmaGroup.end(), '\n'), 3) << jmaGroup;
  EXPECT_NE(jmaGroup.find("\r\n          "), std::string::npos);
  EXPECT_NE(names().find(" JMA JTPO "), std::string::npos) << names();
  LoadUnder("C");
}


// Every group under code page 866: its title lines as the host program shows
// them, then its credit lines (ten blanks first), then an empty line but
// after TradeQuik's.
TEST(HelpText, EveryGroupsTitleAndCreditLines) {
  struct Group {
    std::vector<std::string> titles;  // a title ending in "..." is a beginning
    int credits;
  };
  const Group groups[] = {
      {{"NRTR -    \"New Russian\" Trailing Reverse Function based on percentage channel"}, 2},
      {{"NRTR_WATR - North Russian Trailing Reverse Function based on Weighted Average True "
        "Range",
        "          with Multiplier."},
       5},
      {{"CER - Centered Extremum Range Function"}, 2},
      {{"RENKO_WATR - Renko-Adaptive Function (based on ATR)"}, 1},
      {{"TradeFile -  stores a simulated trade history in a file to use with..."}, 1},
      {{"WriteData  - stores any data in a file. "}, 1},
      {{"WriteDataEx  - stores multiple column of data in a file. "}, 1},
      {{"ReadData - Reads data from the external file created by an another chart."}, 1},
      {{"JMA -  function is based on the..."}, 1},
      {{"JTPO - function is based on the..."}, 1},
      {{"TradeQuik - write an order information into a transaction file for Quik and "
        "NetInvestor"},
       1},
  };
  LoadUnder("ru_RU.UTF-8");
  std::vector<std::string> lines;
  const std::string help(gHelpText.View());
  for (std::size_t at = 0; at < help.size();) {
    const std::size_t end = help.find("\r\n", at);
    ASSERT_NE(end, std::string::npos) << "every line ends with CR LF";
    lines.push_back(help.substr(at, end - at));
    at = end + 2;
  }
  std::size_t i = 0;
  for (const Group& g : groups) {
    for (const std::string& title : g.titles) {
      ASSERT_LT(i, lines.size());
      if (title.ends_with("...")) {
        EXPECT_EQ(lines[i].rfind(title.substr(0, title.size() - 3), 0), 0u) << lines[i];
        if (title.starts_with("TradeFile")) {
          EXPECT_TRUE(lines[i].ends_with(". ")) << lines[i];
        }
      } else {
        EXPECT_EQ(lines[i], title);
      }
      ++i;
    }
    for (int c = 0; c < g.credits; ++c, ++i) {
      ASSERT_LT(i, lines.size());
      EXPECT_EQ(lines[i].rfind("          ", 0), 0u) << lines[i];
      EXPECT_GT(lines[i].size(), 10u);
    }
    if (g.titles[0].starts_with("TradeQuik")) break;
    ASSERT_LT(i, lines.size());
    EXPECT_EQ(lines[i++], "") << g.titles[0];
  }
  EXPECT_EQ(i, lines.size()) << "nothing after TradeQuik's credit line";
  LoadUnder("C");
}

}  // namespace
}  // namespace msx
