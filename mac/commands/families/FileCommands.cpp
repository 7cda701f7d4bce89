// The file command family (placeholder until it is built).
#include "mac/commands/families/FileCommands.h"

namespace kw {

std::shared_ptr<CommandFamily> makeFileCommands(const FamilyServices& services) {
  (void)services;
  return nullptr;
}

}  // namespace kw
