// The content package behind orbalo's own executable: a reader on it, and the
// configuration record (entry 1) read from it.
#pragma once

#include <optional>

#include "win/projector/package/PackageFormat.h"
#include "win/projector/package/PackageReader.h"

namespace kw::orbalo {

// A reader on the running executable (its path as GetModuleFileNameA gives it
// in 512 bytes). Invalid when the file has no package.
PackageReader OwnPackage();

// Entry 1 as a ProjectorConfig; nothing when it is missing or shorter than
// the 76-byte record.
std::optional<ProjectorConfig> ReadOwnConfig();

}  // namespace kw::orbalo
