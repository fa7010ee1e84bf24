#include "common/Fault.h"

#include "host/Token.h"

namespace msx {

Fault::Fault(const char* message) noexcept : message_{} { CopyText(message_, message); }

void RaiseFault(const char* message) { throw Fault(message); }

}  // namespace msx
