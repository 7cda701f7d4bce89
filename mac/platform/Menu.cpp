// Menus and menu items of the desktop model.
#include "mac/platform/Menu.h"

#include <algorithm>
#include <cstddef>

namespace kw {

MenuItem::MenuItem(std::string title_, std::function<void(MenuItem&)> action_, std::string keyEquivalent_)
    : title(std::move(title_)), keyEquivalent(std::move(keyEquivalent_)), action(std::move(action_)) {}

std::shared_ptr<MenuItem> MenuItem::separator() {
  auto item = std::make_shared<MenuItem>();
  item->isSeparator = true;
  item->enabled = false;
  return item;
}

bool MenuItem::perform() {
  if (!enabled || isSeparator || !action) return false;
  // The action may remove this item from its menu (and so destroy it): run a
  // copy of the action and touch nothing of the item afterwards.
  const auto run = action;
  run(*this);
  return true;
}

Menu::~Menu() { removeAllItems(); }

MenuItem* Menu::itemAtIndex(size_t index) const { return index < items_.size() ? items_[index].get() : nullptr; }

MenuItem* Menu::itemWithTitle(const std::string& title) const {
  const int64_t index = indexOfItemWithTitle(title);
  return index < 0 ? nullptr : items_[static_cast<size_t>(index)].get();
}

int64_t Menu::indexOfItemWithTitle(const std::string& title) const {
  for (size_t i = 0; i < items_.size(); ++i) {
    if (items_[i]->title == title) return static_cast<int64_t>(i);
  }
  return -1;
}

MenuItem& Menu::addItem(std::shared_ptr<MenuItem> item) { return insertItem(std::move(item), items_.size()); }

MenuItem& Menu::insertItem(std::shared_ptr<MenuItem> item, size_t index) {
  if (!item) item = std::make_shared<MenuItem>();
  item->menu = this;
  const auto position = items_.begin() + static_cast<std::ptrdiff_t>(std::min(index, items_.size()));
  return **items_.insert(position, std::move(item));
}

void Menu::removeItemAtIndex(size_t index) {
  if (index >= items_.size()) return;
  if (items_[index]->menu == this) items_[index]->menu = nullptr;
  items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(index));
}

void Menu::removeAllItems() {
  for (const auto& item : items_) {
    if (item->menu == this) item->menu = nullptr;
  }
  items_.clear();
}

}  // namespace kw
