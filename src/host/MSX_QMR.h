// The library's start and stop: the modules' load steps in registration
// order, their unload steps in reverse.
#pragma once

#include <cstdint>

namespace msx {

// Runs at library load (DllMain or the shared object's constructor): clears
// the registry and runs every module's load step. Never throws.
void LibraryLoad() noexcept;

// Runs at library unload, the steps in reverse order. processTerminating is
// true when the whole process is ending rather than the library being freed.
void LibraryUnload(bool processTerminating) noexcept;

// True while the unload steps run because the process is ending: the
// library's own thread has been killed then, so nothing may wait for it.
bool UnloadingAtProcessExit() noexcept;

// The MSXInfo text: the version and a notice of authorship.
inline constexpr const char* kLibraryDescription =
    "ver. 1.8.0.11 (c) 2026 the msx_qmr developers. Technical indicators, data "
    "exchange and trading.";
inline constexpr int32_t kInterfaceVersion = 1;

}  // namespace msx
