// The two exports of ORBALORT.DLL, bound by name at run time by orbalo
// ("ORBALO_Install", "ORBALO_Cleanup"); the pointer types suit GetProcAddress.
#pragma once

#include <cstdint>

extern "C" {
// Installs the message filter on thread `threadId` and the low-level keyboard
// filter; non-zero when both were installed, 0 when the message filter failed.
int ORBALO_Install(std::uint32_t threadId);
// Removes both filters (whatever was installed); always 1.
int ORBALO_Cleanup();
}

namespace kw::orbalo {
using InstallFunction = int (*)(std::uint32_t threadId);
using CleanupFunction = int (*)();
}  // namespace kw::orbalo
