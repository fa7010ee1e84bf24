#include "common/GuardedCall.h"

#include "host/Token.h"

namespace msx {

void WriteErrorText(ResultRec* result, const char* text) noexcept {
  if (result != nullptr) CopyText(result->szExtendedError, text);
}

}  // namespace msx
