// Loading ORBALORT.DLL and binding its two exports into slots that hold
// no-op functions whenever the library is not loaded and bound.
#pragma once

#include <windows.h>

#include <cstdint>

namespace kw::orbalo {

// Loads "ORBALORT.DLL" by its relative name (the caller makes the folder that
// holds it current) and binds "ORBALO_Install" and "ORBALO_Cleanup". Reports
// failures with ShowError. Returns the handle only when both were bound; a
// library that loaded without both exports stays loaded until unloading.
HMODULE LoadRuntimeLibrary();

// Frees the library when one is loaded and puts the no-ops back in the slots.
void UnloadRuntimeLibrary();

// Calls through the slots (the no-ops answer 0).
int CallInstall(std::uint32_t threadId);
int CallCleanup();

}  // namespace kw::orbalo
