// The application and system command family: every function ID that
// commandFamilyOf gives to CommandFamilyKind::System.
#pragma once

#include <memory>

#include "mac/commands/KW_Commands.h"
#include "mac/commands/families/FamilyServices.h"

namespace kw {

// The family object plugged into every command handler (shared by them).
std::shared_ptr<CommandFamily> makeSystemCommands(const FamilyServices& services);

}  // namespace kw
