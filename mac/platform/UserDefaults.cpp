// User defaults held as a dictionary and written to their property-list file
// on synchronize().
#include "mac/platform/UserDefaults.h"

#include <system_error>

namespace kw {

UserDefaults::UserDefaults(std::filesystem::path file) : path_(std::move(file)) {
  if (std::optional<PlistValue> stored = readPropertyList(path_)) {
    if (PlistValue::Dictionary* items = stored->asDictionary()) values_ = std::move(*items);
  }
}

std::optional<PlistValue> UserDefaults::objectForKey(std::string_view key) const {
  const auto found = values_.find(key);
  if (found == values_.end()) return std::nullopt;
  return found->second;
}

std::optional<std::string> UserDefaults::stringForKey(std::string_view key) const {
  const auto found = values_.find(key);
  return plistStringValue(found == values_.end() ? nullptr : &found->second);
}

int32_t UserDefaults::integerForKey(std::string_view key) const {
  const auto found = values_.find(key);
  return plistIntValue(found == values_.end() ? nullptr : &found->second);
}

bool UserDefaults::boolForKey(std::string_view key) const {
  const auto found = values_.find(key);
  return plistBoolValue(found == values_.end() ? nullptr : &found->second);
}

void UserDefaults::setObject(std::string_view key, PlistValue value) {
  values_.insert_or_assign(std::string(key), std::move(value));
  dirty_ = true;
}

void UserDefaults::removeObjectForKey(std::string_view key) {
  const auto found = values_.find(key);
  if (found == values_.end()) return;
  values_.erase(found);
  dirty_ = true;
}

bool UserDefaults::synchronize() {
  if (!dirty_) return true;
  std::error_code ec;
  if (path_.has_parent_path()) std::filesystem::create_directories(path_.parent_path(), ec);
  if (!writePropertyListAtomically(path_, PlistValue::dictionary(values_))) return false;
  dirty_ = false;
  return true;
}

}  // namespace kw
