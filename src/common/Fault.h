// Faults: what goes wrong inside a function call. A fault carries the message
// the user sees in szExtendedError, as the runtime words it. Faults are thrown
// by the checked helpers below and caught only at the one catch point
// (GuardedCall.h); they never reach the host.
#pragma once

#include <cstddef>
#include <exception>
#include <string>

namespace msx {

inline constexpr const char* kRangeCheckError = "Range check error";
inline constexpr const char* kIntegerOverflow = "Integer overflow";
inline constexpr const char* kInvalidDateEncode = "Invalid argument to date encode";
inline constexpr const char* kInvalidTimeEncode = "Invalid argument to time encode";
inline constexpr const char* kInvalidFloatOperation = "Invalid floating point operation";
inline constexpr const char* kFloatDivisionByZero = "Floating point division by zero";
inline constexpr const char* kFloatOverflow = "Floating point overflow";
inline constexpr const char* kOutOfMemory = "Out of memory";
inline constexpr const char* kUnexpectedFault = "Unexpected fault";

// A fault with its message. Holds the text in place (cut to 99 characters) so
// that raising and reporting it never allocates.
class Fault : public std::exception {
 public:
  explicit Fault(const char* message) noexcept;
  const char* what() const noexcept override { return message_; }

 private:
  static constexpr std::size_t kCapacity = 100;
  char message_[kCapacity];
};

[[noreturn]] void RaiseFault(const char* message);

// A file that the call is there to write could not be written. Its text is
// the user's only clue, so the catch point reports it whatever the
// function does with other faults.
class WriteFault : public Fault {
 public:
  using Fault::Fault;
};

// Raises a WriteFault with the text what + path (cut to 99 characters).
[[noreturn]] void RaiseWriteFault(const char* what, const std::string& path);

}  // namespace msx
