// The command families of the application, made once and plugged into the
// command handler of every movie view.
#pragma once

#include <memory>

#include "mac/commands/KW_Commands.h"
#include "mac/commands/families/FamilyServices.h"
#include "mac/net/NetworkCommands.h"

namespace kw {

class CommandFamilies {
 public:
  explicit CommandFamilies(const FamilyServices& services);
  // Plugs every family into the handler.
  void equip(KW_Commands& handler) const;
  // The network family's FTP start, for the command runner (setFTPStarter).
  FTPStarter* ftpStarter() const { return network_.get(); }

 private:
  std::shared_ptr<CommandFamily> files_, system_, menus_, windows_;
  std::shared_ptr<NetworkCommands> network_;
};

}  // namespace kw
