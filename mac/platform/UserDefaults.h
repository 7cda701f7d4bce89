// User defaults: an application's stored preferences, kept in memory and
// persisted as a property-list file whose root is a dictionary.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "mac/platform/PropertyList.h"

namespace kw {

class UserDefaults {
 public:
  // Loads the dictionary stored at `file` (the program passes
  // ~/Library/Preferences/<bundle identifier>.plist). A missing, malformed or
  // non-dictionary file starts the defaults empty; it is replaced by the next
  // synchronize() that has changes to write.
  explicit UserDefaults(std::filesystem::path file);

  const std::filesystem::path& path() const { return path_; }

  // The stored value, or none.
  std::optional<PlistValue> objectForKey(std::string_view key) const;
  // Conversions as in PropertyList.h: strings (and numbers as their text),
  // integers (numbers and leading-integer strings, 0 when absent), booleans
  // (false when absent).
  std::optional<std::string> stringForKey(std::string_view key) const;
  int32_t integerForKey(std::string_view key) const;
  bool boolForKey(std::string_view key) const;

  void setObject(std::string_view key, PlistValue value);
  void setString(std::string_view key, std::string value) { setObject(key, PlistValue::string(std::move(value))); }
  void setInteger(std::string_view key, int64_t value) { setObject(key, PlistValue::integer(value)); }
  void setBool(std::string_view key, bool value) { setObject(key, PlistValue::boolean(value)); }
  void removeObjectForKey(std::string_view key);

  // True while changes have not been written.
  bool hasUnsavedChanges() const { return dirty_; }

  // Writes the defaults when they changed since loading or the last
  // successful write, atomically (the directory is created when missing).
  // False when writing failed: the file on disk is left as it was and the
  // changes stay pending for the next call.
  bool synchronize();

 private:
  std::filesystem::path path_;
  PlistValue::Dictionary values_;
  bool dirty_ = false;
};

}  // namespace kw
