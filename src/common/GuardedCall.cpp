#include "common/GuardedCall.h"

#include <cstring>

namespace msx {

void WriteErrorText(ResultRec* result, const char* text) noexcept {
  if (result == nullptr) return;
  char* field = result->szExtendedError;
  const std::size_t n = text == nullptr ? 0 : strnlen(text, kTextSize - 1);
  if (n > 0) std::memcpy(field, text, n);
  field[n] = '\0';
}

}  // namespace msx
