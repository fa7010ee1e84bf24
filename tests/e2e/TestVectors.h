// Test vectors: one file per case under tests/data/<FUNCTION>/, read by the
// end-to-end suite and run through the built library.
//
//   # source: where the numbers come from (worked by hand, a golden run ...)
//   # formula: NRTR(C, 10)     ({data} stands for the vectors' folder, for
//                              files a vector reads)
//   # error: TEXT            (optional: the call must fail with this text)
//   date,high,low,close,...  (the chart, as the tester's CSV)
//   ...
//   expected: FIRST LAST     (the result's valid range)
//   BAR,VALUE                (one line per bar of the range)
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace msxtest {

struct TestVector {
  std::string path;
  std::string source;
  std::string formula;
  std::string error;  // empty: the call must succeed
  std::string csv;    // the chart
  int32_t first = 0;
  int32_t last = -1;
  std::map<int32_t, float> values;
};

// The folder of the vectors in the source tree.
std::string VectorFolder();

// Every vector file below the folder, by function (the subfolder's name).
std::map<std::string, std::vector<std::string>> VectorFiles();

// Reads one file; throws std::runtime_error naming the file and line on a
// malformed one.
TestVector ReadVector(const std::string& path);

}  // namespace msxtest
