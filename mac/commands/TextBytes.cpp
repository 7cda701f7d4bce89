// Byte-level text helpers: see TextBytes.h.
#include "mac/commands/TextBytes.h"

#include <algorithm>
#include <cstdint>

namespace kw {

int hexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

void appendPercentEscape(std::string& out, unsigned char byte) {
  static constexpr char kHexDigits[] = "0123456789ABCDEF";
  out += '%';
  out += kHexDigits[byte >> 4];
  out += kHexDigits[byte & 0x0F];
}

bool isValidUTF8(std::string_view bytes) {
  size_t i = 0;
  while (i < bytes.size()) {
    const auto c = static_cast<uint8_t>(bytes[i]);
    if (c < 0x80) {
      ++i;
      continue;
    }
    size_t extra = 0;
    uint32_t min = 0;
    uint32_t cp = 0;
    if ((c & 0xE0) == 0xC0) {
      extra = 1, min = 0x80, cp = c & 0x1Fu;
    } else if ((c & 0xF0) == 0xE0) {
      extra = 2, min = 0x800, cp = c & 0x0Fu;
    } else if ((c & 0xF8) == 0xF0) {
      extra = 3, min = 0x10000, cp = c & 0x07u;
    } else {
      return false;
    }
    if (bytes.size() - i <= extra) return false;
    for (size_t k = 1; k <= extra; ++k) {
      const auto cc = static_cast<uint8_t>(bytes[i + k]);
      if ((cc & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (cc & 0x3Fu);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += extra + 1;
  }
  return true;
}

bool equalsIgnoringASCIICase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (toLowerASCII(a[i]) != toLowerASCII(b[i])) return false;
  }
  return true;
}

bool startsWithIgnoringASCIICase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && equalsIgnoringASCIICase(text.substr(0, prefix.size()), prefix);
}

std::optional<size_t> findIgnoringASCIICase(std::string_view haystack, std::string_view needle) {
  const auto equal = [](char x, char y) { return toLowerASCII(x) == toLowerASCII(y); };
  const auto it = std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end(), equal);
  if (it == haystack.end() && !needle.empty()) return std::nullopt;
  return static_cast<size_t>(it - haystack.begin());
}

bool containsString(std::string_view string, std::string_view smallString, bool ignoringCase) {
  if (smallString.empty()) return false;
  if (!ignoringCase) return string.find(smallString) != std::string_view::npos;
  return findIgnoringASCIICase(string, smallString).has_value();
}

}  // namespace kw
