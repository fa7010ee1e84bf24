// Benchmark input: 65,500 bars made from the bundled real daily prices. The
// file's daily moves are replayed one after the other, forwards and then
// backwards, so the series keeps the real data's character (trends, gaps,
// volatility) at the host's maximum length within the real price range
// (compounding the file's fourfold growth pass after pass would reach
// 1e37). Prices are kept on a 0.01 grid as real quotes are.
#pragma once

#include <vector>

namespace msxbench {

struct Bars {
  std::vector<float> high, low, close;
};

// Bars 0 to 65499 (the host's arrays), from data/goog-daily.csv.
const Bars& RealBars();

}  // namespace msxbench
