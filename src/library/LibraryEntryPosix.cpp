// Library load and unload on POSIX: the shared object's constructor and
// destructor.
#include "library/MSX_QMR.h"

namespace {

__attribute__((constructor)) void OnLoad() { msx::LibraryLoad(); }
__attribute__((destructor)) void OnUnload() { msx::LibraryUnload(false); }

}  // namespace
