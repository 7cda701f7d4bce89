// The file command family (IDs 500-520 but 507): paths, copies, links, the
// Trash, text files, listings, open and save panels, movie headers and file
// attributes. The file system work is in FileOperations.h.
#pragma once

#include <memory>

#include "mac/commands/KW_Commands.h"
#include "mac/commands/families/FamilyServices.h"

namespace kw {

// The family object plugged into every command handler (shared by them).
std::shared_ptr<CommandFamily> makeFileCommands(const FamilyServices& services);

}  // namespace kw
