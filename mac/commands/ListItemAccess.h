// Item access for split list-form requests: a request with too few items is
// logged and read as if the missing items were empty.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace kw {

// The item at `index`, or nullptr after logging
// "Call does not have enough parameters (item, item, ...)" when the list is too short.
const std::string* kwObjectAtIndex(const std::vector<std::string>& items, size_t index);

// The list as the log shows it: the items in parentheses, separated by ", ".
std::string describeList(const std::vector<std::string>& items);

}  // namespace kw
