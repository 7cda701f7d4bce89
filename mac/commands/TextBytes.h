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

}  // namespace kw
