#include "host/MSX_QMR.h"

#include <cstdint>
#include <iterator>

#include "common/MSX_QMR_CommonFunc.h"
#include "exchange/MSX_QMR_ReadData.h"
#include "exchange/MSX_QMR_WriteData.h"
#include "exchange/MSX_QMR_WriteDataEx.h"
#include "host/MSX_QMR_Announce.h"
#include "host/Registry.h"
#include "indicators/MSX_QMR_CER.h"
#include "indicators/MSX_QMR_JMA.h"
#include "indicators/MSX_QMR_JTPO.h"
#include "indicators/MSX_QMR_NRTR.h"
#include "indicators/MSX_QMR_NRTR_WATR.h"
#include "indicators/MSX_QMR_RENKO_WATR.h"
#include "trading/MSX_QMR_TradeFile.h"
#include "trading/MSX_QMR_TradeQUIK.h"

namespace msx {
namespace {

// The announcement module reads the host program's name first; the
// common-functions module sets the code-page flag before any function
// registers; the function modules follow in the order the host numbers them,
// each registering its table, then running its own load step.
struct Module {
  void (*registerTable)();  // null: a module without a function
  void (*load)();           // may be null
  void (*unload)();         // may be null
};

template <const FunctionTable& T>
constexpr void (*kRegister)() = &RegisterFunction<T>;

constexpr Module kModules[] = {
    {nullptr, LoadAnnounce, UnloadAnnounce},
    {nullptr, LoadCommonFunc, UnloadCommonFunc},
    {kRegister<kNrtrTable>, nullptr, nullptr},
    {kRegister<kNrtrWatrTable>, nullptr, nullptr},
    {kRegister<kCerTable>, nullptr, nullptr},
    {kRegister<kRenkoWatrTable>, nullptr, nullptr},
    {kRegister<kTradeFileTable>, LoadTradeFile, UnloadTradeFile},
    {kRegister<kWriteDataTable>, nullptr, nullptr},
    {kRegister<kWriteDataExTable>, nullptr, nullptr},
    {kRegister<kReadDataTable>, nullptr, nullptr},
    {kRegister<kJmaTable>, nullptr, nullptr},
    {kRegister<kJtpoTable>, nullptr, nullptr},
    {kRegister<kTradeQuikTable>, LoadTradeQuik, UnloadTradeQuik},
};

bool gUnloadingAtProcessExit = false;

}  // namespace

void LibraryLoad() noexcept {
  ClearRegistry();
  // Load runs inside the host's loader, where nothing may escape: a step
  // that fails (memory exhausted) leaves its module out and the rest load.
  for (const Module& m : kModules) {
    try {
      if (m.registerTable != nullptr) m.registerTable();
      if (m.load != nullptr) m.load();
    } catch (...) {
    }
  }
  // Number text is formatted and parsed with "." as the decimal point by
  // construction (std::to_chars and std::from_chars), whatever the locale:
  // there is no separator to set here.
  //
  // Last, with every function registered, the announcement (if any) starts.
  try {
    StartAnnouncement();
  } catch (...) {
  }
}

bool UnloadingAtProcessExit() noexcept { return gUnloadingAtProcessExit; }

void LibraryUnload(bool processTerminating) noexcept {
  gUnloadingAtProcessExit = processTerminating;
  for (auto it = std::rbegin(kModules); it != std::rend(kModules); ++it) {
    if (it->unload == nullptr) continue;
    try {
      it->unload();
    } catch (...) {
    }
  }
}

}  // namespace msx
