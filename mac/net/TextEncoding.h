// Text encodings and ASCII case rules shared by the string, URL and data
// helpers. Texts are UTF-8 std::strings; byte buffers are spans of uint8_t.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "mac/commands/TextBytes.h"

namespace kw {

using Bytes = std::vector<uint8_t>;
using ByteSpan = std::span<const uint8_t>;

// The bytes of a text, without a terminating zero.
inline ByteSpan bytesOf(std::string_view text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}
inline std::string_view textOf(ByteSpan bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// ISO Latin-1 reading: each byte becomes the character of the same code.
std::string stringWithISOLatin1(ByteSpan bytes);

// Windows Latin-1 reading: as ISO Latin-1, except that 0x80-0x9F give the
// Windows punctuation and letters (0x80 the euro sign, 0x93 a left double
// quotation mark ...). The five codes Windows leaves unassigned (0x81, 0x8D,
// 0x8F, 0x90, 0x9D) become the control character of the same code, so that
// every byte sequence reads and `latin1Bytes` gives the bytes back.
std::string stringWithWindowsLatin1(ByteSpan bytes);

// The one-byte encoding of a UTF-8 text: U+0000-U+00FF give the byte of the
// same value, and the Windows Latin-1 characters of 0x80-0x9F give their
// Windows byte. None when the text is not valid UTF-8 or holds any other
// character.
std::optional<Bytes> latin1Bytes(std::string_view text);

// `bytes` at `position` begin with `prefix`, ignoring ASCII case; false when
// fewer than prefix.size() bytes are left.
bool hasPrefixIgnoringASCIICaseAt(ByteSpan bytes, size_t position, std::string_view prefix);

}  // namespace kw
