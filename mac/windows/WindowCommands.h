// The window command family (placeholder until it is built).
#pragma once

#include <memory>

#include "mac/commands/KW_Commands.h"
#include "mac/commands/families/FamilyServices.h"

namespace kw {

std::shared_ptr<CommandFamily> makeWindowCommands(const FamilyServices& services);

}  // namespace kw
