// The menu command family (zMenu): menus the movie builds in the menu bar and
// in its context menu, items with shortcuts, web links, separators, check
// marks and enabled states, and the z-order items. Choosing an item the movie
// added sends the movie a zMenu onCommand event.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "mac/commands/KW_Commands.h"
#include "mac/commands/families/FamilyServices.h"

namespace kw {

// The title the movie's context menu gets at the handler's first dispatch;
// an empty menu name or "undefined" names it.
inline constexpr std::string_view kRightClickMenuName = "Right Click Menu";
// The tag of every item the menu commands make.
inline constexpr int32_t kCustomMenuItemTag = 4353;

// setMenuName:: "" and "undefined" become "Right Click Menu"; other names stay.
std::string normalizedMenuName(std::string_view name);

// A shortcut text ("71,19") read into a key equivalent (UTF-8, empty when no
// piece names a key) and a modifier mask (kDesktop... bits, plus the bits that
// stand for no modifier key).
struct MenuShortcut {
  std::string keyEquivalent;
  uint32_t modifierMask = 0;
};
MenuShortcut decodeMenuShortcut(std::string_view shortcut);

// The family object plugged into every command handler (shared by them; each
// handler keeps its own registry of menus).
std::shared_ptr<CommandFamily> makeMenuCommands(const FamilyServices& services);

}  // namespace kw
