// The one catch point between a function's computation and the host. No
// exception ever crosses it: a fault becomes -1 and, by the function's
// policy, a text in szExtendedError (a WriteFault's text under any policy).
// The result's valid range is written only when the computation succeeds.
#pragma once

#include <cstdint>
#include <exception>
#include <new>

#include "common/Checked.h"
#include "common/Fault.h"
#include "common/FloatEnvironment.h"
#include "host/MSXStruct.h"

namespace msx {

// The fixed text of the indicators that do not report the fault's own message.
inline constexpr const char* kFixedErrorText = "ResultRec.szExtendedError";

enum class ErrorPolicy {
  kFixedText,     // kFixedErrorText, whatever the fault
  kFaultMessage,  // the fault's own message
  kUntouched,     // szExtendedError is left as it was
};

// Copies at most 99 characters and a NUL into szExtendedError; never allocates.
void WriteErrorText(ResultRec* result, const char* text) noexcept;

namespace detail {
inline void Report(ResultRec* result, ErrorPolicy policy, const char* message) noexcept {
  switch (policy) {
    case ErrorPolicy::kFixedText:
      WriteErrorText(result, kFixedErrorText);
      break;
    case ErrorPolicy::kFaultMessage:
      WriteErrorText(result, message);
      break;
    case ErrorPolicy::kUntouched:
      break;
  }
}
}  // namespace detail

// Runs body(), which computes the result values and returns the valid range,
// in the floating-point environment the algorithms are written for (the
// host's is restored on return). On success the range goes into the result
// series and the call returns 0; on any fault the call returns -1 and the
// range stays as it was.
template <class Body>
int32_t GuardedCall(ResultRec* result, ErrorPolicy policy, Body&& body) noexcept {
  const FloatEnvironmentScope floatEnvironment;
  try {
    const BarRange range = body();
    result->result->first = range.first;
    result->result->last = range.last;
    return 0;
  } catch (const WriteFault& f) {
    WriteErrorText(result, f.what());
  } catch (const Fault& f) {
    detail::Report(result, policy, f.what());
  } catch (const std::bad_alloc&) {
    detail::Report(result, policy, kOutOfMemory);
  } catch (const std::exception& e) {
    detail::Report(result, policy, e.what());
  } catch (...) {
    detail::Report(result, policy, kUnexpectedFault);
  }
  return -1;
}

// The describe routines' variant: any fault is -1 and nothing more.
template <class Body>
int32_t GuardedDescribe(Body&& body) noexcept {
  try {
    return body();
  } catch (...) {
    return -1;
  }
}

}  // namespace msx
