// The port's one translation of the system's error codes into a Status
// (errno on POSIX, GetLastError() on Windows), shared by the port's files.
#pragma once

#include <cstdint>

#include "platform/Platform.h"

namespace msx::platform {

#ifdef _WIN32
Status FromLastError(uint32_t e);
#else
Status FromErrno(int e);
#endif

}  // namespace msx::platform
