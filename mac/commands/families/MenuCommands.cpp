// The menu command family (placeholder until it is built).
#include "mac/commands/families/MenuCommands.h"

namespace kw {

std::shared_ptr<CommandFamily> makeMenuCommands(const FamilyServices& services) {
  (void)services;
  return nullptr;
}

}  // namespace kw
