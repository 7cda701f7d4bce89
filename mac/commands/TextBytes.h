// Byte-level text helpers shared by the request readers, the escaping family
// and the network utilities: hexadecimal digits, "%HH" escapes and UTF-8 checks.
#pragma once

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

// `containsString:smallString:ignoringCase:`: true when `smallString` occurs in
// `string`; with `ignoringCase`, ASCII letters compare case-insensitively.
// As with the platform's string search, an empty `smallString` is never found.
bool containsString(std::string_view string, std::string_view smallString, bool ignoringCase);

}  // namespace kw
