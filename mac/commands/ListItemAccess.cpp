// Item access for split list-form requests: see ListItemAccess.h.
#include "mac/commands/ListItemAccess.h"

#include "mac/platform/SystemLog.h"

namespace kw {

std::string describeList(const std::vector<std::string>& items) {
  std::string text = "(";
  for (size_t i = 0; i < items.size(); ++i) {
    if (i != 0) text += ", ";
    text += items[i];
  }
  text += ')';
  return text;
}

const std::string* kwObjectAtIndex(const std::vector<std::string>& items, size_t index) {
  if (index < items.size()) return &items[index];
  systemLog("Call does not have enough parameters " + describeList(items));
  return nullptr;
}

}  // namespace kw
