// Makes the command families and plugs them into command handlers.
#include "mac/app/CommandFamilies.h"

#include "mac/commands/families/FileCommands.h"
#include "mac/commands/families/MenuCommands.h"
#include "mac/commands/families/SystemCommands.h"
#include "mac/windows/WindowCommands.h"

namespace kw {

CommandFamilies::CommandFamilies(const FamilyServices& services)
    : files_(makeFileCommands(services)),
      system_(makeSystemCommands(services)),
      menus_(makeMenuCommands(services)),
      windows_(makeWindowCommands(services)),
      network_(makeNetworkCommands(services)) {}

void CommandFamilies::equip(KW_Commands& handler) const {
  handler.setFamily(CommandFamilyKind::File, files_);
  handler.setFamily(CommandFamilyKind::System, system_);
  handler.setFamily(CommandFamilyKind::Menu, menus_);
  handler.setFamily(CommandFamilyKind::Window, windows_);
  handler.setFamily(CommandFamilyKind::Network, network_);
}

}  // namespace kw
