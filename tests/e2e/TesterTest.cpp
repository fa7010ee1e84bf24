// The formula tester as a user meets it: its commands, its CSV reader and
// its one-line errors, against the built library.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "Cli.h"
#include "Csv.h"
#include "Files.h"
#include "FormulaParser.h"
#include "HostError.h"
#include "LoadedLibrary.h"
#include "TempFolder.h"
#include "Text.h"
#include "platform/Platform.h"

namespace msxtest {
namespace {

using msxhost::CommandOutput;
using msxhost::RunCommand;

std::string Data() { return std::string(MSX_SOURCE_DIR) + "/data/goog-daily.csv"; }

std::string Temp(const std::string& name) { return ::testing::TempDir() + name; }

// The first line of a text.
std::string Head(const std::string& text) { return text.substr(0, text.find('\n')); }

int Lines(const std::string& text) {
  int n = 0;
  for (char c : text) n += c == '\n';
  return n;
}

TEST(Tester, DescribeListsTheFunctionsAsTheHostSeesThem) {
  const CommandOutput o = RunCommand({"describe"});
  ASSERT_EQ(o.exitCode, 0) << o.err;
  EXPECT_NE(o.out.find("(functions: "), std::string::npos);
  EXPECT_NE(o.out.find("\n[0] NRTR - \"New Russian\" Trailing Reverse Function based on "
                       "percentage channel (2 arguments)\n    0 series   Close[]\n"
                       "    1 series   Koefficient[]\n"),
            std::string::npos)
      << o.out;
}

TEST(Tester, CalcPrintsTheValidRangeOnePerLine) {
  const CommandOutput o = RunCommand({"calc", "NRTR(C, 2)", "--data", Data()});
  ASSERT_EQ(o.exitCode, 0) << o.err;
  EXPECT_EQ(Head(o.out), "date,value");
  EXPECT_EQ(o.out.substr(o.out.find('\n') + 1, 18), "20040820,110.4762\n");
  EXPECT_EQ(Lines(o.out), 1 + 1046);  // bars 1 to 1046 of 1047
}

TEST(Tester, TheHostsSpellingAndCaseDoNotMatter) {
  const std::string direct = RunCommand({"calc", "NRTR(C, 5)", "--data", Data()}).out;
  EXPECT_EQ(RunCommand({"calc", "ExtFml(\"MSX_QMR.NRTR\", C, 5)", "--data", Data()}).out, direct);
  EXPECT_EQ(RunCommand({"calc", "nrtr( close ,5 )", "--data", Data()}).out, direct);
}

TEST(Tester, OutAndSvgWriteFilesAndSaySo) {
  const std::string out = Temp("tester_out.csv");
  const std::string svg = Temp("tester_out.svg");
  const CommandOutput o =
      RunCommand({"calc", "NRTR(C, 2)", "--data", Data(), "--out", out, "--svg", svg});
  ASSERT_EQ(o.exitCode, 0) << o.err;
  EXPECT_EQ(o.out, "NRTR(C, 2): 1046 values, bars 1 to 1046 -> " + out + "\n");
  EXPECT_EQ(msxhost::ReadWholeFile(out), RunCommand({"calc", "NRTR(C, 2)", "--data", Data()}).out);
  const std::string chart = msxhost::ReadWholeFile(svg);
  EXPECT_EQ(chart.rfind("<svg", 0) == 0 || chart.rfind("<?xml", 0) == 0, true);
  EXPECT_NE(chart.find("2004-08-19"), std::string::npos);  // dates on the axis
}

// Two charts chained through a data file: one tester run writes, the next
// reads it as another security's chart would.
TEST(Tester, ChainsTwoChartsThroughADataFile) {
  const std::string folder = Temp("");
  const std::string a = Temp("chain_a.csv");
  const std::string b = Temp("chain_b.csv");
  msxhost::WriteWholeFile(a, "date,high,low,close\n20240102,1,1,10.5\n20240104,1,1,11.25\n");
  msxhost::WriteWholeFile(b,
                          "date,high,low,close\n20240102,1,1,1\n20240103,1,1,1\n"
                          "20240105,1,1,1\n");
  const std::string fileTemplate = "\"" + folder + "chain_%S_%P.txt\"";
  const CommandOutput w = RunCommand({"calc", "WriteData(C, " + fileTemplate + ")", "--data", a});
  ASSERT_EQ(w.exitCode, 0) << w.err;
  EXPECT_EQ(msxhost::ReadWholeFile(folder + "chain_CHAIN_A_D.txt"),
            "20240102,0000000,10.5\r\n20240104,0000000,11.25\r\n\r\n");
  const CommandOutput r =
      RunCommand({"calc", "ReadData(" + fileTemplate + ")", "--data", b, "--symbol", "CHAIN_A"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "date,value\n20240102,10.5\n20240103,11.25\n20240105,11.25\n");
  for (const char* suffix : {"", ".in"})
    std::remove((folder + "chain_CHAIN_A_D.txt" + suffix).c_str());
}

struct BadInput {
  std::vector<std::string> arguments;
  int exitCode;
  std::string message;
};

class TesterErrors : public ::testing::TestWithParam<BadInput> {};

TEST_P(TesterErrors, OneClearLineAndANonZeroExit) {
  std::vector<std::string> arguments = GetParam().arguments;
  for (std::string& a : arguments)
    if (a == "DATA") a = Data();
  const CommandOutput o = RunCommand(arguments);
  EXPECT_EQ(o.exitCode, GetParam().exitCode);
  EXPECT_EQ(Lines(o.err), 1) << o.err;
  EXPECT_NE(o.err.find(GetParam().message), std::string::npos) << o.err;
  EXPECT_EQ(o.out, "");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TesterErrors,
    ::testing::Values(
        BadInput{{"calc", "FOO(C)", "--data", "DATA"}, 2, "unknown function: FOO"},
        BadInput{{"calc", "NRTR(C)", "--data", "DATA"}, 2, "NRTR takes 2 arguments, got 1"},
        BadInput{{"calc", "NRTR(C, \"2\")", "--data", "DATA"},
                 2,
                 "NRTR argument 2 (\"Koefficient[]\") must be a series, got a string"},
        BadInput{{"calc", "NRTR(Q, 2)", "--data", "DATA"}, 2, "unknown name: Q"},
        BadInput{{"calc", "NRTR(C, 2", "--data", "DATA"}, 2, "syntax error at column"},
        BadInput{{"calc", "NRTR(C, 2)"}, 2, "calc needs --data"},
        BadInput{{"calc", "NRTR(C, 2)", "--data", "no/such.csv"},
                 2,
                 "cannot read no/such.csv: No such file or directory"},
        BadInput{{"calc", "NRTR(C, 2)", "--data", "."}, 2, "cannot read .: Is a directory"},
        BadInput{{"calc", "NRTR(C, 2)", "--data", "DATA", "--lib", "no/such/lib"},
                 1,
                 "cannot load the library no/such/lib ("},
        BadInput{{"calc", "NRTR(C, 2)", "--data", "DATA", "--lib", "."},
                 1,
                 "cannot load the library . ("},
        BadInput{{"describe", "--bogus"}, 2, "unknown option: --bogus"},
        BadInput{{"calc", "Mov(C, 0, S)", "--data", "DATA"},
                 2,
                 "Mov argument 2 (\"Periods\") must be a whole number from 1 to 65500, got 0"},
        BadInput{{"calc", "Mov(C, 10, T)", "--data", "DATA"},
                 2,
                 "Mov argument 3 (\"Method\") must be S (simple), E (exponential) or W "
                 "(weighted), got the name T"},
        BadInput{{"calc", "If(C > 1, 2)", "--data", "DATA"}, 2, "If takes 3 arguments, got 2"},
        BadInput{{"calc", "C + \"x\"", "--data", "DATA"},
                 2,
                 "the operator + needs numbers or series, got a string"},
        BadInput{{"calc", "(C + 1", "--data", "DATA"},
                 2,
                 "syntax error at column 1: the '(' is not closed with ')'"},
        BadInput{{"calc", "C > and 1", "--data", "DATA"},
                 2,
                 "syntax error at column 5: expected a value before 'and'"},
        BadInput{{"calc", "C", "--data", "DATA", "--from", "2024-13-01"},
                 2,
                 "bad --from value: 2024-13-01 (expected a date YYYYMMDD, YYYY-MM-DD or "
                 "DD.MM.YYYY)"},
        BadInput{{"calc", "C", "--data", "DATA", "--from", "20200101"},
                 2,
                 "no bars from 2020-01-01 to the end: the data runs from 2004-08-19 to "
                 "2008-10-14"},
        BadInput{{"calc", "C", "--data", "DATA", "--last", "0"},
                 2,
                 "bad --last value: 0 (expected a count of bars, 1 or more)"},
        BadInput{{"replay", "C", "--data", "DATA", "--skip", "2008-09-01"},
                 2,
                 "--skip 2008-09-01 is no bar of the live part (2008-09-17 to 2008-10-14)"}));

TEST(Tester, ACodePageFunctionElsewhereSaysHowToGetIt) {
  const CommandOutput o = RunCommand({"calc", "JMA(C, 14, 0)", "--data", Data()});
  if (o.exitCode == 0) GTEST_SKIP() << "JMA is offered under this system's OEM code page";
  EXPECT_EQ(o.exitCode, 2);
  EXPECT_EQ(o.err,
            "msxhost: JMA is offered only under the Cyrillic OEM code page 866: run with "
            "LC_ALL=ru_RU.UTF-8 (on Windows: Russian as the language for non-Unicode "
            "programs)\n");
}

TEST(Tester, HelpAndVersion) {
  for (const char* command : {"help", "--help"}) {
    const CommandOutput o = RunCommand({command});
    EXPECT_EQ(o.exitCode, 0);
    EXPECT_EQ(Head(o.out), "msxhost: the formula tester of the msx_qmr library");
    EXPECT_NE(o.out.find("Mov(X, n, S|E|W)"), std::string::npos);
  }
  const CommandOutput v = RunCommand({"--version"});
  EXPECT_EQ(v.exitCode, 0);
  EXPECT_EQ(v.out, "msxhost 1.8.0.11, the formula tester of the msx_qmr library\n");
}

// The signal of a moving-average crossover, written in the formula core,
// drives the trade file over the bundled prices.
TEST(Tester, ACrossoverSignalWritesTrades) {
  const std::string folder = Temp("crossover/");
  std::filesystem::create_directories(folder);
  std::filesystem::copy_file(
      msxhost::LoadedLibrary::DefaultPath(),
      folder + "msx_qmr" +
          std::filesystem::path(msxhost::LoadedLibrary::DefaultPath()).extension().string(),
      std::filesystem::copy_options::overwrite_existing);
  const std::string lib =
      folder + "msx_qmr" +
      std::filesystem::path(msxhost::LoadedLibrary::DefaultPath()).extension().string();
  msxhost::WriteWholeFile(folder + "msx_qmr.ini", "[TradeFile]\nDirectory=" + folder + "\n");
  const CommandOutput o = RunCommand(
      {"calc",
       "TradeFile(C, Cross(Mov(C, 10, S), Mov(C, 30, S)) - Cross(Mov(C, 30, S), Mov(C, 10, S)), "
       "Both, \"MAcross\")",
       "--data", Data(), "--lib", lib});
  ASSERT_EQ(o.exitCode, 0) << o.err;
  const std::string trades = msxhost::ReadWholeFile(folder + "noname[MAcross]GOOG-DAILY[D].csv");
  // The first crossover of the averages is a fall, on 2004-11-26: a short for one bar.
  EXPECT_NE(trades.find("\nMAcross,GOOG-DAILY,-1,20041126,20041129,"), std::string::npos) << trades;
}

// The bundled prices played live. The README's formula over the last 20
// bars, worked out from the CSV: armed short on 2008-09-16 (433.86 below its
// 20-day average); on 2008-09-19 the open, 461, is above the average of the
// 19 closes before it and itself, so the opening calculation buys 20 (short
// to long) at 461; on 2008-09-22 the open still says long, but the close,
// 430.14, says short, and the bar was seen on opening: no order goes and the
// account stays long to the end (17 bars). Only complete bars (--ticks
// close), the same signal buys on 2008-09-19 at the close, 449.15, and sells
// on 2008-09-22, unless 2008-09-22 is skipped: then Orders=Changes never
// sends that change (it came on an earlier bar), and Orders=Position sells
// 20 on 2008-09-23. The user's settings carry the last bar seen, which the
// replay leaves out, and a live transaction file, which it never touches.
struct ReplayCase {
  const char* name;
  std::vector<std::string> options;
  const char* orders;              // Orders= in the user's settings, or null for none (no --lib)
  std::vector<std::string> lines;  // each found in the report
};

void PrintTo(const ReplayCase& c, std::ostream* os) { *os << c.name; }

class Replays : public ::testing::TestWithParam<ReplayCase> {};

TEST_P(Replays, ShowTheOrdersAndTheDrift) {
  const ReplayCase& c = GetParam();
  const bool tradeQuik = c.options.front().starts_with("TradeQuik");
  if (tradeQuik && msx::platform::OemCodePage() != 866)
    GTEST_SKIP() << "TradeQuik is offered under the OEM code page 866 only";
  std::vector<std::string> arguments = {"replay"};
  arguments.insert(arguments.end(), c.options.begin(), c.options.end());
  arguments.insert(arguments.end(), {"--data", Data(), "--folder", "data"});
  const msx::TempFolder folder;
  std::string settings;
  if (c.orders != nullptr) {
    const std::string library = msxhost::LoadedLibrary::DefaultPath();
    const std::string copy = folder / std::filesystem::path(library).filename().string();
    std::filesystem::copy_file(library, copy);
    settings = "[TradeQuik]\r\nFile=" + (folder / "live.tri") + "\r\nOrders=" + c.orders +
               "\r\n[data\\GOOG-DAILY(D)]\r\nClassCode=TQBR\r\nSecCode=GOOG\r\n"
               "DateTime_ACC1_CL1_1=20081014,0\r\n";
    msxhost::WriteWholeFile(folder / "msx_qmr.ini", settings);
    arguments.insert(arguments.end(), {"--lib", copy});
  }
  const CommandOutput o = RunCommand(arguments);
  ASSERT_EQ(o.exitCode, 0) << o.err;
  for (const std::string& line : c.lines)
    EXPECT_NE(o.out.find("\n" + line + "\n"), std::string::npos) << line << "\n" << o.out;
  if (c.orders != nullptr) {
    EXPECT_EQ(msxhost::ReadWholeFile(folder / "msx_qmr.ini"), settings);
    EXPECT_FALSE(std::filesystem::exists(folder / "live.tri"));
  }
}

const std::string kCrossing =
    "TradeQuik(If(C > Mov(C, 20, S), 1, -1), \"ACC1\", \"CL1\", Limit, C, 10, 1)";

INSTANTIATE_TEST_SUITE_P(
    Cases, Replays,
    ::testing::Values(
        ReplayCase{"opening",
                   {kCrossing},
                   nullptr,
                   {"2008-09-19  open     TRANS_ID=2;ACCOUNT=ACC1;CLIENT_CODE=CL1;TYPE=L;"
                    "CLASSCODE=REPLAY;SECCODE=REPLAY;ACTION=NEW_ORDER;OPERATION=B;PRICE=461;"
                    "QUANTITY=20;",
                    "2008-09-19  10        10", "2008-09-22  -10       10        out of step",
                    "2008-10-14  -10       10        out of step",
                    "orders sent: 1, bars out of step: 17, bars that repaint: 0"}},
        ReplayCase{
            "position",
            {kCrossing, "--ticks", "close", "--skip", "2008-09-22"},
            "Position",
            {"2008-09-19  complete TRANS_ID=2;ACCOUNT=ACC1;CLIENT_CODE=CL1;TYPE=L;"
             "CLASSCODE=TQBR;SECCODE=GOOG;ACTION=NEW_ORDER;OPERATION=B;PRICE=449.15;"
             "QUANTITY=20;",
             "2008-09-23  complete TRANS_ID=3;ACCOUNT=ACC1;CLIENT_CODE=CL1;TYPE=L;"
             "CLASSCODE=TQBR;SECCODE=GOOG;ACTION=NEW_ORDER;OPERATION=S;PRICE=429.27;"
             "QUANTITY=20;",
             "2008-09-22  -10       10        out of step (skipped)", "2008-09-23  -10       -10",
             "orders sent: 2, bars out of step: 1, bars that repaint: 0"}},
        ReplayCase{"changes",
                   {kCrossing, "--ticks", "close", "--skip", "2008-09-22"},
                   "Changes",
                   {"2008-09-22  -10       10        out of step (skipped)",
                    "2008-09-23  -10       10        out of step",
                    "orders sent: 1, bars out of step: 17, bars that repaint: 0"}},
        // Tomorrow's close: no value while the bar is the last one.
        ReplayCase{"look_ahead",
                   {"Ref(C, 1)", "--live", "3"},
                   nullptr,
                   {"2008-10-10  -             -             381.02        repaints",
                    "2008-10-14  -             -             -",
                    "orders sent: 0, bars out of step: 0, bars that repaint: 2"}}));

TEST(Tester, AFunctionsFailureShowsItsErrorText) {
  const std::string csv = Temp("tester_nan.csv");
  msxhost::WriteWholeFile(csv, "date,open,high,low,close\n20240102,1,1,1,1\n20240103,1,1,1,nan\n");
  const CommandOutput o = RunCommand({"calc", "NRTR(C, 2)", "--data", csv});
  EXPECT_EQ(o.exitCode, 1);
  EXPECT_EQ(o.err,
            "msxhost: NRTR failed; the library gives no reason for this function (common "
            "causes: a NaN price, a bar beyond 65,499, or a Length beyond 32 bits)\n");
}

// An installed tester finds the DLL through the path setup left beside it;
// without that file, or with a blank one, the library beside the tester.
TEST(Tester, TheDefaultLibraryIsTheOneNamedBesideTheTester) {
  const msx::TempFolder folder;
  const std::string beside = msxhost::JoinPath(folder.Path(), msx::platform::LibraryFileName());
  const std::string installed = "C:\\Charting\\External Function DLLs\\msx_qmr.dll";
  const struct {
    const char* pointer;  // msxhost.lib's bytes, or null for no such file
    std::string library;
  } cases[] = {{nullptr, beside},
               {" \r\n", beside},
               {"C:\\Charting\\External Function DLLs\\msx_qmr.dll\r\n", installed},
               {"\xEF\xBB\xBF C:\\Charting\\External Function DLLs\\msx_qmr.dll \nx\n", installed}};
  for (const auto& c : cases) {
    folder.Clear();
    if (c.pointer != nullptr) msxhost::WriteWholeFile(folder / "msxhost.lib", c.pointer);
    EXPECT_EQ(msxhost::LoadedLibrary::DefaultPathIn(folder.Path()), c.library)
        << (c.pointer ? c.pointer : "(no msxhost.lib)");
  }
}

TEST(Csv, ReadsNamedColumnsInAnyOrderWithTimesAndExtras) {
  const msxhost::Chart c = msxhost::ParseCsv(
      "Close,Date,TIME,low,high,signal\r\n"
      "10.5,2024-01-02,09:30,10,11,1\r\n"
      "\r\n"
      "10.75,20240102,093100,10.25,11.5,-1\r\n",
      "t.csv");
  ASSERT_EQ(c.barCount(), 2);
  EXPECT_EQ(c.dates[0], 20240102);
  EXPECT_EQ(c.times[0], 930000);  // HHMMSS and one more digit
  EXPECT_EQ(c.times[1], 931000);
  EXPECT_EQ(c.close[1], 10.75f);
  ASSERT_NE(c.FindSeries("signal"), nullptr);
  EXPECT_EQ((*c.FindSeries("Signal"))[1], -1.0f);
  EXPECT_TRUE(c.open.empty());  // high and low without open: the open is missing
}

TEST(Csv, AMalformedLineIsNamedByItsNumber) {
  for (const auto& [text, line] : std::vector<std::pair<std::string, std::string>>{
           {"date,high,low,close\n20240102,1,1,1\n20240230,1,1,1\n", "line 3"},
           {"date,high,low,close\n20240102,1,1\n", "line 2"},
           {"date,high,low,close\n\n20240102,1,1,x\n", "line 3"}}) {
    try {
      msxhost::ParseCsv(text, "bad.csv");
      ADD_FAILURE() << text;
    } catch (const msxhost::HostError& e) {
      EXPECT_EQ(std::string(e.what()).rfind("bad.csv: " + line + ": ", 0), 0u) << e.what();
      EXPECT_EQ(e.exitCode(), msxhost::kExitUsage);
    }
  }
  EXPECT_THROW(msxhost::ParseCsv("date,high\n20240102,1\n", "noclose.csv"), msxhost::HostError);
}

// The data files users have, through the calc command: what it prints, and
// on standard error its notices or its one error line.
struct DataFile {
  const char* name;
  std::string csv;
  std::vector<std::string> arguments;  // the formula and any options
  int exitCode;
  std::string out;
  std::string err;  // "" for none; else a part of standard error
};

void PrintTo(const DataFile& d, std::ostream* os) { *os << d.name; }

class DataFiles : public ::testing::TestWithParam<DataFile> {};

TEST_P(DataFiles, AreReadOrRefusedNamingTheLine) {
  const std::string csv = Temp(std::string("data_") + GetParam().name + ".csv");
  msxhost::WriteWholeFile(csv, GetParam().csv);
  std::vector<std::string> arguments = {"calc"};
  arguments.insert(arguments.end(), GetParam().arguments.begin(), GetParam().arguments.end());
  arguments.insert(arguments.end(), {"--data", csv});
  const CommandOutput o = RunCommand(arguments);
  EXPECT_EQ(o.exitCode, GetParam().exitCode) << o.err;
  EXPECT_EQ(o.out, GetParam().out);
  if (GetParam().err.empty())
    EXPECT_EQ(o.err, "");
  else
    EXPECT_NE(o.err.find(GetParam().err), std::string::npos) << o.err;
}

// 65,501 daily bars from 1800 on: one more than the host holds.
std::string TooManyBars() {
  std::string text = "date,close\n";
  int32_t day = 0;
  for (int32_t y = 1800; day < 65501; ++y)
    for (int32_t m = 1; m <= 12 && day < 65501; ++m)
      for (int32_t d = 1; d <= 28 && day < 65501; ++d, ++day)
        text += msxhost::FormatInt(y * 10000 + m * 100 + d) + ",1\n";
  return text;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DataFiles,
    ::testing::Values(
        DataFile{"vendor",
                 "<TICKER>,<PER>,<DATE>,<TIME>,<OPEN>,<HIGH>,<LOW>,<CLOSE>,<VOL>\r\n"
                 "SBER,5,20240115,100000,270.1,271,269.5,270.5,1200\r\n"
                 "SBER,5,20240115,100500,270.5,272,270,271.5,900\r\n",
                 {"O + H + L + C + V"},
                 0,
                 "date,time,value\n20240115,100000,2281.1\n20240115,100500,1984\n",
                 ""},
        DataFile{"semicolons",
                 "<DATE>;<TIME>;<OPEN>;<HIGH>;<LOW>;<CLOSE>;<VOL>\n"
                 "02.01.2024;000000;10,5;11,25;10;11;100\n"
                 "03.01.2024;000000;11;12;10,75;11,5;200\n",
                 {"H - L"},
                 0,
                 "date,value\n20240102,1.25\n20240103,1.25\n",
                 ""},
        DataFile{
            "close_only",
            "date,close\n2024-01-02,1.5\n2024-01-03,2\n",
            {"O + H + L"},
            0,
            "date,value\n20240102,4.5\n20240103,6\n",
            "msxhost: note: ",
        },
        DataFile{"close_only_volume",
                 "date,close\n2024-01-02,1.5\n",
                 {"V"},
                 2,
                 "",
                 "unknown name: V (the data has no volume column)"},
        DataFile{"newest_first",
                 "date,close\n20240104,3\n20240103,2\n20240102,1\n",
                 {"Ref(C, -1)"},
                 0,
                 "date,value\n20240103,1\n20240104,2\n",
                 "the bars run newest first: put in time order"},
        DataFile{"duplicate",
                 "date,close\n20240102,1\n\n20240103,2\n20240103,3\n",
                 {"C"},
                 2,
                 "",
                 "line 5: the bar of 2024-01-03 again (line 4 has it too): each bar needs a date "
                 "of its own"},
        DataFile{"out_of_order",
                 "date,close\n20240102,1\n20240104,2\n20240103,3\n",
                 {"C"},
                 2,
                 "",
                 "line 4: 2024-01-03 is out of order after 2024-01-04 (line 3): the bars must run "
                 "oldest first throughout"},
        DataFile{"no_header",
                 "20240102,1,1,1\n",
                 {"C"},
                 2,
                 "",
                 "line 1: expected a header line naming the columns, such as "
                 "date,open,high,low,close,volume"},
        DataFile{"bad_date",
                 "date,close\n20240102,1\n2024/01/03,2\n",
                 {"C"},
                 2,
                 "",
                 "line 3: bad date \"2024/01/03\" (expected YYYYMMDD, YYYY-MM-DD or DD.MM.YYYY)"},
        DataFile{"bad_number",
                 "date;close\n20240102;1,5\n20240103;1.5.2\n",
                 {"C"},
                 2,
                 "",
                 "line 3: bad number \"1.5.2\" in column close (expected a number such as 12.5 or "
                 "12,5)"},
        DataFile{"fields",
                 "date,close\n20240102,1,2\n",
                 {"C"},
                 2,
                 "",
                 "line 2: expected 2 fields separated by ',' as the header names, got 3"},
        DataFile{"from_to",
                 "date,close\n20240102,1\n20240103,2\n20240104,3\n20240105,4\n",
                 {"C", "--from", "03.01.2024", "--to", "2024-01-04"},
                 0,
                 "date,value\n20240103,2\n20240104,3\n",
                 "msxhost: note: "},
        DataFile{"last",
                 "date,close\n20240102,1\n20240103,2\n20240104,3\n",
                 {"Sum(C, 2)", "--last", "2"},
                 0,
                 "date,value\n20240104,5\n",
                 "msxhost: note: "},
        // The library reads no file and succeeds; the reader's %P is D on a weekly chart.
        DataFile{"read_nothing",
                 "date,close\n20240105,1\n20240112,2\n",
                 {"ReadData(\"no/such/%S_%P.txt\")", "--period", "W"},
                 0,
                 "date,value\n",
                 "msxhost: note: ReadData found no data file to read at "
                 "no/such/DATA_READ_NOTHING_D.txt: no values"},
        DataFile{"too_many",
                 TooManyBars(),
                 {"C"},
                 2,
                 "",
                 " has 65501 bars, more than the host's 65500: add --last 65500 for the newest, "
                 "or choose them with --from and --to"}));

}  // namespace
}  // namespace msxtest
