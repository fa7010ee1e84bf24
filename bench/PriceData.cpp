#include "PriceData.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "common/Calendar.h"
#include "host/MSXStruct.h"

namespace msxbench {
namespace {

struct Row {
  double high, low, close;
};

std::vector<Row> ReadRows() {
  std::ifstream in(std::string(MSX_SOURCE_DIR) + "/data/goog-daily.csv");
  std::vector<Row> rows;
  std::string line;
  std::getline(in, line);  // date,open,high,low,close,volume
  while (std::getline(in, line)) {
    double f[6] = {};
    const char* p = line.data();
    const char* end = line.data() + line.size();
    for (double& v : f) {
      p = std::from_chars(p, end, v).ptr;
      if (p < end && *p == ',') ++p;
    }
    rows.push_back({f[2], f[3], f[4]});
  }
  if (rows.size() < 2) {
    std::fprintf(stderr, "bench: cannot read data/goog-daily.csv\n");
    std::exit(1);
  }
  return rows;
}

float Tick(double price) { return static_cast<float>(std::round(price * 100) / 100); }

}  // namespace

const Bars& RealBars() {
  static const Bars bars = [] {
    const std::vector<Row> rows = ReadRows();
    const std::size_t moves = rows.size() - 1;
    Bars b;
    double level = rows[0].close;
    for (int i = 0; i < msx::kMaxBars; ++i) {
      // The file forwards, then backwards (each day's move undone in
      // reverse order), and so on: the price returns to where it started
      // every second pass instead of compounding the file's growth.
      const std::size_t pass = static_cast<std::size_t>(i) / moves;
      const std::size_t step = static_cast<std::size_t>(i) % moves;
      const std::size_t from = pass % 2 == 0 ? step : moves - step;
      const std::size_t to = pass % 2 == 0 ? step + 1 : moves - step - 1;
      const double scale = level / rows[from].close;
      b.high.push_back(Tick(rows[to].high * scale));
      b.low.push_back(Tick(rows[to].low * scale));
      b.close.push_back(Tick(rows[to].close * scale));
      level = rows[to].close * scale;
    }
    return b;
  }();
  return bars;
}

msx::HostDateTimeEntry IntradayClock::Next() {
  if (slot_ == 78) {
    slot_ = 0;
    if (++day_ > msx::DaysInMonth(year_, month_)) {
      day_ = 1;
      if (++month_ > 12) month_ = 1, ++year_;
    }
  }
  const int32_t minutes = 10 * 60 + 5 * slot_++;
  return {(year_ * 100 + month_) * 100 + day_, (minutes / 60 * 100 + minutes % 60) * 1000};
}

IntradayChart::IntradayChart() : close(RealBars().close) {
  for (int32_t i = 0; i < msx::kMaxBars; ++i) dates.push_back(clock.Next());
  data.dates = dates.data();
  data.close = Close();
  data.symbol = symbol;
  data.period = 'I';
  data.interval = 5;
}

}  // namespace msxbench
