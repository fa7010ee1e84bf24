// Price series for the tests that compare a shortcut with the plain way: the
// bundled daily prices, and random walks on a cent grid.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace msx {

struct PriceBars {
  std::vector<float> high, low, close;
};

// data/goog-daily.csv: date, open, high, low, close, volume.
inline PriceBars BundledPrices() {
  PriceBars bars;
  std::ifstream in(std::string(MSX_SOURCE_DIR) + "/data/goog-daily.csv");
  std::string line;
  std::getline(in, line);  // the header
  while (std::getline(in, line)) {
    float open, high, low, close;
    if (std::sscanf(line.c_str(), "%*d,%f,%f,%f,%f", &open, &high, &low, &close) != 4) continue;
    bars.high.push_back(high);
    bars.low.push_back(low);
    bars.close.push_back(close);
  }
  return bars;
}

// A random walk of count bars in cents from start, highs and lows a few
// cents around the close.
inline PriceBars RandomWalk(int count, float start, uint32_t seed) {
  PriceBars bars;
  auto next = [&seed] { return (seed = seed * 1664525u + 1013904223u) >> 8; };
  int64_t cents = static_cast<int64_t>(start * 100);
  for (int i = 0; i < count; ++i) {
    cents = std::max<int64_t>(100, cents + static_cast<int64_t>(next() % 201) - 100);
    const int64_t up = next() % 50, down = next() % 50;
    bars.close.push_back(static_cast<float>(cents) / 100);
    bars.high.push_back(static_cast<float>(cents + up) / 100);
    bars.low.push_back(static_cast<float>(cents - down) / 100);
  }
  return bars;
}

}  // namespace msx
