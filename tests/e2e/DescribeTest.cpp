// What the host sees when it asks the built library to describe itself.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "LibraryFixture.h"
#include "host/MSXStruct.h"
#include "platform/Platform.h"

namespace msxtest {
namespace {

using namespace msx;

struct Expected {
  const char* name;
  const char* description;
  std::vector<std::string> arguments;
  bool codePageOnly;
};

// Every function in the host's order.
const std::vector<Expected>& AllFunctions() {
  static const std::vector<Expected> all = {
      {"NRTR",
       "\"New Russian\" Trailing Reverse Function based on percentage channel",
       {"Close[]", "Koefficient[]"},
       false},
      {"NRTR_WATR",
       "NRTR based on Weighted Average True Range with Multiplier",
       {"Close[]", "Length[]", "Multiplier[]"},
       false},
      {"CER", "Centered Extremum Range", {"Close[]", "Length"}, false},
      {"RENKO_WATR",
       "Renko-Adaptive indicator (based on ATR) ",
       {"Close[]", "Multiplier", "Smooth", "[Up|U|Dn|D|Auto|A|Long|L|Short|S|Both|B]"},
       false},
      {"TradeFile",
       "TradeFile stores a simulated trade history in a file",
       {"Close[]", "BuySell[]", "[Long|L|Short|S|Both|B]", "\"Strategy\""},
       false},
      {"WriteData", "Write Data into a file", {"DataArray[]", "\"FileName\""}, false},
      {"WriteDataEx",
       "Write multiple data columns into a file",
       {"\"FormatString\"", "DataArray1[]", "DataArray2[]", "DataArray3[]", "DataArray4[]",
        "DataArray5[]", "DataArray6[]", "DataArray7[]", "\"FileName\""},
       false},
      {"ReadData", "Read Data from a file", {"\"FileName\""}, false},
      {"JMA", "JMA", {"Close[]", "Length", "Phase"}, true},
      {"JTPO", "JTPO", {"Close[]", "Length"}, true},
      {"TradeQuik",
       "TradeQuik",
       {"ShortLong[]", "\"Account\"", "\"Client_Code\"", "[Limit|L|Market|M]", "Price[]",
        "Quantity[]", "Ident"},
       true},
  };
  return all;
}

bool Cyrillic() { return platform::OemCodePage() == 866; }

template <class F>
F Entry(const char* name) {
  void* p = Library().FindSymbol(name);
  EXPECT_NE(p, nullptr) << name;
  return reinterpret_cast<F>(p);
}
using InfoFn = int32_t(MSX_CALL*)(LibraryDescription*);
using NthFunctionFn = int32_t(MSX_CALL*)(int32_t, FunctionDescription*);
using NthArgFn = int32_t(MSX_CALL*)(int32_t, int32_t, ArgumentDescription*);
using NthCustomFn = int32_t(MSX_CALL*)(int32_t, int32_t, int32_t, CustomStringDescription*);

TEST(Describe, TheOfferedFunctionsInTheHostsOrder) {
  std::vector<const Expected*> offered;
  for (const Expected& e : AllFunctions())
    if (!e.codePageOnly || Cyrillic()) offered.push_back(&e);
  const auto& info = Library().info();
  ASSERT_EQ(info.functionCount, static_cast<int32_t>(offered.size()));
  ASSERT_EQ(info.functions.size(), offered.size());
  for (size_t i = 0; i < offered.size(); ++i) {
    const auto& f = info.functions[i];
    EXPECT_EQ(f.name, offered[i]->name);
    EXPECT_EQ(f.description, offered[i]->description);
    ASSERT_EQ(f.arguments.size(), offered[i]->arguments.size()) << f.name;
    for (size_t a = 0; a < f.arguments.size(); ++a)
      EXPECT_EQ(f.arguments[a].name, offered[i]->arguments[a]) << f.name;
  }
}

// RENKO_WATR's mode: twelve texts, two for each of the six modes, read
// through MSXNthCustomString; an index beyond the list is refused.
TEST(Describe, RenkoModesOfferEveryTextWithItsId) {
  const msxhost::FunctionInfo* renko = Library().FindFunction("RENKO_WATR");
  ASSERT_NE(renko, nullptr);
  ASSERT_EQ(renko->arguments.size(), 4u);
  const auto& mode = renko->arguments[3];
  EXPECT_EQ(mode.type, kCustomArg);
  std::string list;
  for (const auto& c : mode.choices) list += c.text + "," + std::to_string(c.id) + ";";
  EXPECT_EQ(list, "Up,0;U,0;Dn,1;D,1;Auto,2;A,2;Long,3;L,3;Short,4;S,4;Both,5;B,5;");
  CustomStringDescription c{};
  EXPECT_EQ(Entry<NthCustomFn>("MSXNthCustomString")(3, 3, 12, &c), -1);
  EXPECT_EQ(Entry<NthCustomFn>("MSXNthCustomString")(3, 2, 0, &c), -1);  // Smooth is a number
}

TEST(Describe, LibraryTextAndInterfaceVersion) {
  const auto& info = Library().info();
  EXPECT_EQ(info.version, 1);
  EXPECT_EQ(info.text.rfind("ver. 1.8.0.11 ", 0), 0u) << info.text;
  EXPECT_LE(info.text.size(), 99u);
}

TEST(Describe, IndexesOutOfRangeAreRefusedByAllThreeEntryPoints) {
  auto nthFunction = Entry<NthFunctionFn>("MSXNthFunction");
  auto nthArg = Entry<NthArgFn>("MSXNthArg");
  auto nthCustom = Entry<NthCustomFn>("MSXNthCustomString");
  LibraryDescription info{};
  ASSERT_EQ(Entry<InfoFn>("MSXInfo")(&info), 0);
  FunctionDescription f{};
  ArgumentDescription a{};
  CustomStringDescription c{};
  for (int32_t index : {info.functionCount, -1, 8, 11, 1025}) {
    if (index >= 0 && index < info.functionCount) continue;
    EXPECT_EQ(nthFunction(index, &f), -1) << index;
    EXPECT_EQ(nthArg(index, 0, &a), -1) << index;
    EXPECT_EQ(nthCustom(index, 0, 0, &c), -1) << index;
  }
  EXPECT_EQ(nthArg(0, 2, &a), -1);        // NRTR has two arguments
  EXPECT_EQ(nthCustom(0, 0, 0, &c), -1);  // and no choices
}

// The code page the library sees follows the system's locale (under Wine,
// the Unix locale Wine was started with). The suite's runner says which
// code page it expects.
TEST(Describe, CodePageFollowsTheLocale) {
  const char* expected = std::getenv("MSX_EXPECT_OEM_CODE_PAGE");
  if (expected == nullptr) GTEST_SKIP() << "MSX_EXPECT_OEM_CODE_PAGE not set";
  EXPECT_EQ(platform::OemCodePage(), std::atoi(expected));
}

}  // namespace
}  // namespace msxtest
