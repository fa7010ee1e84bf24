// The trading functions through the built library and the tester, each
// library copy in a folder of its own with a settings file the test writes:
// the trade file from a formula, and the order-line promise across unloads
// and new processes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "BarSelection.h"
#include "Chart.h"
#include "Cli.h"
#include "Csv.h"
#include "Files.h"
#include "HostRecords.h"
#include "LibraryFixture.h"
#include "LoadedLibrary.h"
#include "platform/Platform.h"

namespace msxtest {
namespace {

using msxhost::JoinPath;
using msxhost::ReadWholeFile;
using msxhost::WriteWholeFile;

constexpr const char* kChart =
    "date,high,low,close,signal\n"
    "20240102,10,10,10,0\n"
    "20240103,11,11,11,1\n"
    "20240104,12,12,12,1\n"
    "20240105,9,9,9,-1\n"
    "20240108,10,10,10,-1\n";

TEST(TradeFileThroughTheTester, TheTradeFileOfAFormula) {
  const LibraryFolder lib("e2e_tradefile", "");
  WriteWholeFile(lib.Path("msx_qmr.ini"),
                 "[TradeFile]\r\nAuthor=tester\r\nDirectory=" + lib.folder() + "\r\n");
  const std::string csv = lib.Path("sec1.csv");
  WriteWholeFile(csv, kChart);
  const msxhost::CommandOutput o = msxhost::RunCommand(
      {"calc", "TradeFile(C, signal, Both, \"MAcross\")", "--data", csv, "--lib", lib.library()});
  ASSERT_EQ(o.exitCode, 0) << o.err;
  EXPECT_EQ(o.out, "date,value\n20240102,0\n20240103,0\n20240104,0\n20240105,0\n20240108,0\n");
  const std::vector<std::string> lines =
      CrLfLines(ReadWholeFile(lib.Path("tester[MAcross]SEC1[D].csv")));
  ASSERT_EQ(lines.size(), 8u);
  EXPECT_EQ(lines[2], ";%A=tester");
  EXPECT_EQ(lines[7], "MAcross,SEC1,1,20240103,20240105,-0.1818");
  EXPECT_EQ(ReadWholeFile(lib.Path("tester[MAcross]SEC1[D].csv")).substr(0, 3), ";  ");
  // The settings the load found missing were added.
  EXPECT_NE(ReadWholeFile(lib.Path("msx_qmr.ini")).find("ClosePositionAtLastBar=no\r\n"),
            std::string::npos);
}

// A trade file that cannot be created (its folder is missing): the call
// fails naming it.
TEST(TradeFileThroughTheTester, ATradeFileThatCannotBeWrittenFailsNamingIt) {
  const LibraryFolder lib("e2e_tradefile_missing", "");
  const std::string missing = lib.Path("missing");
  WriteWholeFile(lib.Path("msx_qmr.ini"), "[TradeFile]\r\nDirectory=" + missing + "\r\n");
  WriteWholeFile(lib.Path("sec1.csv"), kChart);
  const msxhost::CommandOutput o =
      msxhost::RunCommand({"calc", "TradeFile(C, signal, Both, \"MAcross\")", "--data",
                           lib.Path("sec1.csv"), "--lib", lib.library()});
  EXPECT_NE(o.exitCode, 0);
  const std::string file = missing + msx::platform::PathSeparator() + "noname[MAcross]SEC1[D].csv";
  EXPECT_NE(o.err.find(": " + ("Cannot write trade file " + file).substr(0, 99) + "\n"),
            std::string::npos)
      << o.err;
}

// One calculation of TradeQuik over the first `bars` bars, called through
// the host records as the host does (whatever the code page: the host may
// not be offered the function, but it is exported).
int32_t CalcTradeQuik(const msxhost::LoadedLibrary& library, const msxhost::Chart& full,
                      int32_t bars) {
  msxhost::Chart chart = full;
  msxhost::BarSelection firstBars;  // the chart as it was when it had `bars` bars
  firstBars.to = full.dates[static_cast<size_t>(bars) - 1];
  msxhost::SelectBars(chart, firstBars);
  const msxhost::ChartRecords records(chart);
  msxhost::HostArray signal = msxhost::MakeSeries(chart.extra[0].values);
  msxhost::HostArray price = msxhost::MakeSeries(chart.close);
  msxhost::HostArray quantity = msxhost::ConstantSeries(10, bars);
  msxhost::HostText account("ACC1"), client("CL1");
  msxhost::HostArguments args;
  args.AddSeries(signal.series());
  args.AddString(account.data());
  args.AddString(client.data());
  args.AddCustom(0);
  args.AddSeries(price.series());
  args.AddSeries(quantity.series());
  args.AddNumber(1);
  msxhost::HostResult result;
  const int32_t rc = library.Call("TradeQuik", records.data(), args, *result.record());
  EXPECT_EQ(result.extendedError(), "");
  return rc;
}

std::string QuikSettings(const LibraryFolder& lib) {
  return "[" + lib.folder() +
         "\\SEC1(D)]\r\nClassCode=QJSIM\r\nSecCode=SBER\r\nFile=" + lib.Path("orders.tri") + "\r\n";
}

TEST(TradeQuikAcrossLoads, AnOrderIsSentOnceWhateverIsReloaded) {
  const LibraryFolder lib("e2e_tradequik_reload", "");
  WriteWholeFile(lib.Path("msx_qmr.ini"), QuikSettings(lib));
  WriteWholeFile(lib.Path("sec1.csv"), kChart);
  msxhost::Chart chart = msxhost::ReadCsv(lib.Path("sec1.csv"));
  chart.symbol = "SEC1";
  chart.folder = lib.folder();
  {
    const msxhost::LoadedLibrary first(lib.library());
    ASSERT_EQ(CalcTradeQuik(first, chart, 3), 0);  // arms
    ASSERT_EQ(CalcTradeQuik(first, chart, 3), 0);
    EXPECT_FALSE(std::filesystem::exists(lib.Path("orders.tri")));
    ASSERT_EQ(CalcTradeQuik(first, chart, 4), 0);  // 1 to -1 on the new bar
    ASSERT_EQ(CalcTradeQuik(first, chart, 4), 0);
  }
  const msxhost::LoadedLibrary again(lib.library());  // unloaded and loaded anew
  ASSERT_EQ(CalcTradeQuik(again, chart, 4), 0);
  ASSERT_EQ(CalcTradeQuik(again, chart, 2), 0);  // an older chart sends nothing either
  ASSERT_EQ(CalcTradeQuik(again, chart, 4), 0);
  EXPECT_EQ(CrLfLines(ReadWholeFile(lib.Path("orders.tri"))),
            (std::vector<std::string>{"TRANS_ID=2;ACCOUNT=ACC1;CLIENT_CODE=CL1;TYPE=L;"
                                      "CLASSCODE=QJSIM;SECCODE=SBER;ACTION=NEW_ORDER;"
                                      "OPERATION=S;PRICE=9;QUANTITY=20;"}));
}

// The brakes through the system's own files: Orders=Position keeps its
// position in the settings file and Orders=Changes removes it, the journal
// gets its header and rows, and an order line never glues onto a fragment
// left at the end of the transaction file.
TEST(TradeQuikAcrossLoads, PositionModeTheJournalAndAFragmentOnTheSystemsFiles) {
  const LibraryFolder lib("e2e_tradequik_brakes", "");
  const std::string section = lib.folder() + "\\SEC1(D)";
  WriteWholeFile(lib.Path("msx_qmr.ini"), QuikSettings(lib) + "Orders=Position\r\n[TradeQuik]\r\n"
                                              "Journal=" + lib.Path("journal.csv") + "\r\n");
  WriteWholeFile(lib.Path("orders.tri"), "A KILLED WRI");
  WriteWholeFile(lib.Path("sec1.csv"), kChart);
  msxhost::Chart chart = msxhost::ReadCsv(lib.Path("sec1.csv"));
  chart.symbol = "SEC1";
  chart.folder = lib.folder();
  const msxhost::LoadedLibrary library(lib.library());
  ASSERT_EQ(CalcTradeQuik(library, chart, 2), 0);  // arms long
  ASSERT_EQ(CalcTradeQuik(library, chart, 4), 0);  // bar 3 missed: caught up on bar 4
  const std::string line =
      "TRANS_ID=2;ACCOUNT=ACC1;CLIENT_CODE=CL1;TYPE=L;CLASSCODE=QJSIM;SECCODE=SBER;"
      "ACTION=NEW_ORDER;OPERATION=S;PRICE=9;QUANTITY=20;";
  EXPECT_EQ(ReadWholeFile(lib.Path("orders.tri")), "A KILLED WRI\r\n" + line + "\r\n");
  const std::vector<std::string> journal = CrLfLines(ReadWholeFile(lib.Path("journal.csv")));
  ASSERT_EQ(journal.size(), 3u);
  EXPECT_EQ(journal[0].substr(0, 13), "Time;Section;");
  EXPECT_NE(journal[2].find(";1;-1;20;S;9;2;sent;\"" + line + "\""), std::string::npos);
  const std::string settings = ReadWholeFile(lib.Path("msx_qmr.ini"));
  EXPECT_NE(settings.find("Position_ACC1_CL1_1=-1\r\n"), std::string::npos) << settings;
  WriteWholeFile(lib.Path("msx_qmr.ini"),
                 settings.substr(0, settings.find("Orders=Position")) + "Orders=Changes" +
                     settings.substr(settings.find("Orders=Position") + 15));
  ASSERT_EQ(CalcTradeQuik(library, chart, 5), 0);
  EXPECT_EQ(ReadWholeFile(lib.Path("msx_qmr.ini")).find("Position_"), std::string::npos);
}

// Every calculation in a process of its own: the tester started anew, as
// the host after a restart. POSIX only: the code page comes from the
// locale variables set for the child.
TEST(TradeQuikAcrossLoads, AnOrderIsSentOnceAcrossNewProcesses) {
  if (std::string(msx::platform::LibraryFileName()) != "msx_qmr.so")
    GTEST_SKIP() << "runs the tester with a POSIX shell";
  const LibraryFolder lib("e2e_tradequik_processes", "");
  WriteWholeFile(lib.Path("msx_qmr.ini"), QuikSettings(lib));
  const std::string tester =
      JoinPath(msxhost::FolderOf(msx::platform::HostProgramPath()), "msxhost");
  const std::string full = kChart;
  const auto run = [&](int32_t bars) {
    std::string csv = full.substr(0, full.find('\n') + 1);
    std::size_t at = csv.size();
    for (int32_t b = 0; b < bars; ++b) {
      const std::size_t end = full.find('\n', at) + 1;
      csv += full.substr(at, end - at);
      at = end;
    }
    WriteWholeFile(lib.Path("sec1.csv"), csv);
    const std::string command = "LC_ALL=ru_RU.UTF-8 '" + tester +
                                "' calc 'TradeQuik(signal, \"ACC1\", \"CL1\", Limit, C, 10, 1)'"
                                " --data '" +
                                lib.Path("sec1.csv") + "' --lib '" + lib.library() +
                                "' > /dev/null";
    return std::system(command.c_str());
  };
  for (int32_t bars : {3, 3, 4, 4, 4, 2, 4}) ASSERT_EQ(run(bars), 0) << bars;
  const std::string orders = ReadWholeFile(lib.Path("orders.tri"));
  EXPECT_EQ(CrLfLines(orders).size(), 1u) << orders;
  EXPECT_NE(orders.find("OPERATION=S;PRICE=9;QUANTITY=20;"), std::string::npos) << orders;
}

}  // namespace
}  // namespace msxtest
