// The one call path of every exported function: the argument check, the
// error text, the catch point and the answer, as the function's table says.
// An export body is one line: CallFunction(table, {the host's arguments},
// the computation).
#pragma once

#include <cstdint>
#include <cstring>

#include "common/FunctionTable.h"
#include "common/GuardedCall.h"
#include "common/MSX_QMR_CommonFunc.h"
#include "host/MSXStruct.h"

namespace msx {

// The host's records of one call.
struct HostCall {
  const HostDataRecord* data;
  const HostSeriesArgs* series;
  const HostNumericArgs* numeric;
  const HostStringArgs* strings;
  const HostCustomArgs* custom;
  ResultRec* result;

  const HostDataRecord& Data() const { return *data; }
  const HostSeries& Series(int32_t k) const { return *series->items[k]; }
  float Numeric(int32_t k) const { return numeric->items[k]; }
  int32_t Custom(int32_t k) const { return custom->items[k]; }
  // String argument k: a "Range check error" when the host did not pass it
  // (the count too low, or a null pointer).
  const char* String(int32_t k) const;
  float* Out() const { return result->result->values; }
};

// True when the host's records are there and the counts the table compares
// are the table's.
bool AcceptsCall(const FunctionTable& table, const HostCall& call);

// Runs compute(call), which returns the result's valid range, by the
// table's rules: -1 with nothing written on a count mismatch; the error
// text cleared first if the function does so; a fault becomes -1 and the
// table's error text; a code-page function that is not offered may answer
// -1 after computing.
template <class Compute>
int32_t CallFunction(const FunctionTable& table, const HostCall& call, Compute&& compute) noexcept {
  if (!AcceptsCall(table, call)) return -1;
  if (table.call.clearsErrorText)
    std::memset(call.result->szExtendedError, 0, sizeof call.result->szExtendedError);
  const int32_t rc = GuardedCall(call.result, table.call.errorText, [&] { return compute(call); });
  const bool answersFailure = table.codePageOnly && !CodePageFlag() &&
                              table.call.whenNotOffered == WhenNotOffered::kAnswersFailure;
  return rc == 0 && answersFailure ? -1 : rc;
}

}  // namespace msx
