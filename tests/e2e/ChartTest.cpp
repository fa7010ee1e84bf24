// The tester's charts as a reader sees them: which pane each result lands
// in and its unit, candles, zero lines, reversal lines as steps, the caption,
// and time labels that suit the bars on view.
#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "Cli.h"
#include "Csv.h"
#include "Files.h"
#include "LibraryFixture.h"
#include "TimeAxis.h"

namespace msxtest {
namespace {

std::string Data() { return std::string(MSX_SOURCE_DIR) + "/data/goog-daily.csv"; }

int Count(const std::string& text, const std::string& what) {
  int n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
    ++n;
  return n;
}

struct PaneCase {
  std::vector<std::string> formulas;
  std::vector<std::string> options;
  int panes;  // the price pane and one per result with a scale of its own
  bool candles;
  std::string units;     // the panes' units from the top, "|" between
  std::string csv = {};  // the bars, when not the bundled prices
};

// The texts of the elements of a class, "|" between.
std::string TextsOf(const std::string& svg, const std::string& cls) {
  std::string texts;
  const std::string tag = "class=\"" + cls + "\"";
  for (std::size_t at = svg.find(tag); at != std::string::npos; at = svg.find(tag, at + 1)) {
    const std::size_t open = svg.find('>', at) + 1;
    if (!texts.empty()) texts += '|';
    texts += svg.substr(open, svg.find('<', open) - open);
  }
  return texts;
}

class ChartPanes : public ::testing::TestWithParam<PaneCase> {};

TEST_P(ChartPanes, PriceResultsOverThePriceOscillatorsBelowWithAZeroLine) {
  const std::string svg = OwnTempPath("chart_panes_", ".svg");
  std::vector<std::string> arguments{"calc"};
  for (const std::string& f : GetParam().formulas) arguments.push_back(f);
  std::string data = Data();
  if (!GetParam().csv.empty()) {
    data = OwnTempPath("chart_panes_", ".csv");
    msxhost::WriteWholeFile(data, GetParam().csv);
  }
  for (const std::string& a : {std::string("--data"), data, std::string("--svg"), svg})
    arguments.push_back(a);
  for (const std::string& o : GetParam().options) arguments.push_back(o);
  const msxhost::CommandOutput o = msxhost::RunCommand(arguments);
  ASSERT_EQ(o.exitCode, 0) << o.err;
  const std::string chart = msxhost::ReadWholeFile(svg);
  EXPECT_EQ(Count(chart, "class=\"pane\""), GetParam().panes);
  EXPECT_EQ(Count(chart, "class=\"zero\""), GetParam().panes - 1);
  EXPECT_EQ(Count(chart, "class=\"candles\""), GetParam().candles ? 1 : 0);
  EXPECT_EQ(TextsOf(chart, "unit"), GetParam().units);
  EXPECT_EQ(chart.find("<script"), std::string::npos);
  for (const std::string& f : GetParam().formulas)
    EXPECT_NE(chart.find(">" + f + "<"), std::string::npos) << f;  // in the legend
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ChartPanes,
    ::testing::Values(PaneCase{{"NRTR(C, 2)"}, {}, 1, true, "price"},
                      PaneCase{{"CER(C, 10)"}, {}, 2, true, "price|%"},
                      PaneCase{{"RENKO_WATR(C, 2, 10, Auto)"}, {}, 1, true, "price"},
                      PaneCase{{"RENKO_WATR(C, 2, 10, B)", "RENKO_WATR(C, 2, 10, Long)",
                                "RENKO_WATR(C, 2, 10, 4)"},
                               {},
                               4,
                               true,
                               "price|position|position|position"},
                      PaneCase{
                          {"NRTR(CER(C, 10), 2)", "NRTR_WATR(C, 14, 2)"}, {}, 2, true, "price|%"},
                      PaneCase{{"NRTR(C, 2)", "CER(C, 10)", "Cross(C, Mov(C, 10, S))"},
                               {"--pane", "own"},
                               4,
                               true,
                               "price|price|%|1 = true"},
                      PaneCase{{"CER(C, 10)"}, {"--pane", "price"}, 1, true, "price"},
                      PaneCase{{"C", "V", "C * V"},
                               {},
                               3,
                               false,
                               "price|volume",
                               "date,high,low,close,volume\n20240102,2,1,1.5,10\n"
                               "20240103,3,2,2.5,20\n"}));

TEST(Chart, TheTitleNamesTheSecurityThePeriodEveryPaneAndTheWarmUp) {
  const std::string svg = ::testing::TempDir() + "chart_title.svg";
  ASSERT_EQ(msxhost::RunCommand({"calc", "NRTR(C, 2)", "CER(C, 10)", "--data", Data(), "--symbol",
                                 "GOOG", "--period", "W", "--svg", svg})
                .exitCode,
            0);
  const std::string chart = msxhost::ReadWholeFile(svg);
  EXPECT_NE(chart.find(">GOOG, weekly</text>"), std::string::npos);
  EXPECT_EQ(TextsOf(chart, "caption"), "Upper pane: price and NRTR(C, 2). Lower pane: CER(C, 10).");
  EXPECT_NE(chart.find(">2004-08-19 to 2008-10-14, 1047 bars</text>"), std::string::npos);
  EXPECT_NE(chart.find(">Shaded: warm-up before the first value, pane by pane: 1 bar, 12 bars<"),
            std::string::npos);
  EXPECT_EQ(Count(chart, "class=\"warmup\""), 2);
}

// NRTR(C, 10) over these closes: 114.4 at bars 1 and 2, down to 105.6, 104.5
// and 99 above the price; flips below at bar 6 (90), rises to 91.8 for bars 7
// and 8, and flips above at bar 9 (99). Each level is held to the next bar,
// then steps; at a flip the line breaks instead.
TEST(Chart, AReversalLineIsStepsBrokenAtEachFlip) {
  const std::string data = OwnTempPath("chart_flips_", ".csv");
  const std::string svg = OwnTempPath("chart_flips_", ".svg");
  msxhost::WriteWholeFile(data,
                          "date,close\n20240102,100\n20240103,104\n20240104,110\n"
                          "20240105,96\n20240108,95\n20240109,90\n20240110,100\n"
                          "20240111,102\n20240112,92\n20240115,90\n");
  ASSERT_EQ(msxhost::RunCommand({"calc", "NRTR(C, 10)", "--data", data, "--svg", svg}).exitCode, 0);
  const std::string chart = msxhost::ReadWholeFile(svg);
  const std::size_t at = chart.find("class=\"reversal\"");
  ASSERT_NE(at, std::string::npos);
  const std::size_t d = chart.find(" d=\"", at) + 4;
  std::string commands;
  for (char c : chart.substr(d, chart.find('"', d) - d))
    if (std::isalpha(static_cast<unsigned char>(c))) commands += c;
  EXPECT_EQ(commands, "MHVHVHVHMHVHMH");  // bars 1, 3, 4, 5, 6 (flip), 7, 9 (flip), its slot
}

TEST(Chart, BatchDrawsTheFormulasThatRan) {
  const std::string list = ::testing::TempDir() + "chart_batch.txt";
  const std::string svg = ::testing::TempDir() + "chart_batch.svg";
  msxhost::WriteWholeFile(list, "NRTR(C, 2)\nCER(C, 0.5, 1)\nCER(C, 10)\n");
  const msxhost::CommandOutput o =
      msxhost::RunCommand({"batch", list, "--data", Data(), "--svg", svg});
  EXPECT_EQ(o.exitCode, 2);  // the middle formula has an argument too many
  const std::string chart = msxhost::ReadWholeFile(svg);
  EXPECT_EQ(Count(chart, "class=\"pane\""), 2);
  EXPECT_NE(chart.find(">NRTR(C, 2)<"), std::string::npos);
  EXPECT_NE(chart.find(">CER(C, 10)<"), std::string::npos);
}

// Bars of one day, one a minute from 10:00.
msxhost::Chart Minutes(int bars, int32_t date) {
  msxhost::Chart chart;
  chart.hasTime = true;
  for (int i = 0; i < bars; ++i) {
    const int minute = 600 + i;
    chart.dates.push_back(date + (minute >= 24 * 60 ? 1 : 0));
    chart.times.push_back((minute % (24 * 60) / 60 * 10000 + minute % 60 * 100) * 10);
  }
  return chart;
}

struct TickCase {
  const char* what;
  int first;  // -1: the minute chart
  int last;
  std::string labels;  // "label/sublabel" joined by " "
};

class TimeLabels : public ::testing::TestWithParam<TickCase> {};

TEST_P(TimeLabels, SuitTheBarSpacing) {
  const TickCase& c = GetParam();
  const msxhost::Chart chart =
      c.first < 0 ? Minutes(c.last + 1, 20240314) : msxhost::ReadCsv(Data());
  const int first = std::max(c.first, 0);
  const double width = 1096.0 / (c.last - first + 1);
  std::string labels;
  for (const msxhost::TimeTick& t : msxhost::TimeTicks(chart, first, c.last, width))
    labels += (labels.empty() ? "" : " ") + t.label + (t.subLabel.empty() ? "" : "/" + t.subLabel);
  EXPECT_EQ(labels, c.labels) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TimeLabels,
    ::testing::Values(
        TickCase{"one session of minutes", -1, 389,
                 "10:00/2024-03-14 11:00 12:00 13:00 14:00 15:00 16:00"},
        TickCase{"an hour of minutes", -1, 59,
                 "10:00/2024-03-14 10:05 10:10 10:15 10:20 10:25 10:30 10:35 10:40 10:45 10:50 10:55"},
        TickCase{"a month of days", 1000, 1020, "2008-08-11 2008-08-18 2008-08-25 2008-09-02 2008-09-08"},
        TickCase{"a year of days", 795, 1046,
                 "Nov 2007 Dec Jan 2008 Feb Mar Apr May Jun Jul Aug Sep Oct"},
        TickCase{"four years of days", 0, 1046,
                 "Aug 2004 Jan 2005 Jul Jan 2006 Jul Jan 2007 Jul Jan 2008 Jul"}));

}  // namespace
}  // namespace msxtest
