// Library load and unload on Windows: DllMain.
#include <windows.h>

#include "library/MSX_QMR.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE /*instance*/, DWORD reason, LPVOID reserved) {
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      msx::LibraryLoad();
      break;
    case DLL_PROCESS_DETACH:
      // A non-null reserved argument means the process is ending, not that
      // the library is being freed.
      msx::LibraryUnload(reserved != nullptr);
      break;
    default:
      break;
  }
  return TRUE;
}
