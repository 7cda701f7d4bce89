// Property-list values (strings, integers, reals, booleans, dictionaries,
// arrays) read from and written to XML or binary plist files through libplist.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace kw {

// Files larger than this are not read as property lists.
inline constexpr std::uintmax_t kLargestPropertyListFile = 16u * 1024u * 1024u;
// Containers nested deeper than this make a property list unreadable (and
// unwritable): the parser and writer underneath recurse once per level.
inline constexpr size_t kDeepestPropertyListNesting = 512;

class PlistValue {
 public:
  enum class Type { String, Integer, Real, Boolean, Dictionary, Array };
  // Dictionaries keep their keys sorted; a value type that is still incomplete
  // here is fine for the standard library we build with.
  using Dictionary = std::map<std::string, PlistValue, std::less<>>;
  using Array = std::vector<PlistValue>;

  static PlistValue string(std::string text) { return PlistValue(Storage(std::move(text))); }
  static PlistValue integer(int64_t number) { return PlistValue(Storage(number)); }
  static PlistValue real(double number) { return PlistValue(Storage(number)); }
  static PlistValue boolean(bool truth) { return PlistValue(Storage(truth)); }
  static PlistValue dictionary(Dictionary items = {}) { return PlistValue(Storage(std::move(items))); }
  static PlistValue array(Array items = {}) { return PlistValue(Storage(std::move(items))); }

  Type type() const { return static_cast<Type>(storage_.index()); }

  // The stored value when it has that type, else nullptr.
  const std::string* asString() const { return std::get_if<std::string>(&storage_); }
  const int64_t* asInteger() const { return std::get_if<int64_t>(&storage_); }
  const double* asReal() const { return std::get_if<double>(&storage_); }
  const bool* asBoolean() const { return std::get_if<bool>(&storage_); }
  const Dictionary* asDictionary() const { return std::get_if<Dictionary>(&storage_); }
  Dictionary* asDictionary() { return std::get_if<Dictionary>(&storage_); }
  const Array* asArray() const { return std::get_if<Array>(&storage_); }

  // The value under `key` of a dictionary; nullptr for a missing key or when
  // this is not a dictionary.
  const PlistValue* find(std::string_view key) const;

  bool operator==(const PlistValue& other) const = default;

 private:
  // Alternatives in the order of Type.
  using Storage = std::variant<std::string, int64_t, double, bool, Dictionary, Array>;
  explicit PlistValue(Storage storage) : storage_(std::move(storage)) {}
  Storage storage_;
};

enum class PlistFormat { Xml, Binary };

// Parses XML or binary plist bytes. None for malformed data, data nested
// deeper than kDeepestPropertyListNesting, or a root of a type PlistValue
// does not hold (date, data, uid). Such values inside containers are left out.
// Integers are read as signed 64-bit values.
std::optional<PlistValue> parsePropertyList(std::string_view data);

// Reads a plist file. None when it is missing, not a regular file, empty,
// larger than kLargestPropertyListFile, unreadable or malformed.
std::optional<PlistValue> readPropertyList(const std::filesystem::path& path);

// The encoded property list; none when it is nested too deeply.
std::optional<std::string> serializePropertyList(const PlistValue& value, PlistFormat format = PlistFormat::Xml);

// Writes the property list to a temporary file in the target's directory and
// renames it over `path`, so readers see the old or the new file, never a part.
// On failure (false) the old file is left as it was. New files are readable
// and writable by the owner only.
bool writePropertyListAtomically(const std::filesystem::path& path, const PlistValue& value,
                                 PlistFormat format = PlistFormat::Xml);

// Conversions of the platform's value classes, for values read from
// settings and defaults. None (a missing value) converts to 0, false, none.
//
// Integer: integers (saturated to 32 bits), reals (truncated toward zero,
// saturated, NaN is 0), booleans (0 or 1), and strings read as leading
// integers: leading whitespace, an optional sign and the decimal digits up to
// the first other character ("3" and "3px" are 3, "x3" is 0), saturated.
// Dictionaries and arrays are 0.
int32_t plistIntValue(const PlistValue* value);
// Boolean: non-zero numbers, boolean true, and strings that after leading
// whitespace begin with Y, y, T or t, or with an optional sign, any zeros and
// then a digit 1-9 ("YES", "true", "1", "-01"). Everything else is false.
bool plistBoolValue(const PlistValue* value);
// String: strings as they are, integers in decimal, reals in their shortest
// exact form, booleans as "1" or "0"; none for dictionaries and arrays.
std::optional<std::string> plistStringValue(const PlistValue* value);

}  // namespace kw
