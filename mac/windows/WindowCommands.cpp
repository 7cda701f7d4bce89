// The window command family (placeholder until it is built).
#include "mac/windows/WindowCommands.h"

namespace kw {

std::shared_ptr<CommandFamily> makeWindowCommands(const FamilyServices& services) {
  (void)services;
  return nullptr;
}

}  // namespace kw
