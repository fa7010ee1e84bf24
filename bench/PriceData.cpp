#include "PriceData.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

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
    Bars b;
    double level = rows[0].close;
    for (int i = 0; i < msx::kMaxBars; ++i) {
      const std::size_t j = 1 + static_cast<std::size_t>(i) % (rows.size() - 1);
      const double scale = level / rows[j - 1].close;
      b.high.push_back(Tick(rows[j].high * scale));
      b.low.push_back(Tick(rows[j].low * scale));
      b.close.push_back(Tick(rows[j].close * scale));
      level = rows[j].close * scale;
    }
    return b;
  }();
  return bars;
}

}  // namespace msxbench
