// The menu commands as a movie sends them: menus in the menu bar and the
// context menu, shortcuts, the events of chosen items, per-window registries.
#include <gtest/gtest.h>

#include "mac/commands/families/MenuCommands.h"
#include "mac/platform/Menu.h"
#include "mac/pluginhost/FlashPlugin.h"
#include "mac/windows/CustomWindow.h"
#include "mac/windows/FlashView.h"
#include "tests/support/CommandFixture.h"
#include "tools/standin/StandInReport.h"

namespace kw::test {
namespace {

using Titles = std::vector<std::string>;
const char* const kF16 = "\xEF\x9C\x93";

TEST(MenuShortcut, PiecesGiveKeysAndModifierBits) {
  const struct { const char* shortcut; const char* key; uint32_t mask; } cases[] = {
      {"16,17,18,65,66", "B", kDesktopShift | kDesktopControl | kDesktopOption},  // a later key replaces the earlier
      {"63252", kF16, 0}, {"-1", kF16, 0},
      {"99999999999", kF16, 0},  // saturates at 2^31 - 1: low 16 bits 65535
      {"321", "A", 0},           // low 8 bits 65
      {"122,64", "z", 1u << 1}, {"123", "", 1u << 28},
      {"", "", 1u << 1},         // 0: bit 1, no modifier key
      {"x, 19", "", (1u << 1) | kDesktopCommand},
  };
  for (const auto& c : cases) {
    const MenuShortcut decoded = decodeMenuShortcut(c.shortcut);
    EXPECT_EQ(decoded.keyEquivalent, c.key) << c.shortcut;
    EXPECT_EQ(decoded.modifierMask, c.mask) << c.shortcut;
  }
}

class MenuCommands : public CommandFixture {
 protected:
  // The menu events a window's movie received, once the back channel carried them.
  Titles received(FlashWindow& window) {
    assembly.runLoop.runFor(0.5);
    if (!code) code = LoadedCode::load(*Bundle::open(resources() / "fpb.plugin"));
    const auto hook = reinterpret_cast<StandIn_ReportFuncPtr>(code->symbol("StandIn_Report"));
    Titles events;
    for (std::string message : hook(window.plugin()->instance())->backChannelMessages) {
      while (!message.empty() && message.back() == '\0') message.pop_back();
      if (message.starts_with("ARRAY_OF_STRINGS=zMenu")) events.push_back(message);
    }
    return events;
  }
  // Runs menu requests in order on the window (default: the first).
  void menu(std::initializer_list<std::string> requests, FlashWindow* window = nullptr) {
    for (const std::string& request : requests) {
      EXPECT_EQ(run("KW://KW_zMenu." + request, false, false, window).parse, kStatusRunCommand) << request;
    }
  }
  static Titles titles(const Menu& menu) {
    Titles list;
    for (size_t i = 0; i < menu.numberOfItems(); ++i) {
      list.push_back(menu.itemAtIndex(i)->isSeparator ? "-" : menu.itemAtIndex(i)->title);
    }
    return list;
  }
  Menu* barMenu(const std::string& title) const {
    MenuItem* item = desktop.mainMenu ? desktop.mainMenu->itemWithTitle(title) : nullptr;
    return item != nullptr ? item->submenu.get() : nullptr;
  }
  void rightClick(FlashWindow& window, std::string item) {
    const DesktopRect content = window.window()->contentRect();
    const DesktopPoint middle{content.origin.x + content.size.width / 2, content.origin.y + content.size.height / 2};
    desktop.menuChoices.emplace_back(std::move(item));
    desktop.pressMouse(middle, 1);
    desktop.releaseMouse(middle);
  }

  std::unique_ptr<LoadedCode> code;
};

TEST_F(MenuCommands, MenuBarMenusTakeItemsThatSendTheirEvent) {
  startApplication();
  menu({"createMenu?menuName=Tools", "addMenuToMenuBar?menuName=Tools",
        "addItem?menuName=Tools&itemName=Go&shortcut=71,19", "addSeparator?menuName=Tools", "addWebLinkToMenu?menuName=Tools&itemName=Site&url=https://example.invalid/a",
        "addItem?menuName=Tools&itemName=Stop&shortcut=", "checkItem?menuName=Tools&itemName=Stop&check=true"});
  Menu* tools = barMenu("Tools");
  ASSERT_NE(tools, nullptr);
  EXPECT_EQ(titles(*tools), (Titles{"Go", "-", "Site", "Stop"}));
  MenuItem& go = *tools->itemWithTitle("Go");  // its shortcut: FamiliesEndToEndTest
  EXPECT_EQ(go.tag, kCustomMenuItemTag);
  EXPECT_EQ(tools->itemWithTitle("Stop")->state, 1);
  EXPECT_TRUE(go.perform());
  EXPECT_EQ(received(*controller->flashWindow()), Titles{"ARRAY_OF_STRINGS=zMenu~!onCommand~!Tools~!Go"});
  EXPECT_TRUE(tools->itemWithTitle("Site")->perform());
  EXPECT_EQ(assembly.workspace.opened, Titles{"https://example.invalid/a"});

  menu({"setMenuItemEnabled?menuName=Tools&itemName=Go&enable=false"});
  EXPECT_FALSE(go.perform());
  menu({"removeItem?menuName=Tools&itemName=Site"});
  EXPECT_EQ(titles(*tools), (Titles{"Go", "-", "Stop"}));
  // Deleting takes the menu out of the bar and out of the registry.
  menu({"deleteMenu?menuName=Tools"});
  menu({"addMenuToMenuBar?menuName=Tools"});
  EXPECT_EQ(desktop.mainMenu->numberOfItems(), 0u);
}

TEST_F(MenuCommands, UnknownNamesDoNothingAndDuplicateNamesFindTheFirstMenu) {
  auto file = std::make_shared<Menu>("File");
  desktop.mainMenu = std::make_shared<Menu>("MainMenu");
  desktop.mainMenu->addItem(std::make_shared<MenuItem>("File")).submenu = file;
  startApplication();
  // The main menu's submenus come first in the registry; a duplicate comes later.
  menu({"createMenu?menuName=File", "addItem?menuName=File&itemName=Export&shortcut=",
        "checkItem?menuName=Nowhere&itemName=Export&check=true",
        "setMenuItemEnabled?menuName=File&itemName=Nothing&enable=false", "addItem?menuName=file&itemName=Case&shortcut=",
        "addMenuToMenuBar?menuName=Nowhere", "deleteMenu?menuName=Nowhere"});
  EXPECT_EQ(titles(*file), Titles{"Export"});
  EXPECT_EQ(titles(*desktop.mainMenu), Titles{"File"});
}

TEST_F(MenuCommands, CheckItemClearsAndRemoveAllItemsEmptiesOnlyTheNamedMenu) {
  startApplication();
  menu({"createMenu?menuName=M", "addMenuToMenuBar?menuName=M", "addItem?menuName=M&itemName=A&shortcut=",
        "addSeparator?menuName=M", "addItem?menuName=M&itemName=B&shortcut=", "checkItem?menuName=M&itemName=B&check=true",
        "checkItem?menuName=M&itemName=B&check=false", "addItem?menuName=&itemName=P&shortcut=",
        "removeAllItems?menuName=Nowhere"});
  Menu* m = barMenu("M");
  ASSERT_EQ(titles(*m), (Titles{"A", "-", "B"}));
  EXPECT_EQ(m->itemWithTitle("B")->state, 0);
  menu({"removeAllItems?menuName=M"});
  EXPECT_EQ(m->numberOfItems(), 0u);
  EXPECT_EQ(titles(*controller->flashWindow()->contextMenu()), Titles{"P"});
  menu({"removeAllItems?menuName=undefined"});
  EXPECT_EQ(controller->flashWindow()->contextMenu()->numberOfItems(), 0u);
}

TEST_F(MenuCommands, AnEmptyMenuNameIsTheContextMenuUntilItIsDeleted) {
  writeSettings({{"windowAlpha", PlistValue::integer(100)}});  // a window that takes clicks
  startApplication();
  FlashWindow& window = *controller->flashWindow();
  menu({"addItem?menuName=&itemName=Play&shortcut=", "addItem?menuName=undefined&itemName=Pause&shortcut=",
        "addItem?menuName=Right%20Click%20Menu&itemName=Rewind&shortcut="});
  EXPECT_EQ(titles(*window.contextMenu()), (Titles{"Play", "Pause", "Rewind"}));
  rightClick(window, "Play");
  rightClick(window, "Rewind");
  // The event names the menu as the movie wrote it.
  EXPECT_EQ(received(window), (Titles{"ARRAY_OF_STRINGS=zMenu~!onCommand~!~!Play",
                                      "ARRAY_OF_STRINGS=zMenu~!onCommand~!Right Click Menu~!Rewind"}));

  menu({"deleteMenu?menuName=Right%20Click%20Menu"});
  EXPECT_EQ(window.view()->menu(), nullptr);
  menu({"addItem?menuName=&itemName=Play&shortcut="});
  EXPECT_EQ(window.contextMenu()->numberOfItems(), 0u);
}

TEST_F(MenuCommands, EachWindowHasItsOwnRegistryAndItemsOfAClosedWindowSendNothing) {
  startApplication();
  FlashWindowArgs args;
  args.swf = (resources() / "zvdata.zve").string();
  args.type = "RECTANGULAR";
  ASSERT_NE(controller->createWindow(args), 0u);
  FlashWindow* second = controller->flashWindowList().back();

  menu({"createMenu?menuName=Theirs"});  // in the first window's registry only
  menu({"addItem?menuName=&itemName=Second&shortcut="}, second);
  EXPECT_EQ(titles(*second->contextMenu()), Titles{"Second"});
  EXPECT_EQ(controller->flashWindow()->contextMenu()->numberOfItems(), 0u);

  menu({"addItem?menuName=Theirs&itemName=Later&shortcut="}, second);  // no such menu in its registry
  menu({"createMenu?menuName=Theirs", "addItem?menuName=Theirs&itemName=Later&shortcut=",
        "addMenuToMenuBar?menuName=Theirs"},
       second);
  ASSERT_EQ(titles(*barMenu("Theirs")), Titles{"Later"});
  MenuItem* later = barMenu("Theirs")->itemAtIndex(0);
  EXPECT_TRUE(later->perform());
  EXPECT_EQ(received(*second), Titles{"ARRAY_OF_STRINGS=zMenu~!onCommand~!Theirs~!Later"});
  controller->closeThisWindow(second);
  EXPECT_TRUE(later->perform());
  EXPECT_EQ(received(*controller->flashWindow()), Titles{});
}

TEST_F(MenuCommands, ZOrderItemsNeedTheFlagTheParserNeverFills) {
  startApplication();
  menu({"createMenu?menuName=Order", "addZOrderMenuItems?menuName=Order", "addMenuToMenuBar?menuName=Order"});
  EXPECT_EQ(barMenu("Order")->numberOfItems(), 0u);
  CocoaInterfaceData record;
  ASSERT_EQ(parseCommand("zMenu.addZOrderMenuItems?menuName=Order", &record, false, false, mouse), kStatusRunCommand);
  record.boolParam1 = 1;
  controller->flashWindow()->processOneEvent(record);
  EXPECT_EQ(titles(*barMenu("Order")),
            (Titles{"Always Below Other Windows", "Always Above Other Windows", "Standard Window Behavior"}));
  const int32_t keys[] = {kDesktopIconWindowLevelKey, kStatusWindowLevelKey, kNormalWindowLevelKey};
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_TRUE(barMenu("Order")->itemAtIndex(i)->perform());
    EXPECT_EQ(controller->flashWindow()->window()->level(), windowLevelForKey(keys[i])) << i;
  }
}

}  // namespace
}  // namespace kw::test
