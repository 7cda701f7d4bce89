// The runtime library's handle and entry-point slots, with their no-ops.
#include "win/projector/RuntimeLibrary.h"

#include "win/projector/ShowError.h"
#include "win/projector/package/PackageFormat.h"
#include "win/projector/package/StartupRules.h"
#include "win/runtime/RuntimeExports.h"

namespace kw::orbalo {

namespace {

int NoInstall(std::uint32_t) { return 0; }
int NoCleanup() { return 0; }

struct RuntimeSlots {
  HMODULE library = nullptr;
  InstallFunction install = NoInstall;
  CleanupFunction cleanup = NoCleanup;
};

RuntimeSlots& Slots() {
  static RuntimeSlots slots;
  return slots;
}

// GetProcAddress gives a generic function pointer; the export's own type is
// restored through the one conversion the compiler accepts without warning.
template <typename Function>
Function Bind(HMODULE library, const char* name) {
  const FARPROC address = GetProcAddress(library, name);
  if (address == nullptr) return nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
}

}  // namespace

HMODULE LoadRuntimeLibrary() {
  RuntimeSlots& slots = Slots();
  HMODULE library = LoadLibraryA(kRuntimeLibraryName);
  if (library == nullptr) {
    ShowError(kTextLoadLibraryFailed, static_cast<int>(GetLastError()));
    return nullptr;
  }
  slots.library = library;
  const InstallFunction install = Bind<InstallFunction>(library, kInstallExport);
  const CleanupFunction cleanup = Bind<CleanupFunction>(library, kCleanupExport);
  if (install != nullptr) slots.install = install;
  if (cleanup != nullptr) slots.cleanup = cleanup;
  if (install == nullptr || cleanup == nullptr) {
    ShowError("%s", kTextMissingFunctions);
    return nullptr;
  }
  return library;
}

void UnloadRuntimeLibrary() {
  RuntimeSlots& slots = Slots();
  // The slots go back first so nothing can call into a freed library.
  slots.install = NoInstall;
  slots.cleanup = NoCleanup;
  if (slots.library != nullptr) {
    FreeLibrary(slots.library);
    slots.library = nullptr;
  }
}

int CallInstall(std::uint32_t threadId) { return Slots().install(threadId); }

int CallCleanup() { return Slots().cleanup(); }

}  // namespace kw::orbalo
