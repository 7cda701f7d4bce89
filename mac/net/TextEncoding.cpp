// Text encodings and ASCII case rules: see TextEncoding.h.
#include "mac/net/TextEncoding.h"

#include <algorithm>
#include <array>

#include "mac/platform/Utf8.h"

namespace kw {
namespace {

// Windows Latin-1 characters of the bytes 0x80-0x9F; 0 marks an unassigned code.
constexpr std::array<uint16_t, 32> kWindowsLatin1High = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 0x80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,       // 0x88
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 0x90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,  // 0x98
};

// Decodes one UTF-8 character at `i` (the text is known to be valid) and
// advances `i` past it.
uint32_t nextCodePoint(std::string_view text, size_t& i) {
  const auto c = static_cast<uint8_t>(text[i]);
  size_t extra = c < 0x80 ? 0 : c < 0xE0 ? 1 : c < 0xF0 ? 2 : 3;
  uint32_t cp = extra == 0 ? c : extra == 1 ? (c & 0x1Fu) : extra == 2 ? (c & 0x0Fu) : (c & 0x07u);
  for (size_t k = 1; k <= extra; ++k) cp = (cp << 6) | (static_cast<uint8_t>(text[i + k]) & 0x3Fu);
  i += extra + 1;
  return cp;
}

}  // namespace

std::string stringWithISOLatin1(ByteSpan bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (uint8_t b : bytes) appendUtf8(out, b);
  return out;
}

std::string stringWithWindowsLatin1(ByteSpan bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (uint8_t b : bytes) {
    uint32_t cp = b;
    if (b >= 0x80 && b <= 0x9F && kWindowsLatin1High[b - 0x80] != 0) cp = kWindowsLatin1High[b - 0x80];
    appendUtf8(out, cp);
  }
  return out;
}

std::optional<Bytes> latin1Bytes(std::string_view text) {
  if (!isValidUTF8(text)) return std::nullopt;
  Bytes out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    const uint32_t cp = nextCodePoint(text, i);
    if (cp <= 0xFF) {
      out.push_back(static_cast<uint8_t>(cp));
      continue;
    }
    const auto* hit = std::find(kWindowsLatin1High.begin(), kWindowsLatin1High.end(), cp);
    if (hit == kWindowsLatin1High.end()) return std::nullopt;
    out.push_back(static_cast<uint8_t>(0x80 + (hit - kWindowsLatin1High.begin())));
  }
  return out;
}

bool hasPrefixIgnoringASCIICaseAt(ByteSpan bytes, size_t position, std::string_view prefix) {
  if (position > bytes.size() || bytes.size() - position < prefix.size()) return false;
  return equalsIgnoringASCIICase(textOf(bytes.subspan(position, prefix.size())), prefix);
}

}  // namespace kw
