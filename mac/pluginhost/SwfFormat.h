// Facts of the movie (SWF) file format shared by the probe, the merger, the
// stand-in plug-in and the writer: tag and action codes, and the header length.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kw::swf {

// Tag codes.
inline constexpr uint16_t kTagEnd = 0;
inline constexpr uint16_t kTagShowFrame = 1;
inline constexpr uint16_t kTagSetBackgroundColor = 9;
inline constexpr uint16_t kTagDoAction = 12;
inline constexpr uint16_t kTagScriptLimits = 65;
inline constexpr uint16_t kTagFileAttributes = 69;
inline constexpr uint16_t kTagDoABCDefine = 72;
inline constexpr uint16_t kTagSymbolClass = 76;
inline constexpr uint16_t kTagMetadata = 77;
inline constexpr uint16_t kTagDoABC = 82;

// The tags whose presence means ActionScript 3 code.
constexpr bool isActionScript3Tag(uint16_t code) {
  return code == kTagDoABCDefine || code == kTagSymbolClass || code == kTagDoABC;
}

// FileAttributes flag: the movie's code is ActionScript 3.
inline constexpr uint32_t kFileAttributesAS3 = 0x08;

// Action codes.
inline constexpr uint8_t kActionEnd = 0x00;
inline constexpr uint8_t kActionGetURL = 0x83;
inline constexpr uint8_t kActionPush = 0x96;
inline constexpr uint8_t kActionGetURL2 = 0x9A;

// Header length of a movie whose byte 8 is `byte8`: the 8-byte file header,
// the frame rectangle (5 + 4n bits, n the top five bits of byte 8, padded to a
// byte), frame rate and frame count: 12 + (4n + 12) / 8.
constexpr size_t movieHeaderLength(uint8_t byte8) {
  return 12 + (4 * size_t{static_cast<uint8_t>(byte8 >> 3)} + 12) / 8;
}

}  // namespace kw::swf
