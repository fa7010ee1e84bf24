// The one error type of the formula tester: a message for the user and the
// exit status the command ends with.
#pragma once

#include <stdexcept>
#include <string>

namespace msxhost {

inline constexpr int kExitOk = 0;
// The library failed: it could not be loaded, described itself wrongly or a
// function returned -1; or an output file could not be written.
inline constexpr int kExitFailure = 1;
// The user's input is wrong: the command line, the formula or the data file.
inline constexpr int kExitUsage = 2;

class HostError : public std::runtime_error {
 public:
  HostError(int exitCode, const std::string& message)
      : std::runtime_error(message), exitCode_(exitCode) {}

  int exitCode() const { return exitCode_; }

 private:
  int exitCode_;
};

}  // namespace msxhost
