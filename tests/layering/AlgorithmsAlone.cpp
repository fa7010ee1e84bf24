// Linked with the algorithm library's objects alone: every symbol they use
// must be theirs or the C++ runtime's. One call through a module's call path
// shows the objects work without the rest of the library.
#include <cstdio>
#include <vector>

#include "common/HostCall.h"
#include "indicators/MSX_QMR_NRTR.h"

int main() {
  using namespace msx;
  std::vector<float> close(kMaxBars, 10.0f);
  std::vector<float> percent(kMaxBars, 2.0f);
  std::vector<float> out(kMaxBars, 0.0f);
  HostSeries c{close.data(), 0, 99};
  HostSeries k{percent.data(), 0, 99};
  HostSeries result{out.data(), -1, -1};
  HostDataRecord data{};
  data.close = data.high = data.low = c;
  HostSeriesArgs series{{&c, &k}, 2};
  HostNumericArgs numeric{};
  HostStringArgs strings{};
  HostCustomArgs custom{};
  ResultRec rec{&result, {}};
  const HostCall call{&data, &series, &numeric, &strings, &custom, &rec};
  const int32_t rc = CallFunction(kNrtrTable, call, [](const HostCall& h) {
    return ComputeNrtr(h.Series(0), h.Series(1), h.Data().high, h.Data().low, h.Out());
  });
  if (rc != 0 || result.last != 99) {
    std::printf("NRTR through the call path: %d, range %d..%d\n", rc, result.first, result.last);
    return 1;
  }
  return 0;
}
