// The menu command family. Every command handler has its own registry of
// menus (fCustomMenuArray): the submenus of the main menu's items as they were
// at the handler's first dispatch, then the handler's context menu, then the
// menus the movie creates. The menu bar itself is the application's.
#include "mac/commands/families/MenuCommands.h"

#include <algorithm>
#include <climits>
#include <map>
#include <utility>
#include <vector>

#include "mac/commands/EventEncoding.h"
#include "mac/commands/FunctionIds.h"
#include "mac/commands/RequestReaders.h"
#include "mac/platform/Desktop.h"
#include "mac/platform/DesktopServices.h"
#include "mac/platform/Menu.h"
#include "mac/platform/View.h"
#include "mac/platform/Window.h"
#include "mac/pluginhost/FlashPlugin.h"
#include "mac/pluginhost/HostInterfaces.h"
#include "mac/pluginhost/PluginHost.h"

namespace kw {
namespace {

// The system's key characters of the function keys F1 and F16.
constexpr uint16_t kF1Key = 63236;
constexpr uint16_t kF16Key = 63251;

// One menu of a registry. Menus made by the commands and the main menu's
// submenus are shared; the context menu belongs to its window and is only
// pointed at.
struct RegisteredMenu {
  std::shared_ptr<Menu> owned;
  Menu* menu = nullptr;
};

// fCustomMenuArray of one handler, with the instance its items talk to.
struct MenuRegistry {
  FlashPlugin* plugin = nullptr;
  Menu* contextMenu = nullptr;
  std::vector<RegisteredMenu> menus;

  // findMenuByName:: the first menu of exactly this (normalised) title.
  RegisteredMenu* find(const std::string& name) {
    for (RegisteredMenu& entry : menus) {
      if (entry.menu->title() == name) return &entry;
    }
    return nullptr;
  }
  void remove(const Menu* menu) {
    std::erase_if(menus, [menu](const RegisteredMenu& entry) { return entry.menu == menu; });
  }
};

// The integer at the start of a text as the string class's intValue reads it:
// leading white space, an optional sign, the digits; anything else gives 0,
// and the value saturates at the 32-bit range (unlike the request readers'
// leadingInteger, which wraps and takes no white space).
int32_t intValue(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' || text[i] == '\r')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = std::min<int64_t>(value * 10 + (text[i] - '0'), int64_t{INT32_MAX} + 1);
  }
  if (negative) return static_cast<int32_t>(-value);
  return static_cast<int32_t>(std::min<int64_t>(value, INT32_MAX));
}

// One UTF-16 code unit of the basic plane as UTF-8.
std::string utf8OfCharacter(uint16_t c) {
  std::string out;
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
  return out;
}

std::string stringArgument(const std::optional<std::string>& parameter) {
  return myStringWithUTF8String(parameter ? parameter->c_str() : nullptr);
}

// The instance is registered and usable (an unregistered pointer is never read).
bool isLiveInstance(PluginHost* host, const FlashPlugin* plugin) {
  if (plugin == nullptr || host == nullptr) return false;
  const InstanceRegistry* instances = host->services().registry;
  return instances != nullptr && instances->isAValidNsPlugin(plugin) && plugin->isSane();
}

// Takes `menu` away from every view of every window that shows it as its context menu.
void detachContextMenu(View& view, const Menu* menu) {
  if (view.menu() == menu) view.setMenu(nullptr);
  for (const auto& subview : view.subviews()) detachContextMenu(*subview, menu);
}

class MenuCommands final : public CommandFamily {
 public:
  explicit MenuCommands(FamilyServices services) : services_(std::move(services)) {}

  void firstDispatch(KW_Commands& handler) override {
    // Registries of handlers whose instance has gone are dropped; a new
    // handler may live where an old one did, so its registry starts afresh.
    std::erase_if(registries_, [this](const auto& entry) {
      return entry.second->plugin != nullptr && !isLive(entry.second->plugin);
    });
    registries_[&handler] = makeRegistry(handler);
  }

  void runCommand(ZFunctionCall& call) override {
    MenuRegistry& registry = registryOf(call.handler);
    const CocoaInterfaceData& record = call.record;
    const std::string s1 = stringArgument(record.stringParam1);
    const std::string s2 = stringArgument(record.stringParam2);
    const std::string s3 = stringArgument(record.stringParam3);
    const bool b1 = record.boolParam1 != 0;
    switch (record.functionNumber) {
      case fid::kCreateMenu: createMenu(registry, s1); break;
      case fid::kDeleteMenu: deleteMenu(registry, s1); break;
      case fid::kAddMenuToMenuBar: addMenuToMenubar(registry, s1); break;
      case fid::kAddWebLinkToMenu: addWebLinkToMenu(registry, s1, s2, s3); break;
      case fid::kAddZOrderMenuItems: showZOrderMenuItems(registry, s1, b1, call.window); break;
      case fid::kAddItem: addMenuItem(registry, s1, s2, s3); break;
      case fid::kRemoveItem: removeMenuItem(registry, s1, s2); break;
      case fid::kAddSeparator: addSeparatorToMenu(registry, s1); break;
      case fid::kCheckItem:
        if (MenuItem* item = findItem(registry, s1, s2)) item->state = b1 ? 1 : 0;
        break;
      case fid::kRemoveAllItems:
        if (RegisteredMenu* menu = registry.find(normalizedMenuName(s1))) menu->menu->removeAllItems();
        break;
      case fid::kSetMenuItemEnabled:
        if (MenuItem* item = findItem(registry, s1, s2)) item->enabled = b1;
        break;
      default:
        break;
    }
  }

 private:
  std::shared_ptr<MenuRegistry> makeRegistry(const KW_Commands& handler) const {
    auto registry = std::make_shared<MenuRegistry>();
    registry->plugin = handler.fPlugin;
    if (services_.desktop != nullptr && services_.desktop->mainMenu) {
      const Menu& mainMenu = *services_.desktop->mainMenu;
      for (size_t i = 0; i < mainMenu.numberOfItems(); ++i) {
        const std::shared_ptr<Menu>& submenu = mainMenu.itemAtIndex(i)->submenu;
        if (submenu) registry->menus.push_back({submenu, submenu.get()});
      }
    }
    if (handler.fContextMenu != nullptr) {
      handler.fContextMenu->setTitle(std::string(kRightClickMenuName));
      registry->contextMenu = handler.fContextMenu;
      registry->menus.push_back({nullptr, handler.fContextMenu});
    }
    return registry;
  }

  // A handler plugged in after its first dispatch gets its registry now.
  MenuRegistry& registryOf(KW_Commands& handler) {
    std::shared_ptr<MenuRegistry>& registry = registries_[&handler];
    if (!registry) registry = makeRegistry(handler);
    return *registry;
  }

  bool isLive(const FlashPlugin* plugin) const { return isLiveInstance(services_.host, plugin); }

  MenuItem* findItem(MenuRegistry& registry, const std::string& menuName, const std::string& itemName) {
    RegisteredMenu* menu = registry.find(normalizedMenuName(menuName));
    return menu != nullptr ? menu->menu->itemWithTitle(itemName) : nullptr;
  }

  static std::shared_ptr<MenuItem> customItem(std::string title, std::function<void(MenuItem&)> action) {
    auto item = std::make_shared<MenuItem>(std::move(title), std::move(action));
    item->tag = kCustomMenuItemTag;
    return item;
  }

  void createMenu(MenuRegistry& registry, const std::string& name) {
    // The sim menus never enable items by themselves, so nothing is switched off.
    auto menu = std::make_shared<Menu>(normalizedMenuName(name));
    registry.menus.push_back({menu, menu.get()});
  }

  void deleteMenu(MenuRegistry& registry, const std::string& name) {
    const std::string normalized = normalizedMenuName(name);
    if (normalized == kRightClickMenuName) {
      if (RegisteredMenu* menu = registry.find(normalized)) {
        Menu* found = menu->menu;
        found->removeAllItems();
        registry.remove(found);
      }
      if (isLive(registry.plugin) && registry.contextMenu != nullptr && services_.desktop != nullptr) {
        for (Window* window : services_.desktop->windows()) {
          if (window->contentView() != nullptr) detachContextMenu(*window->contentView(), registry.contextMenu);
        }
      }
      return;
    }
    if (services_.desktop == nullptr || !services_.desktop->mainMenu) return;
    Menu& mainMenu = *services_.desktop->mainMenu;
    const int64_t index = mainMenu.indexOfItemWithTitle(normalized);
    if (index < 0) return;
    // Kept while it is taken apart: the main menu held the last reference.
    const std::shared_ptr<Menu> submenu = mainMenu.itemAtIndex(static_cast<size_t>(index))->submenu;
    mainMenu.removeItemAtIndex(static_cast<size_t>(index));
    if (!submenu) return;
    if (RegisteredMenu* menu = registry.find(normalized)) menu->menu->removeAllItems();
    registry.remove(submenu.get());
  }

  void addMenuToMenubar(MenuRegistry& registry, const std::string& name) {
    RegisteredMenu* menu = registry.find(normalizedMenuName(name));
    // The context menu belongs to its window and does not go to the menu bar.
    if (menu == nullptr || !menu->owned || services_.desktop == nullptr) return;
    Desktop& desktop = *services_.desktop;
    if (!desktop.mainMenu) desktop.mainMenu = std::make_shared<Menu>("MainMenu");
    MenuItem& item = desktop.mainMenu->addItem(std::make_shared<MenuItem>(name));
    item.submenu = menu->owned;
    menu->menu->setTitle(name);
  }

  void addWebLinkToMenu(MenuRegistry& registry, const std::string& menuName, const std::string& itemName,
                        const std::string& url) {
    RegisteredMenu* menu = registry.find(normalizedMenuName(menuName));
    if (menu == nullptr) return;
    // openURLFromMenu:
    Workspace* workspace = services_.workspace;
    menu->menu->addItem(customItem(itemName, [workspace, url](MenuItem&) {
      if (workspace != nullptr) workspace->openURL(url);
    }));
  }

  void addMenuItem(MenuRegistry& registry, const std::string& menuName, const std::string& itemName,
                   const std::string& shortcut) {
    RegisteredMenu* menu = registry.find(normalizedMenuName(menuName));
    if (menu == nullptr) return;
    // sendMenuSelectedMessage:: the event text names the menu as the movie wrote it.
    std::string message = *events::customMenuCommand(menuName, itemName).text;
    FlashPlugin* plugin = registry.plugin;
    PluginHost* host = services_.host;
    MenuItem& item = menu->menu->addItem(customItem(itemName, [host, plugin, message](MenuItem&) {
      if (isLiveInstance(host, plugin)) plugin->sendMessageToSWF(message);
    }));
    const MenuShortcut decoded = decodeMenuShortcut(shortcut);
    if (!decoded.keyEquivalent.empty()) item.keyEquivalent = decoded.keyEquivalent;
    item.keyEquivalentModifierMask = decoded.modifierMask;
  }

  void removeMenuItem(MenuRegistry& registry, const std::string& menuName, const std::string& itemName) {
    RegisteredMenu* menu = registry.find(normalizedMenuName(menuName));
    if (menu == nullptr) return;
    const int64_t index = menu->menu->indexOfItemWithTitle(itemName);
    if (index >= 0) menu->menu->removeItemAtIndex(static_cast<size_t>(index));
  }

  void addSeparatorToMenu(MenuRegistry& registry, const std::string& menuName) {
    if (RegisteredMenu* menu = registry.find(normalizedMenuName(menuName))) menu->menu->addItem(MenuItem::separator());
  }

  // The command passes a flag the parser never fills, so this adds nothing
  // unless a record arrives with it set.
  void showZOrderMenuItems(MenuRegistry& registry, const std::string& menuName, bool show, PluginWindow* window) {
    RegisteredMenu* menu = registry.find(normalizedMenuName(menuName));
    if (menu == nullptr || !show) return;
    static constexpr std::pair<const char*, int32_t> kItems[] = {
        {"Always Below Other Windows", kDesktopIconWindowLevelKey},  // setWindowLevelBottom:
        {"Always Above Other Windows", kStatusWindowLevelKey},       // setWindowLevelTop:
        {"Standard Window Behavior", kNormalWindowLevelKey},         // setWindowLevelNormal:
    };
    // The window is used only while its instance is still registered as its own.
    FlashPlugin* plugin = registry.plugin;
    PluginHost* host = services_.host;
    for (const auto& [title, levelKey] : kItems) {
      const int32_t key = levelKey;
      menu->menu->addItem(customItem(title, [host, plugin, window, key](MenuItem&) {
        if (!isLiveInstance(host, plugin) || window == nullptr || plugin->m_flashWindow != window) return;
        if (Window* native = window->nativeWindow()) native->setLevel(windowLevelForKey(key));
      }));
    }
  }

  FamilyServices services_;
  std::map<const KW_Commands*, std::shared_ptr<MenuRegistry>> registries_;
};

}  // namespace

std::string normalizedMenuName(std::string_view name) {
  if (name.empty() || name == "undefined") return std::string(kRightClickMenuName);
  return std::string(name);
}

MenuShortcut decodeMenuShortcut(std::string_view shortcut) {
  MenuShortcut decoded;
  size_t start = 0;
  while (true) {
    const size_t comma = shortcut.find(',', start);
    const std::string_view piece = shortcut.substr(start, comma == std::string_view::npos ? comma : comma - start);
    const auto value = static_cast<uint32_t>(intValue(piece));
    const auto c16 = static_cast<uint16_t>(value);
    const auto c8 = static_cast<uint8_t>(value);
    if (c16 >= kF1Key && c16 <= kF16Key) {
      decoded.keyEquivalent = utf8OfCharacter(c16);
    } else if (c16 > kF16Key) {
      decoded.keyEquivalent = utf8OfCharacter(kF16Key);
    } else if (c8 >= 65 && c8 <= 122) {
      decoded.keyEquivalent = std::string(1, static_cast<char>(c8));
    } else {
      // 16 shift, 17 control, 18 option, 19 command.
      decoded.modifierMask |= 1u << ((c8 + 1u) % 32u);
    }
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  return decoded;
}

std::shared_ptr<CommandFamily> makeMenuCommands(const FamilyServices& services) {
  return std::make_shared<MenuCommands>(services);
}

}  // namespace kw
