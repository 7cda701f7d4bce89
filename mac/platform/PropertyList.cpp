// Property-list values through libplist: guarded parsing (size, nesting and
// shared-object expansion checked before libplist sees the data), writing
// through a temporary file and a rename, and the value conversions.
#include "mac/platform/PropertyList.h"

#include <fcntl.h>
#include <plist/plist.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <limits>
#include <memory>
#include <system_error>

#include "mac/platform/FileDescriptors.h"

namespace kw {
namespace {

namespace fs = std::filesystem;

// A binary plist may name one object from many places; libplist copies it
// for each, so a small file could expand into an enormous tree.
constexpr uint64_t kMostExpandedBinaryObjects = 1u << 20;

struct PlistFree {
  void operator()(plist_t node) const { plist_free(node); }
};
using PlistPtr = std::unique_ptr<void, PlistFree>;

struct CharFree {
  void operator()(char* text) const { std::free(text); }
};

bool startsWith(std::string_view text, size_t at, std::string_view prefix) {
  return text.size() - at >= prefix.size() && text.compare(at, prefix.size(), prefix) == 0;
}

// XML: counts open "<array>" and "<dict>" elements. Text inside comments
// counts too, which can only make the check stricter.
bool xmlNestingWithinLimit(std::string_view data) {
  size_t depth = 0;
  for (size_t i = data.find('<'); i != std::string_view::npos; i = data.find('<', i + 1)) {
    if (startsWith(data, i + 1, "/array") || startsWith(data, i + 1, "/dict")) {
      if (depth > 0) --depth;
    } else if (startsWith(data, i + 1, "array") || startsWith(data, i + 1, "dict")) {
      const size_t end = data.find('>', i);
      if (end == std::string_view::npos) return true;  // unterminated: the parser rejects it
      if (data[end - 1] != '/' && ++depth > kDeepestPropertyListNesting) return false;
    }
  }
  return true;
}

// Binary plists: walks the object graph from the trailer without recursion
// and refuses anything libplist could not parse safely: references out of
// range, cycles, nesting deeper than the limit, or too many objects once
// shared ones are counted at every place they are used.
class BinaryPlistCheck {
 public:
  explicit BinaryPlistCheck(std::string_view data) : data_(data) {}

  bool acceptable() {
    constexpr size_t kHeader = 8;
    constexpr size_t kTrailer = 32;
    if (data_.size() < kHeader + kTrailer) return false;
    objectsEnd_ = data_.size() - kTrailer;
    offsetSize_ = byte(objectsEnd_ + 6);
    refSize_ = byte(objectsEnd_ + 7);
    if (offsetSize_ < 1 || offsetSize_ > 8 || refSize_ < 1 || refSize_ > 8) return false;
    objectCount_ = bigEndian(objectsEnd_ + 8, 8);
    const uint64_t top = bigEndian(objectsEnd_ + 16, 8);
    tableOffset_ = bigEndian(objectsEnd_ + 24, 8);
    if (objectCount_ == 0 || top >= objectCount_) return false;
    if (tableOffset_ < kHeader || tableOffset_ > objectsEnd_) return false;
    if (objectCount_ > (objectsEnd_ - tableOffset_) / offsetSize_) return false;
    return walkFrom(top);
  }

 private:
  struct Container {
    uint64_t object;
    size_t refs;      // position of the first reference
    uint64_t count;   // number of references
    uint64_t next;    // next reference to visit
  };

  unsigned byte(size_t at) const { return static_cast<unsigned char>(data_[at]); }
  uint64_t bigEndian(size_t at, size_t size) const {
    uint64_t value = 0;
    for (size_t i = 0; i < size; ++i) value = (value << 8) | byte(at + i);
    return value;
  }

  // The references of a container object, or count 0 for any other object.
  // False when the object lies outside the data.
  bool references(uint64_t object, Container& out) const {
    const uint64_t offset = bigEndian(static_cast<size_t>(tableOffset_ + object * offsetSize_), offsetSize_);
    if (offset < 8 || offset >= tableOffset_) return false;
    size_t at = static_cast<size_t>(offset);
    const unsigned marker = byte(at++);
    const unsigned kind = marker >> 4;
    out = Container{object, at, 0, 0};
    // 0xA array, 0xB ordered set, 0xC set, 0xD dictionary.
    if (kind < 0xA || kind > 0xD) return true;
    uint64_t count = marker & 0xFu;
    if (count == 0xF) {
      if (at >= tableOffset_) return false;
      const unsigned sizeMarker = byte(at++);
      const size_t sizeBytes = size_t{1} << (sizeMarker & 0xFu);
      if ((sizeMarker >> 4) != 1 || sizeBytes > 8 || sizeBytes > tableOffset_ - at) return false;
      count = bigEndian(at, sizeBytes);
      at += sizeBytes;
    }
    if (kind == 0xD) {
      if (count > std::numeric_limits<uint64_t>::max() / 2) return false;
      count *= 2;  // keys, then values
    }
    if (count > (tableOffset_ - at) / refSize_) return false;
    out.refs = at;
    out.count = count;
    return true;
  }

  bool walkFrom(uint64_t top) {
    enum : uint8_t { kUnseen, kOpen, kDone };
    std::vector<uint8_t> state(static_cast<size_t>(objectCount_), kUnseen);
    // Objects in the tree below each finished object, counting repeats.
    std::vector<uint64_t> expanded(static_cast<size_t>(objectCount_), 0);
    std::vector<Container> stack;
    Container first{};
    if (!references(top, first)) return false;
    state[static_cast<size_t>(top)] = kOpen;
    stack.push_back(first);
    while (!stack.empty()) {
      Container& open = stack.back();
      if (open.next == open.count) {
        uint64_t total = 1;
        for (uint64_t i = 0; i < open.count; ++i) {
          total += expanded[static_cast<size_t>(bigEndian(static_cast<size_t>(open.refs + i * refSize_), refSize_))];
          if (total > kMostExpandedBinaryObjects) return false;
        }
        expanded[static_cast<size_t>(open.object)] = total;
        state[static_cast<size_t>(open.object)] = kDone;
        stack.pop_back();
        continue;
      }
      const uint64_t child = bigEndian(static_cast<size_t>(open.refs + open.next * refSize_), refSize_);
      ++open.next;
      if (child >= objectCount_) return false;
      const uint8_t seen = state[static_cast<size_t>(child)];
      if (seen == kOpen) return false;  // a cycle
      if (seen == kDone) continue;
      Container inner{};
      if (!references(child, inner)) return false;
      if (inner.count == 0) {
        expanded[static_cast<size_t>(child)] = 1;
        state[static_cast<size_t>(child)] = kDone;
        continue;
      }
      if (stack.size() >= kDeepestPropertyListNesting) return false;
      state[static_cast<size_t>(child)] = kOpen;
      stack.push_back(inner);
    }
    return true;
  }

  std::string_view data_;
  size_t objectsEnd_ = 0;
  size_t offsetSize_ = 0;
  size_t refSize_ = 0;
  uint64_t objectCount_ = 0;
  uint64_t tableOffset_ = 0;
};

std::string stringOf(plist_t node, bool key) {
  char* text = nullptr;
  if (key) {
    plist_get_key_val(node, &text);
  } else {
    plist_get_string_val(node, &text);
  }
  const std::unique_ptr<char, CharFree> owned(text);
  return owned ? std::string(owned.get()) : std::string();
}

// Converts a libplist node; none for node types PlistValue does not hold.
std::optional<PlistValue> fromNode(plist_t node, size_t depth) {
  switch (plist_get_node_type(node)) {
    case PLIST_STRING:
      return PlistValue::string(stringOf(node, false));
    case PLIST_UINT: {
      uint64_t number = 0;
      plist_get_uint_val(node, &number);
      // Negative integers are stored as their two's complement.
      return PlistValue::integer(static_cast<int64_t>(number));
    }
    case PLIST_REAL: {
      double number = 0;
      plist_get_real_val(node, &number);
      return PlistValue::real(number);
    }
    case PLIST_BOOLEAN: {
      uint8_t truth = 0;
      plist_get_bool_val(node, &truth);
      return PlistValue::boolean(truth != 0);
    }
    case PLIST_ARRAY: {
      if (depth >= kDeepestPropertyListNesting) return std::nullopt;
      PlistValue::Array items;
      const uint32_t count = plist_array_get_size(node);
      items.reserve(count);
      for (uint32_t i = 0; i < count; ++i) {
        if (std::optional<PlistValue> item = fromNode(plist_array_get_item(node, i), depth + 1)) {
          items.push_back(std::move(*item));
        }
      }
      return PlistValue::array(std::move(items));
    }
    case PLIST_DICT: {
      if (depth >= kDeepestPropertyListNesting) return std::nullopt;
      PlistValue::Dictionary items;
      plist_dict_iter iter = nullptr;
      plist_dict_new_iter(node, &iter);
      if (iter == nullptr) return PlistValue::dictionary();
      for (;;) {
        char* key = nullptr;
        plist_t item = nullptr;
        plist_dict_next_item(node, iter, &key, &item);
        const std::unique_ptr<char, CharFree> ownedKey(key);
        if (item == nullptr) break;
        if (std::optional<PlistValue> value = fromNode(item, depth + 1)) {
          items.insert_or_assign(ownedKey ? std::string(ownedKey.get()) : std::string(), std::move(*value));
        }
      }
      std::free(iter);
      return PlistValue::dictionary(std::move(items));
    }
    default:
      return std::nullopt;
  }
}

// Builds a libplist tree; nullptr when nested too deeply.
PlistPtr toNode(const PlistValue& value, size_t depth) {
  switch (value.type()) {
    case PlistValue::Type::String:
      return PlistPtr(plist_new_string(value.asString()->c_str()));
    case PlistValue::Type::Integer:
      return PlistPtr(plist_new_uint(static_cast<uint64_t>(*value.asInteger())));
    case PlistValue::Type::Real:
      return PlistPtr(plist_new_real(*value.asReal()));
    case PlistValue::Type::Boolean:
      return PlistPtr(plist_new_bool(*value.asBoolean() ? 1 : 0));
    case PlistValue::Type::Array: {
      if (depth >= kDeepestPropertyListNesting) return nullptr;
      PlistPtr node(plist_new_array());
      for (const PlistValue& item : *value.asArray()) {
        PlistPtr child = toNode(item, depth + 1);
        if (!child) return nullptr;
        plist_array_append_item(node.get(), child.release());
      }
      return node;
    }
    case PlistValue::Type::Dictionary: {
      if (depth >= kDeepestPropertyListNesting) return nullptr;
      PlistPtr node(plist_new_dict());
      for (const auto& [key, item] : *value.asDictionary()) {
        PlistPtr child = toNode(item, depth + 1);
        if (!child) return nullptr;
        plist_dict_set_item(node.get(), key.c_str(), child.release());
      }
      return node;
    }
  }
  return nullptr;
}

// Skips leading whitespace as the platform's string conversions do.
std::string_view trimmedFront(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  return text.substr(i);
}

int32_t saturated(int64_t number) {
  if (number > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (number < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(number);
}

int32_t leadingSaturatedInteger(std::string_view text) {
  text = trimmedFront(text);
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int64_t magnitude = 0;
  constexpr int64_t kBeyond = int64_t{std::numeric_limits<int32_t>::max()} + 1;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    magnitude = std::min<int64_t>(magnitude * 10 + (text[i] - '0'), kBeyond);
  }
  return saturated(negative ? -magnitude : magnitude);
}

bool stringTruth(std::string_view text) {
  text = trimmedFront(text);
  if (text.empty()) return false;
  const char first = text.front();
  if (first == 'Y' || first == 'y' || first == 'T' || first == 't') return true;
  size_t i = (first == '+' || first == '-') ? 1 : 0;
  while (i < text.size() && text[i] == '0') ++i;
  return i < text.size() && text[i] >= '1' && text[i] <= '9';
}

}  // namespace

const PlistValue* PlistValue::find(std::string_view key) const {
  const Dictionary* items = asDictionary();
  if (items == nullptr) return nullptr;
  const auto found = items->find(key);
  return found == items->end() ? nullptr : &found->second;
}

std::optional<PlistValue> parsePropertyList(std::string_view data) {
  if (data.empty() || data.size() > kLargestPropertyListFile) return std::nullopt;
  if (data.substr(0, 6) == "bplist") {
    if (!BinaryPlistCheck(data).acceptable()) return std::nullopt;
  } else if (!xmlNestingWithinLimit(data)) {
    return std::nullopt;
  }
  // libplist reads text up to a terminating NUL: give it its own copy.
  const std::string copy(data);
  plist_t rootNode = nullptr;
  plist_from_memory(copy.c_str(), static_cast<uint32_t>(copy.size()), &rootNode);
  const PlistPtr root(rootNode);
  if (!root) return std::nullopt;
  return fromNode(root.get(), 0);
}

std::optional<PlistValue> readPropertyList(const fs::path& path) {
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) return std::nullopt;
  const std::uintmax_t size = fs::file_size(path, ec);
  if (ec || size == 0 || size > kLargestPropertyListFile) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string data(static_cast<size_t>(size), '\0');
  in.read(data.data(), static_cast<std::streamsize>(data.size()));
  // A file that shrank meanwhile is read as far as it goes.
  data.resize(static_cast<size_t>(in.gcount()));
  if (in.bad()) return std::nullopt;
  return parsePropertyList(data);
}

std::optional<std::string> serializePropertyList(const PlistValue& value, PlistFormat format) {
  const PlistPtr root = toNode(value, 0);
  if (!root) return std::nullopt;
  char* bytes = nullptr;
  uint32_t length = 0;
  if (format == PlistFormat::Binary) {
    plist_to_bin(root.get(), &bytes, &length);
  } else {
    plist_to_xml(root.get(), &bytes, &length);
  }
  const std::unique_ptr<char, CharFree> owned(bytes);
  if (!owned) return std::nullopt;
  return std::string(owned.get(), length);
}

bool writePropertyListAtomically(const fs::path& path, const PlistValue& value, PlistFormat format) {
  const std::optional<std::string> bytes = serializePropertyList(value, format);
  if (!bytes || path.filename().empty()) return false;
  std::string temporary = path.string() + ".XXXXXX";
  const int fd = ::mkstemp(temporary.data());
  if (fd < 0) return false;
  bool ok = writeAll(fd, *bytes) && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  ok = ok && ::rename(temporary.c_str(), path.c_str()) == 0;
  if (!ok) ::unlink(temporary.c_str());
  return ok;
}

int32_t plistIntValue(const PlistValue* value) {
  if (value == nullptr) return 0;
  if (const int64_t* number = value->asInteger()) return saturated(*number);
  if (const double* number = value->asReal()) {
    if (std::isnan(*number)) return 0;
    if (*number >= 2147483647.0) return std::numeric_limits<int32_t>::max();
    if (*number <= -2147483648.0) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(*number);
  }
  if (const bool* truth = value->asBoolean()) return *truth ? 1 : 0;
  if (const std::string* text = value->asString()) return leadingSaturatedInteger(*text);
  return 0;
}

bool plistBoolValue(const PlistValue* value) {
  if (value == nullptr) return false;
  if (const int64_t* number = value->asInteger()) return *number != 0;
  if (const double* number = value->asReal()) return *number != 0.0;
  if (const bool* truth = value->asBoolean()) return *truth;
  if (const std::string* text = value->asString()) return stringTruth(*text);
  return false;
}

std::optional<std::string> plistStringValue(const PlistValue* value) {
  if (value == nullptr) return std::nullopt;
  if (const std::string* text = value->asString()) return *text;
  if (const int64_t* number = value->asInteger()) return std::to_string(*number);
  if (const bool* truth = value->asBoolean()) return std::string(*truth ? "1" : "0");
  if (const double* number = value->asReal()) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, *number);
    return std::string(buffer, result.ptr);
  }
  return std::nullopt;
}

}  // namespace kw
