#include "common/HostCall.h"

#include "common/Fault.h"

namespace msx {

const char* HostCall::String(int32_t k) const {
  if (k < 0 || k >= strings->count || k >= kMaxArgs || strings->items[k] == nullptr)
    RaiseFault(kRangeCheckError);
  return strings->items[k];
}

bool AcceptsCall(const FunctionTable& table, const HostCall& call) {
  if (call.data == nullptr || call.series == nullptr || call.numeric == nullptr ||
      call.strings == nullptr || call.custom == nullptr || call.result == nullptr ||
      call.result->result == nullptr)
    return false;
  const uint8_t compared = table.call.comparedCounts;
  auto differs = [&](CountCheck check, int32_t count, ArgumentType type) {
    return (compared & check) != 0 && count != CountArguments(table, type);
  };
  if (differs(kSeriesCount, call.series->count, kSeriesArg) ||
      differs(kNumericCount, call.numeric->count, kNumericArg) ||
      differs(kCustomCount, call.custom->count, kCustomArg) ||
      differs(kStringCount, call.strings->count, kStringArg))
    return false;
  // The series the function reads must be there.
  const int32_t series = CountArguments(table, kSeriesArg);
  if (call.series->count < series) return false;
  for (int32_t i = 0; i < series; ++i)
    if (call.series->items[i] == nullptr) return false;
  return true;
}

}  // namespace msx
