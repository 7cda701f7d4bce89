// The command families of the application, made once and plugged into the
// command handler of every movie view.
#pragma once

#include <memory>

#include "mac/commands/KW_Commands.h"
#include "mac/commands/families/FamilyServices.h"

namespace kw {

class CommandFamilies {
 public:
  explicit CommandFamilies(const FamilyServices& services);
  // Plugs every family into the handler.
  void equip(KW_Commands& handler) const;

 private:
  std::shared_ptr<CommandFamily> files_, system_, menus_, windows_;
};

}  // namespace kw
