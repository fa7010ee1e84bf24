// The built library, loaded once per test program from beside it, as the
// host would load it.
#pragma once

#include "LoadedLibrary.h"

namespace msxtest {

const msxhost::LoadedLibrary& Library();

}  // namespace msxtest
