// Byte-level text helpers shared by the request readers, the escaping family
// and the network utilities: hexadecimal digits, "%HH" escapes and UTF-8 checks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kw {

// The value of a hexadecimal digit (either case), or -1.
int hexDigitValue(char c);

// Appends "%" and the byte's two upper-case hexadecimal digits.
void appendPercentEscape(std::string& out, unsigned char byte);

// True when `bytes` are well-formed UTF-8 (no overlong forms, no surrogates,
// nothing above U+10FFFF).
bool isValidUTF8(std::string_view bytes);

// ASCII case folding; other bytes (including every byte of a multi-byte
// UTF-8 character) compare as they are.
constexpr char toLowerASCII(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
constexpr uint8_t toLowerASCII(uint8_t c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<uint8_t>(c - 'A' + 'a') : c;
}
bool equalsIgnoringASCIICase(std::string_view a, std::string_view b);
bool startsWithIgnoringASCIICase(std::string_view text, std::string_view prefix);
// The first position of `needle` in `haystack`, ignoring ASCII case; an empty
// needle is found at 0.
std::optional<size_t> findIgnoringASCIICase(std::string_view haystack, std::string_view needle);

// `containsString:smallString:ignoringCase:`: true when `smallString` occurs in
// `string`; with `ignoringCase`, ASCII letters compare case-insensitively.
// As with the platform's string search, an empty `smallString` is never found.
bool containsString(std::string_view string, std::string_view smallString, bool ignoringCase);

}  // namespace kw
