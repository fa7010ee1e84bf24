#include "common/Fault.h"

namespace msx {

Fault::Fault(const char* message) noexcept : message_{} {
  std::size_t n = 0;
  if (message != nullptr) {
    while (n + 1 < kCapacity && message[n] != '\0') {
      message_[n] = message[n];
      ++n;
    }
  }
  message_[n] = '\0';
}

void RaiseFault(const char* message) { throw Fault(message); }

void RaiseWriteFault(const char* what, const std::string& path) {
  throw WriteFault((what + path).c_str());
}

}  // namespace msx
