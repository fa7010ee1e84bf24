// WriteData, WriteDataEx and ReadData through the built library, on real
// files: what they write, byte for byte, what they return, and what they
// leave alone.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "HostRecords.h"
#include "LibraryFixture.h"
#include "Poison.h"
#include "platform/Platform.h"

using msx::kPoison;

namespace msxtest {
namespace {

using msxhost::HostArguments;
using msxhost::HostArray;
using msxhost::HostText;

std::string FileText(const std::string& path) {
  std::string bytes;
  if (!msx::platform::ReadWholeFile(path, &bytes).ok()) return "<missing>";
  return bytes;
}

void RemoveAll(const std::string& name) {
  for (const char* suffix : {"", ".out", ".in"}) std::remove((name + suffix).c_str());
}

// One chart: bars with dates and times, a period, a symbol; and one call
// with its arguments and a poisoned result.
struct Chart {
  std::vector<msx::HostDateTimeEntry> dates;
  HostArray close{0.0f};
  HostText symbol{"ABC"};
  msx::HostDataRecord data{};

  Chart(std::vector<msx::HostDateTimeEntry> stamps, char period = 'D', int32_t interval = 0)
      : dates(std::move(stamps)) {
    dates.resize(msx::kMaxBars, msx::HostDateTimeEntry{20991231, 0});
    const auto bars = static_cast<int32_t>(std::count_if(
        dates.begin(), dates.end(), [](const auto& d) { return d.date != 20991231; }));
    close.SetRange(0, bars - 1);
    data.dates = dates.data();
    data.close = *close.series();
    data.symbol = symbol.data();
    data.period = period;
    data.interval = interval;
  }
};

struct Call : PoisonedResult {
  HostArguments args;
  std::vector<std::unique_ptr<HostArray>> series;
  std::vector<std::unique_ptr<HostText>> texts;

  Call& Series(std::vector<float> values, int32_t first, int32_t last) {
    series.push_back(std::make_unique<HostArray>(0.0f));
    for (std::size_t i = 0; i < values.size(); ++i) series.back()->values()[i] = values[i];
    series.back()->SetRange(first, last);
    args.AddSeries(series.back()->series());
    return *this;
  }
  Call& Text(const std::string& text) {
    texts.push_back(std::make_unique<HostText>(text));
    args.AddString(texts.back()->data());
    return *this;
  }
  int32_t Run(const char* name, const Chart& chart) {
    return Library().Call(name, chart.data, args, *record());
  }
};

std::vector<msx::HostDateTimeEntry> Days(int32_t firstDate, int32_t count) {
  std::vector<msx::HostDateTimeEntry> d;
  for (int32_t k = 0; k < count; ++k) d.push_back({firstDate + k, 0});
  return d;
}

std::string Temp(const std::string& name) { return ::testing::TempDir() + name; }

// A data file's name in the tests' temporary folder: the file, its staging
// file and the reader's copy are removed when it is made and when the test
// ends, a failed assertion included.
struct DataFileName : std::string {
  explicit DataFileName(const std::string& file) : std::string(Temp(file)) { RemoveAll(*this); }
  ~DataFileName() { RemoveAll(*this); }
  DataFileName(const DataFileName&) = delete;
  DataFileName& operator=(const DataFileName&) = delete;
};

TEST(WriteDataCall, TheLinesOfTheRangeAndTheSeriesAsResult) {
  const DataFileName name("wd_ABC_D.txt");
  std::vector<msx::HostDateTimeEntry> stamps = Days(20040301, 25);
  stamps[12] = {20040302, 1030000};
  Chart chart(stamps);
  std::vector<float> values(25, 0.0f);
  for (int i = 10; i <= 19; ++i) values[static_cast<size_t>(i)] = static_cast<float>(i) + 0.5f;
  values[12] = 1234.5f;
  values[13] = 1234567.0f;
  Call c;
  c.Series(values, 10, 19).Text(Temp("wd_%S_%P.txt"));
  ASSERT_EQ(c.Run("WriteData", chart), 0);
  EXPECT_EQ(c.First(), 10);
  EXPECT_EQ(c.Last(), 19);
  EXPECT_EQ(c.R(9), kPoison);
  EXPECT_EQ(c.R(13), 1234567.0f);  // the file rounds, the result does not
  EXPECT_EQ(c.R(20), kPoison);
  EXPECT_EQ(FileText(name),
            "20040311,0000000,10.5\r\n20040312,0000000,11.5\r\n20040302,1030000,1234.5\r\n"
            "20040314,0000000,1.23457E6\r\n20040315,0000000,14.5\r\n20040316,0000000,15.5\r\n"
            "20040317,0000000,16.5\r\n20040318,0000000,17.5\r\n20040319,0000000,18.5\r\n"
            "20040320,0000000,19.5\r\n\r\n");
  EXPECT_FALSE(msx::platform::FileExists(name + ".out"));
}

TEST(WriteDataCall, AnEmptyRangeWritesOnlyCrLf) {
  const DataFileName name("wd_empty.txt");
  Chart chart(Days(20040301, 5));
  Call c;
  c.Series({1, 2, 3}, 3, 2).Text(name);
  ASSERT_EQ(c.Run("WriteData", chart), 0);
  EXPECT_EQ(c.First(), 3);
  EXPECT_EQ(c.Last(), 2);
  EXPECT_EQ(c.R(2), kPoison);
  EXPECT_EQ(FileText(name), "\r\n");
}

TEST(WriteDataCall, ArgumentCountsAndFailuresLeaveTheErrorTextAlone) {
  const DataFileName name("wd_counts.txt");
  Chart chart(Days(20040301, 5));
  Call extraString;
  extraString.Series({1, 2}, 0, 1).Text(name).Text("more");
  EXPECT_EQ(extraString.Run("WriteData", chart), 0);
  EXPECT_EQ(FileText(name), "20040301,0000000,1\r\n20040302,0000000,2\r\n\r\n");
  RemoveAll(name);

  Call extraNumber;
  extraNumber.Series({1, 2}, 0, 1).Text(name);
  extraNumber.args.AddNumber(1.0f);
  EXPECT_EQ(extraNumber.Run("WriteData", chart), -1);
  EXPECT_EQ(FileText(name), "<missing>");

  Call negative;
  negative.Series({1, 2}, -1, 1).Text(name);
  EXPECT_EQ(negative.Run("WriteData", chart), -1);
  EXPECT_EQ(negative.Error(), "poison");
  EXPECT_EQ(negative.First(), -9);
  EXPECT_EQ(FileText(name), "<missing>");

  Call noTemplate;
  noTemplate.Series({1, 2}, 0, 1);
  EXPECT_EQ(noTemplate.Run("WriteData", chart), -1);
  EXPECT_EQ(noTemplate.Error(), "poison");
}

TEST(WriteDataCall, ALastIndexBeyondTheHostArraysFailsAndWritesNoFile) {
  const DataFileName name("wd_beyond.txt");
  Chart chart(Days(20040301, 5));
  Call c;
  c.Series({1, 2, 3}, 65495, 65500).Text(name);
  EXPECT_EQ(c.Run("WriteData", chart), -1);
  EXPECT_EQ(c.R(65499), 0.0f);  // written before the fault
  EXPECT_EQ(c.Last(), -9);
  EXPECT_EQ(FileText(name), "<missing>");
}

// Another program holds the data file open without sharing (Windows): the
// old file cannot go, the writer's renames give up after about a second,
// and the call still succeeds.
TEST(WriteDataCall, ADataFileHeldByAnotherProgramKeepsItsContent) {
  if (std::string(msx::platform::LibraryFileName()) != "msx_qmr.dll")
    GTEST_SKIP() << "files held open deny nothing on POSIX";
  const DataFileName name("wd_held.txt");
  Chart chart(Days(20040301, 5));
  Call first;
  first.Series({1}, 0, 0).Text(name);
  ASSERT_EQ(first.Run("WriteData", chart), 0);
  void* hold = msx::platform::HoldFileExclusively(name);
  ASSERT_NE(hold, nullptr);
  Call second;
  second.Series({2}, 0, 0).Text(name);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(second.Run("WriteData", chart), 0);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  msx::platform::ReleaseHeldFile(hold);
  EXPECT_GE(seconds, 0.9);
  EXPECT_LT(seconds, 10.0);
  EXPECT_EQ(FileText(name), "20040301,0000000,1\r\n\r\n");
  EXPECT_EQ(FileText(name + ".out"), "20040301,0000000,2\r\n\r\n");
}

// A data file that cannot be written at all (its folder is missing): both
// writers fail naming the file, keep the values they wrote, set no range,
// and leave no file for a reader, whole or in part.
TEST(WriteDataCall, AFileThatCannotBeWrittenFailsNamingIt) {
  const std::string folder = Temp("wd_no_such_folder");
  const std::string name = folder + "/ABC_D.txt";
  Chart chart(Days(20040301, 3));
  for (const char* function : {"WriteData", "WriteDataEx"}) {
    Call c;
    if (std::string(function) == "WriteDataEx") c.Text("");
    for (int k = std::string(function) == "WriteData" ? 6 : 0; k < 7; ++k) c.Series({1, 2, 3}, 0, 2);
    c.Text(folder + "/%S_%P.txt");
    EXPECT_EQ(c.Run(function, chart), -1) << function;
    EXPECT_EQ(c.Error(), ("Cannot write data file " + name).substr(0, 99)) << function;
    EXPECT_EQ(c.R(2), std::string(function) == "WriteData" ? 3.0f : 0.0f) << function;
    EXPECT_EQ(c.Last(), -9) << function;
    EXPECT_EQ(FileText(name), "<missing>") << function;
    EXPECT_EQ(FileText(name + ".out"), "<missing>") << function;
  }
}

std::vector<float> Same(float v) { return std::vector<float>(200, v); }

TEST(WriteDataExCall, TheBasicLayoutAndBothPatterns) {
  const DataFileName name("wdx.txt");
  Chart chart({{20040302, 1030000}});
  const auto run = [&](const std::string& format) {
    RemoveAll(name);
    Call c;
    c.Text(format);
    const float v[7] = {1.5f, 2.25f, 3, 4, 5, 6, 7};
    for (float x : v) c.Series({x}, 0, 0);
    c.Text(name);
    EXPECT_EQ(c.Run("WriteDataEx", chart), 0) << c.Error();
    EXPECT_EQ(c.R(0), 0.0f);
    EXPECT_EQ(c.First(), 0);
    return FileText(name);
  };
  EXPECT_EQ(run(""), "20040302,1030000,1.5,2.25,3,4,5,6,7\r\n\r\n");
  EXPECT_EQ(run("|"), "20040302,1030000,1.5,2.25,3,4,5,6,7\r\n\r\n");
  EXPECT_EQ(run("|;%.2f;%.2f"), "20040302,1030000;1.50;2.25\r\n\r\n");
  EXPECT_EQ(run("dd.mm.yyyy hh:nn|"), "02.03.2004 10:30,1.5,2.25,3,4,5,6,7\r\n\r\n");
  EXPECT_EQ(run("yyyymmdd|%.1f|%6:g"), "200403021.5|7\r\n\r\n");
}

TEST(WriteDataExCall, AnInvalidValuePatternFailsWithItsMessageAndWritesNoFile) {
  const DataFileName name("wdx_fail.txt");
  Chart chart(Days(20040301, 3));
  for (const auto& [format, message] : std::vector<std::pair<std::string, std::string>>{
           {"%d", "Format '%d' invalid or incompatible with argument"},
           {"|%f%8:f", "No argument for format '%f%8:f'"},
           {"dd|%.2f %x and then a long tail of text",
            "Format '%.2f %x and then a long tail of' invalid or incompatible with argument"}}) {
    Call c;
    c.Text(format);
    for (int k = 0; k < 7; ++k) c.Series({1, 2, 3}, 0, 2);
    c.Text(name);
    EXPECT_EQ(c.Run("WriteDataEx", chart), -1);
    EXPECT_EQ(c.Error(), message);
    EXPECT_EQ(c.Last(), -9);
    EXPECT_EQ(FileText(name), "<missing>");
  }
}

TEST(WriteDataExCall, ABarThatIsNoDateFailsOnlyWithADatePattern) {
  const DataFileName name("wdx_date.txt");
  Chart chart({{20040230, 0}});
  for (const auto& [format, rc] :
       std::vector<std::pair<std::string, int32_t>>{{"", 0}, {"|%f", 0}, {"dd|", -1}}) {
    Call c;
    c.Text(format);
    for (int k = 0; k < 7; ++k) c.Series({1}, 0, 0);
    c.Text(name);
    EXPECT_EQ(c.Run("WriteDataEx", chart), rc) << format;
    if (rc != 0) {
      EXPECT_EQ(c.Error(), "Invalid argument to date encode");
    }
  }
}

TEST(WriteDataExCall, TheBarsWhereAllSevenSeriesAreValid) {
  const DataFileName name("wdx_range.txt");
  Chart chart(Days(20040101, 101));
  Call c;
  c.Text("");
  const int32_t firsts[7] = {5, 7, 7, 7, 7, 7, 9};
  const int32_t lasts[7] = {100, 90, 100, 100, 100, 100, 100};
  for (int k = 0; k < 7; ++k) c.Series(Same(1.0f), firsts[k], lasts[k]);
  c.Text(name);
  ASSERT_EQ(c.Run("WriteDataEx", chart), 0);
  EXPECT_EQ(c.First(), 9);
  EXPECT_EQ(c.Last(), 90);
  EXPECT_EQ(c.R(8), kPoison);
  EXPECT_EQ(c.R(9), 0.0f);
  EXPECT_EQ(c.R(90), 0.0f);
  EXPECT_EQ(c.R(91), kPoison);
  const std::string text = FileText(name);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 82 + 1);
  EXPECT_EQ(text.substr(0, 34), "20040110,0000000,1,1,1,1,1,1,1\r\n20");
}

// A data file as a writer leaves it, published under the name.
void Publish(const std::string& name, const std::string& content) {
  RemoveAll(name);
  ASSERT_TRUE(msx::platform::ReplaceFileContent(name, content).ok());
}

std::vector<float> Read(const Chart& chart, const std::string& fileTemplate, int32_t* rc = nullptr,
                        Call* call = nullptr) {
  Call own;
  Call& c = call != nullptr ? *call : own;
  c.Text(fileTemplate);
  const int32_t r = c.Run("ReadData", chart);
  if (rc != nullptr) *rc = r;
  std::vector<float> out;
  const int32_t last = std::min(chart.data.close.last, msx::kMaxIndex);
  for (int32_t i = chart.data.close.first; i <= last; ++i) out.push_back(c.R(i));
  return out;
}

using V = std::vector<float>;

TEST(ReadDataCall, TheDailyExampleTakesTheNextRowAndKeepsTheLast) {
  const DataFileName name("rd_ABC_D.txt");
  Publish(name, "20040302,0000000,20\r\n20040304,1234567,40\r\n\r\n");
  Chart chart(Days(20040301, 5));
  Call c;
  EXPECT_EQ(Read(chart, Temp("rd_%S_%P.txt"), nullptr, &c), (V{20, 20, 40, 40, 40}));
  EXPECT_EQ(c.First(), 0);
  EXPECT_EQ(c.Last(), 4);
  EXPECT_FALSE(msx::platform::FileExists(name));
  // A second call without a new write reads the same copy again.
  EXPECT_EQ(Read(chart, Temp("rd_%S_%P.txt")), (V{20, 20, 40, 40, 40}));
  // A weekly chart looks for the daily name too.
  Chart weekly(Days(20040301, 5), 'W');
  EXPECT_EQ(Read(weekly, Temp("rd_%S_%P.txt")), (V{20, 20, 40, 40, 40}));
}

TEST(ReadDataCall, ADailyChartNeverParsesTheTimeColumn) {
  const DataFileName name("rd_daily_time.txt");
  Publish(name, "20040302,noon,20\r\n20040304,,40\r\n");
  EXPECT_EQ(Read(Chart(Days(20040301, 5)), name), (V{20, 20, 40, 40, 40}));
  int32_t rc = 0;
  Read(Chart(Days(20040301, 5), 'W'), name, &rc);  // a weekly chart does parse it
  EXPECT_EQ(rc, -1);
}

TEST(ReadDataCall, IntradayRowsByDateAndTime) {
  const DataFileName name("rd_ABC_5.txt");
  Publish(name,
          "20040302,0959000,1\r\n20040302,1005000,2\r\n20040302,1010000,3\r\n"
          "20040303,0930000,4\r\n\r\n");
  Chart chart({{20040302, 1000000}, {20040302, 1005000}, {20040302, 1015000}, {20040303, 900000}},
              'I', 5);
  EXPECT_EQ(Read(chart, Temp("rd_%S_%P.txt")), (V{2, 2, 4, 4}));
}

TEST(ReadDataCall, RowsAllEarlierAndAnEmptyFileGiveZeros) {
  const DataFileName name("rd_zeros.txt");
  Publish(name, "20040101,0,5\r\n20040102,0,6\r\n\r\n");
  EXPECT_EQ(Read(Chart(Days(20040301, 3)), name), (V{0, 0, 0}));
  Publish(name, "\r\n");
  EXPECT_EQ(Read(Chart(Days(20040301, 3)), name), (V{0, 0, 0}));
}

TEST(ReadDataCall, AMissingValueFailsOnlyWhenItsRowMatches) {
  const DataFileName name("rd_missing.txt");
  Publish(name, "20040301,0\r\n20040303,0,7\r\n");
  int32_t rc = 0;
  EXPECT_EQ(Read(Chart(Days(20040302, 3)), name, &rc), (V{7, 7, 7}));  // passed over
  EXPECT_EQ(rc, 0);
  Call c;
  Read(Chart(Days(20040301, 3)), name, &rc, &c);  // matched by the first bar
  EXPECT_EQ(rc, -1);
  EXPECT_EQ(c.Error(), "poison");
  EXPECT_EQ(c.Last(), -9);
}

TEST(ReadDataCall, NoFileSetsTheRangeAndWritesNothing) {
  const DataFileName name("rd_none.txt");
  Call c;
  int32_t rc = -1;
  EXPECT_EQ(Read(Chart(Days(20040301, 3)), name, &rc, &c), (V{kPoison, kPoison, kPoison}));
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(c.First(), 0);
  EXPECT_EQ(c.Last(), 2);
}

TEST(ReadDataCall, ArgumentCountsAndANegativeCloseRange) {
  Chart chart(Days(20040301, 3));
  Call series;
  series.Series({1}, 0, 0);
  int32_t rc = 0;
  Read(chart, Temp("rd_x.txt"), &rc, &series);
  EXPECT_EQ(rc, -1);
  Chart empty({});  // no bars: Close valid from 0 to -1
  Call c;
  Read(empty, Temp("rd_x.txt"), &rc, &c);
  EXPECT_EQ(rc, -1);
  EXPECT_EQ(c.Error(), "poison");
}

TEST(ReadDataCall, ACloseRangeBeyondTheHostArraysFailsAfterWritingUpTo65499) {
  const DataFileName name("rd_beyond.txt");
  Publish(name, "20991231,0,3.5\r\n");
  Chart chart(Days(20040301, 3));
  chart.data.close.first = 65495;
  chart.data.close.last = 65500;
  Call c;
  int32_t rc = 0;
  Read(chart, name, &rc, &c);
  EXPECT_EQ(rc, -1);
  EXPECT_EQ(c.R(65495), 3.5f);
  EXPECT_EQ(c.R(65499), 3.5f);
  EXPECT_EQ(c.Last(), -9);
  EXPECT_EQ(c.Error(), "poison");
}

// The first exchange between two charts: one writes, the other reads.
TEST(Exchange, WriteInOneChartReadInAnother) {
  const DataFileName name("xc_ABC_D.txt");
  Chart writer({{20040301, 0}, {20040303, 0}, {20040305, 0}});
  Call w;
  w.Series({1.25f, 3.5f, 1e-7f}, 0, 2).Text(Temp("xc_%S_%P.txt"));
  ASSERT_EQ(w.Run("WriteData", writer), 0);
  Chart reader(Days(20040301, 6));
  EXPECT_EQ(Read(reader, Temp("xc_%S_%P.txt")), (V{1.25f, 3.5f, 3.5f, 1e-7f, 1e-7f, 1e-7f}));
}

}  // namespace
}  // namespace msxtest
