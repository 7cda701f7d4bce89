// The desktop's modal user interface, answered from scripts: context menus
// (the next scripted choice), print operations (the page is kept), open and
// save panels (the next scripted answer).
#include <algorithm>
#include <cmath>
#include <set>

#include "mac/platform/Desktop.h"
#include "mac/platform/Menu.h"
#include "mac/platform/View.h"
#include "mac/platform/Window.h"

namespace kw {

namespace {

// The first item with the title in the menu, then in its submenus (each menu
// searched once, so a menu that contains itself ends the search).
MenuItem* findItem(const Menu& menu, const std::string& title, std::set<const Menu*>& searched) {
  if (!searched.insert(&menu).second) return nullptr;
  if (MenuItem* item = menu.itemWithTitle(title)) return item;
  for (size_t i = 0; i < menu.numberOfItems(); ++i) {
    const MenuItem* item = menu.itemAtIndex(i);
    if (!item->submenu) continue;
    if (MenuItem* found = findItem(*item->submenu, title, searched)) return found;
  }
  return nullptr;
}

int32_t pageSide(double points) {
  constexpr double kMaxPageSide = 16384;
  return static_cast<int32_t>(std::clamp(std::isnan(points) ? 0.0 : std::floor(points), 0.0, kMaxPageSide));
}

// The highest level among the visible windows (the normal level without any).
int32_t topVisibleLevel(const std::vector<Window*>& ordered) {
  int32_t top = windowLevelForKey(kNormalWindowLevelKey);
  for (const Window* window : ordered) top = std::max(top, window->level());
  return top;
}

}  // namespace

void Desktop::popUpContextMenu(Menu& menu, const DesktopEvent& event, View& view) {
  (void)event;
  (void)view;
  shownMenus.push_back(menu.title());
  if (menuChoices.empty()) return;  // no answer: the user dismisses the menu
  const std::optional<std::string> choice = std::move(menuChoices.front());
  menuChoices.pop_front();
  if (!choice) return;
  std::set<const Menu*> searched;
  if (MenuItem* item = findItem(menu, *choice, searched)) item->perform();
}

void Desktop::runPrintOperation(View& view) {
  const DesktopRect bounds = view.bounds();
  Bitmap page(pageSide(bounds.size.width), pageSide(bounds.size.height));
  page.fill(0, 0, page.width(), page.height(), RGBAColor::white());
  DrawContext context(page, 0, 0, bounds.size.height, false);
  view.drawTree(context);
  printedPages.push_back(std::move(page));
}

std::optional<std::vector<std::string>> Desktop::runOpenPanel(const std::vector<std::string>& fileTypes,
                                                              bool multiple) {
  openPanelTypes.push_back(fileTypes);
  if (openPanelAnswers.empty()) return std::nullopt;  // no answer: Cancel
  auto answer = std::move(openPanelAnswers.front());
  openPanelAnswers.pop_front();
  // A panel that allows one file cannot answer more.
  if (answer && !multiple && answer->size() > 1) answer->resize(1);
  return answer;
}

std::optional<std::vector<std::string>> Desktop::runOpenPanel(const FilePanel& panel) {
  FilePanel shown = panel;
  shown.save = false;
  shown.topWindowLevel = topVisibleLevel(orderedWindows());
  filePanels.push_back(std::move(shown));
  return runOpenPanel(panel.fileTypes, panel.multiple);
}

std::optional<std::string> Desktop::runSavePanel(const FilePanel& panel) {
  FilePanel shown = panel;
  shown.save = true;
  shown.topWindowLevel = topVisibleLevel(orderedWindows());
  filePanels.push_back(std::move(shown));
  if (savePanelAnswers.empty()) return std::nullopt;  // no answer: Cancel
  auto answer = std::move(savePanelAnswers.front());
  savePanelAnswers.pop_front();
  return answer;
}

}  // namespace kw
