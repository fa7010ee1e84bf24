// The formula tester as a user meets it: its commands, its CSV reader and
// its one-line errors, against the built library.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "Cli.h"
#include "Csv.h"
#include "Files.h"
#include "FormulaParser.h"
#include "HostError.h"

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
        BadInput{{"calc", "NRTR(C, 2)", "--data", "no/such.csv"}, 2, "cannot read no/such.csv"},
        BadInput{{"calc", "NRTR(C, 2)", "--data", "DATA", "--lib", "no/such/lib"},
                 1,
                 "library not found: no/such/lib"},
        BadInput{{"describe", "--bogus"}, 2, "unknown option: --bogus"}));

TEST(Tester, AFunctionsFailureShowsItsErrorText) {
  const std::string csv = Temp("tester_nan.csv");
  msxhost::WriteWholeFile(csv, "date,high,low,close\n20240102,1,1,1\n20240103,1,1,nan\n");
  const CommandOutput o = RunCommand({"calc", "NRTR(C, 2)", "--data", csv});
  EXPECT_EQ(o.exitCode, 1);
  EXPECT_EQ(o.err, "msxhost: NRTR returned -1: ResultRec.szExtendedError\n");
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
  EXPECT_TRUE(c.open.empty());
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
  EXPECT_THROW(msxhost::ParseCsv("date,close\n20240102,1\n", "nohigh.csv"), msxhost::HostError);
}

}  // namespace
}  // namespace msxtest
