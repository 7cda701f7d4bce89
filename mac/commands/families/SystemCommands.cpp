// The system command family (placeholder until it is built).
#include "mac/commands/families/SystemCommands.h"

namespace kw {

std::shared_ptr<CommandFamily> makeSystemCommands(const FamilyServices& services) {
  (void)services;
  return nullptr;
}

}  // namespace kw
