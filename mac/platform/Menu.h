// Menus of the desktop model: the main menu, context menus and their items.
// Choosing an item runs its action.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kw {

class Menu;

class MenuItem {
 public:
  explicit MenuItem(std::string title = {}, std::function<void(MenuItem&)> action = {},
                    std::string keyEquivalent = {});
  static std::shared_ptr<MenuItem> separator();

  std::string title;
  std::string keyEquivalent;
  uint32_t keyEquivalentModifierMask = 0;  // kDesktop... modifier bits of the key equivalent
  std::function<void(MenuItem&)> action;
  int32_t tag = 0;
  bool enabled = true;
  int32_t state = 0;  // 0 off, 1 on, -1 mixed
  bool isSeparator = false;
  std::shared_ptr<Menu> submenu;
  Menu* menu = nullptr;  // the menu holding the item

  // Runs the action of an enabled item that has one; answers whether it ran.
  bool perform();
};

class Menu {
 public:
  explicit Menu(std::string title = {}) : title_(std::move(title)) {}
  Menu(const Menu&) = delete;
  Menu& operator=(const Menu&) = delete;
  ~Menu();

  const std::string& title() const { return title_; }
  void setTitle(std::string title) { title_ = std::move(title); }

  size_t numberOfItems() const { return items_.size(); }
  MenuItem* itemAtIndex(size_t index) const;
  // The first item with exactly this title, or nullptr / -1.
  MenuItem* itemWithTitle(const std::string& title) const;
  int64_t indexOfItemWithTitle(const std::string& title) const;
  MenuItem& addItem(std::shared_ptr<MenuItem> item);
  // An index past the end appends.
  MenuItem& insertItem(std::shared_ptr<MenuItem> item, size_t index);
  // An index past the end removes nothing.
  void removeItemAtIndex(size_t index);
  void removeAllItems();

 private:
  std::string title_;
  std::vector<std::shared_ptr<MenuItem>> items_;
};

}  // namespace kw
