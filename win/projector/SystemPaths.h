// The two system paths orbalo keeps asking for: the system temporary folder
// and the full path of its own executable.
#pragma once

#include <string>

namespace kw::orbalo {

// GetTempPathA into a buffer that leaves room for `capacity` - 1 characters;
// ends in a backslash. Empty when the system gives no path or a longer one.
std::string TemporaryPath(unsigned capacity = 260);

// GetModuleFileNameA of the running executable into a buffer of `capacity`
// bytes. Empty on failure; a cut path is returned as the system cut it.
std::string ExecutablePath(unsigned capacity = 512);

}  // namespace kw::orbalo
