// The tester's charts as a reader sees them: which pane each result lands
// in, candles, zero lines, and time labels that suit the bars on view.
#include <gtest/gtest.h>

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
  std::string csv = {};  // the bars, when not the bundled prices
};

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
  EXPECT_EQ(chart.find("<script"), std::string::npos);
  for (const std::string& f : GetParam().formulas)
    EXPECT_NE(chart.find(">" + f + "<"), std::string::npos) << f;  // in the legend
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ChartPanes,
    ::testing::Values(PaneCase{{"NRTR(C, 2)"}, {}, 1, true},
                      PaneCase{{"CER(C, 10)"}, {}, 2, true},
                      PaneCase{{"RENKO_WATR(C, 2, 10, Auto)"}, {}, 1, true},
                      PaneCase{{"RENKO_WATR(C, 2, 10, B)", "RENKO_WATR(C, 2, 10, Long)",
                                "RENKO_WATR(C, 2, 10, 4)"},
                               {},
                               4,
                               true},
                      PaneCase{{"NRTR(CER(C, 10), 2)", "NRTR_WATR(C, 14, 2)"}, {}, 2, true},
                      PaneCase{{"NRTR(C, 2)", "CER(C, 10)"}, {"--pane", "own"}, 3, true},
                      PaneCase{{"CER(C, 10)"}, {"--pane", "price"}, 1, true},
                      PaneCase{{"C", "V"},
                               {},
                               2,
                               false,
                               "date,high,low,close,volume\n20240102,2,1,1.5,10\n"
                               "20240103,3,2,2.5,20\n"}));

TEST(Chart, TheTitleNamesTheSecurityAndThePeriod) {
  const std::string svg = ::testing::TempDir() + "chart_title.svg";
  ASSERT_EQ(msxhost::RunCommand({"calc", "NRTR(C, 2)", "--data", Data(), "--symbol", "GOOG",
                                 "--period", "W", "--svg", svg})
                .exitCode,
            0);
  const std::string chart = msxhost::ReadWholeFile(svg);
  EXPECT_NE(chart.find(">GOOG, weekly</text>"), std::string::npos);
  EXPECT_NE(chart.find(">2004-08-19 to 2008-10-14, 1047 bars</text>"), std::string::npos);
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
