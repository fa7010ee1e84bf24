// How the library's entry points meet the host: the standard-call convention
// on 32-bit x86 and one export macro. On Windows the .def file names the
// exports (plain names, no decoration); elsewhere the build hides every symbol
// but those marked here.
#pragma once

#if defined(__i386__)
#define MSX_CALL __attribute__((stdcall))
#else
#define MSX_CALL
#endif

#if defined(_WIN32)
#define MSX_EXPORT extern "C"
#else
#define MSX_EXPORT extern "C" __attribute__((visibility("default")))
#endif
