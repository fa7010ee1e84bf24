// Benchmark input: 65,500 bars made from the bundled real daily prices. The
// file's daily moves are replayed one after the other, from its first bar
// again when it ends, so the series keeps the real data's character (trends,
// gaps, volatility) at the host's maximum length. Prices are kept on a 0.01
// grid as real quotes are.
#pragma once

#include <vector>

namespace msxbench {

struct Bars {
  std::vector<float> high, low, close;
};

// Bars 0 to 65499 (the host's arrays), from data/goog-daily.csv.
const Bars& RealBars();

}  // namespace msxbench
