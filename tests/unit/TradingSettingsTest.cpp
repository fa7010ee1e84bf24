// The settings file: what a fresh load writes, the missing-key rule, the
// on-values, integers, names that cannot be stored, and that no crash or
// failed write ever leaves a damaged file or loses TransId (POSIX: the
// atomic replace).
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <thread>

#include "KilledChild.h"
#include "TradingFixture.h"
#include "platform/Platform.h"
#include "trading/MSX_QMR_TradeQUIK.h"

namespace msx {
namespace {

using SettingsFile = TradingTest;

TEST(SettingsPath, TheLibrarysPathWithIniForItsExtension) {
  EXPECT_EQ(SettingsPathFor("/opt/host/msx_qmr.so"), "/opt/host/msx_qmr.ini");
  EXPECT_EQ(SettingsPathFor("C:\\Host\\EXT\\MSX_QMR.DLL"), "C:\\Host\\EXT\\MSX_QMR.ini");
  EXPECT_EQ(SettingsPathFor("/opt/v1.2/msx_qmr"), "/opt/v1.2/msx_qmr.ini");
  EXPECT_EQ(SettingsPathFor(""), "");
}

TEST_F(SettingsFile, AFreshLoadListsEverySetting) {
  const TradingSettings& s = Load();
  EXPECT_EQ(ReadFile(SettingsPath()),
            "[TradeFile]\r\nAuthor=noname\r\nDirectory=\r\nClosePositionAtLastBar=no\r\n"
            "[TradeQuik]\r\nAccount=\r\nClientCode=\r\nFile=\r\nTemplate=" +
                std::string(kDefaultTemplate) + "\r\n");
  EXPECT_EQ(s.tradeFile.author, "noname");
  EXPECT_EQ(s.tradeFile.directory, "");
  EXPECT_FALSE(s.tradeFile.closePositionAtLastBar);
  EXPECT_EQ(s.tradeQuik.templateText, kDefaultTemplate);
  // A second load finds everything and changes nothing.
  const std::string first = ReadFile(SettingsPath());
  Load();
  EXPECT_EQ(ReadFile(SettingsPath()), first);
}

TEST_F(SettingsFile, MissingMeansAbsentOrHashNHashAEmptyIsAValue) {
  const TradingSettings& s = Load(
      "[TradeFile]\r\nAuthor=#N#A\r\nDirectory=\r\n[TradeQuik]\r\nAccount=#n#a\r\n"
      "Template=\r\n");
  EXPECT_EQ(s.tradeFile.author, "noname");
  EXPECT_EQ(s.ReadText("TradeFile", "Author", "?"), "noname");
  EXPECT_EQ(s.tradeFile.directory, "");    // empty: the current directory
  EXPECT_EQ(s.tradeQuik.account, "#n#a");  // the rule is case-sensitive
  EXPECT_EQ(s.tradeQuik.templateText, "");
}

TEST_F(SettingsFile, ClosePositionAtLastBarOnValuesStayOthersBecomeNo) {
  for (const char* on : {"True", "yes", "YES", "1", "tRUE"}) {
    const TradingSettings& s =
        Load(std::string("[TradeFile]\nClosePositionAtLastBar=") + on + "\n");
    EXPECT_TRUE(s.tradeFile.closePositionAtLastBar) << on;
    EXPECT_EQ(s.ReadText("TradeFile", "ClosePositionAtLastBar", "?"), on);
  }
  for (const char* off : {"on", "no", "2", "y", ""}) {
    const TradingSettings& s =
        Load(std::string("[TradeFile]\nClosePositionAtLastBar=") + off + "\n");
    EXPECT_FALSE(s.tradeFile.closePositionAtLastBar) << off;
    EXPECT_EQ(s.ReadText("TradeFile", "ClosePositionAtLastBar", "?"), "no") << off;
  }
}

TEST_F(SettingsFile, IntegersAndTransactionNumbers) {
  TradingSettings& s = Load("[TradeQuik]\nTransId=abc\nA= 41 \nB=+7\nC=1.5\nD=99999999999\n");
  EXPECT_EQ(s.ReadInteger("TradeQuik", "A", 1), 41);
  EXPECT_EQ(s.ReadInteger("TradeQuik", "B", 1), 7);
  for (const char* bad : {"C", "D", "Missing"}) EXPECT_EQ(s.ReadInteger("TradeQuik", bad, -3), -3);
  EXPECT_EQ(NextTransId(s), 2);  // "abc" counts as 1
  EXPECT_EQ(NextTransId(s), 3);
  EXPECT_EQ(s.ReadText("TradeQuik", "TransId", "?"), "3");
  s.WriteInteger("TradeQuik", "TransId", 2147483647);
  try {
    NextTransId(s);
    ADD_FAILURE() << "no overflow";
  } catch (const Fault& f) {
    EXPECT_STREQ(f.what(), "Integer overflow");
  }
}

TEST_F(SettingsFile, ValuesAreCutAt2047Characters) {
  TradingSettings& s = Load();
  ASSERT_TRUE(s.WriteText("S", "k", std::string(5000, 'x')));
  EXPECT_EQ(s.ReadText("S", "k", ""), std::string(2047, 'x'));
}

TEST_F(SettingsFile, NamesThatCouldNotBeReadBackAreRefusedAndTheFileStays) {
  TradingSettings& s = Load();
  const std::string before = ReadFile(SettingsPath());
  EXPECT_FALSE(s.WriteText("A]B", "k", "1"));
  EXPECT_FALSE(s.WriteText("A\nB", "k", "1"));
  EXPECT_FALSE(s.WriteText("S", "a=b", "1"));
  EXPECT_FALSE(s.WriteText("S", "[x", "1"));
  EXPECT_FALSE(s.WriteText("S", " ", "1"));
  EXPECT_FALSE(s.WriteText("", "k", "1"));
  EXPECT_FALSE(s.WriteText(" ", "k", "1"));
  EXPECT_FALSE(s.WriteText("S", "k", "x\r\n[TradeQuik]\r\nTransId=1"));
  EXPECT_EQ(ReadFile(SettingsPath()), before);
  EXPECT_TRUE(s.WriteText("x[y(D)", "DateTime_a b_c_1", "20240102,0"));
  EXPECT_EQ(s.ReadText("X[Y(d)", "datetime_A B_C_1", ""), "20240102,0");
}

TEST_F(SettingsFile, NoFileBesideAMissingFolderReadsDefaultsAndWritesNothing) {
  CloseTradingSettings();
  OpenTradingSettings(Path("no/such/folder/msx_qmr.ini"));
  ReadTradeFileSettings();
  TradingSettings& s = *CurrentTradingSettings();
  EXPECT_EQ(s.tradeFile.author, "noname");
  EXPECT_FALSE(s.WriteText("S", "k", "v"));
  EXPECT_FALSE(std::filesystem::exists(Path("no")));
}

// A write that cannot be completed (here: the file size limit of the
// process) leaves the old file whole and no temporary file behind (the
// lock file of the writers stays).
TEST_F(SettingsFile, AFailedWriteLeavesTheOldFileWhole) {
  Load();
  TradingSettings& s = *CurrentTradingSettings();
  const std::string before = ReadFile(SettingsPath());
  EXPECT_EXIT(
      {
        LimitFileSize(100);
        const bool written = s.WriteText("TradeQuik", "TransId", "7");
        std::_Exit(written ? 1 : 0);
      },
      ::testing::ExitedWithCode(0), "");
  EXPECT_EQ(ReadFile(SettingsPath()), before);
  std::vector<std::string> files;
  for (const auto& e : std::filesystem::directory_iterator(folder_))
    files.push_back(e.path().filename().string());
  std::sort(files.begin(), files.end());
  EXPECT_EQ(files, (std::vector<std::string>{"msx_qmr.ini", "msx_qmr.ini.lock"}));
}

// Charts calculated on several threads write into the one settings file at
// once, each its own keys: every write succeeds and none drops another's.
TEST_F(SettingsFile, WritesFromSeveralThreadsAtOnceAllLand) {
  TradingSettings& s = Load();
  constexpr int kThreads = 8;
  constexpr int kKeys = 40;
  const auto section = [](int t) { return std::string("C:\\Data\\SEC").append(std::to_string(t)); };
  const auto key = [](int k) { return std::string("K").append(std::to_string(k)); };
  std::vector<int> failed(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int k = 0; k < kKeys; ++k)
        failed[static_cast<std::size_t>(t)] += !s.WriteInteger(section(t), key(k), k);
    });
  }
  for (std::thread& t : threads) t.join();
  for (int t = 0; t < kThreads; ++t) {
    EXPECT_EQ(failed[static_cast<std::size_t>(t)], 0) << "thread " << t;
    for (int k = 0; k < kKeys; ++k)
      EXPECT_EQ(s.ReadInteger(section(t), key(k), -1), k) << section(t) << " " << key(k);
  }
  EXPECT_EQ(s.ReadText("TradeFile", "Author", "?"), "noname");
}

// A process killed at random moments while it takes transaction numbers:
// after every kill the file parses, every other setting is there, and
// TransId is at least the last number the process reported as taken.
TEST_F(SettingsFile, KillingTheWriterNeverDamagesTheFileNorLosesTransId) {
  Load();
  const std::string path = SettingsPath();
  std::mt19937 random(7);
  int32_t reported = 1;
  for (int round = 0; round < 60; ++round) {
    const KilledChild child = RunAndKill(
        [&](const std::function<void(int32_t)>& report) {
          TradingSettings own(path);
          for (;;) report(NextTransId(own));
        },
        std::chrono::microseconds(random() % 4000), /*afterFirstReport=*/true);
    ASSERT_FALSE(child.reported.empty()) << "round " << round;  // one number taken at least
    for (const int32_t id : child.reported) reported = std::max(reported, id);

    TradingSettings check(path);
    const int32_t stored = check.ReadInteger("TradeQuik", "TransId", 1);
    ASSERT_GE(stored, reported) << "round " << round;
    ASSERT_EQ(check.ReadText("TradeFile", "Author", "?"), "noname") << "round " << round;
    ASSERT_EQ(check.ReadText("TradeQuik", "Template", "?"), kDefaultTemplate) << "round " << round;
    reported = stored;
  }
  EXPECT_GE(reported, 60);  // every writer took one number at least
}

}  // namespace
}  // namespace msx
