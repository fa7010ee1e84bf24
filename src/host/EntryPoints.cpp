// The host's description entry points: they answer by registry index,
// forwarding to the describe routines of the function concerned.
#include <cstdint>

#include "common/GuardedCall.h"
#include "host/Export.h"
#include "host/MSXStruct.h"
#include "host/MSX_QMR.h"
#include "host/Token.h"
#include "host/Registry.h"

using namespace msx;

namespace {

const RegistryEntry* Row(int32_t index) {
  if (index < 0 || index >= gFunctionRegistry.count) return nullptr;
  return &gFunctionRegistry.rows[index];
}

}  // namespace

MSX_EXPORT int32_t MSX_CALL MSXInfo(LibraryDescription* info) {
  return GuardedDescribe([&] {
    if (info == nullptr) return -1;
    CopyText(info->text, kLibraryDescription);
    info->functionCount = gFunctionRegistry.count;
    info->version = kInterfaceVersion;
    return 0;
  });
}

MSX_EXPORT int32_t MSX_CALL MSXNthFunction(int32_t index, FunctionDescription* out) {
  const RegistryEntry* row = Row(index);
  if (row == nullptr || out == nullptr) return -1;
  return row->describeFunction(out);
}

MSX_EXPORT int32_t MSX_CALL MSXNthArg(int32_t index, int32_t argument, ArgumentDescription* out) {
  const RegistryEntry* row = Row(index);
  if (row == nullptr || out == nullptr) return -1;
  return row->describeArgument(argument, out);
}

MSX_EXPORT int32_t MSX_CALL MSXNthCustomString(int32_t index, int32_t argument, int32_t string,
                                               CustomStringDescription* out) {
  const RegistryEntry* row = Row(index);
  if (row == nullptr || out == nullptr) return -1;
  return row->describeCustomString(argument, string, out);
}
