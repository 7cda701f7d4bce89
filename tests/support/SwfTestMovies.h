// Movies shared by the merger's unit tests and the tools' end-to-end tests.
#pragma once

#include <cstdint>

#include "tools/swf/SwfWriter.h"

namespace kw::test {

// A wrapper with a 20-byte header (a 13-bit rectangle of 200 x 150 pixels) and
// two leading tags of 11 bytes.
inline swf::Bytes wrapperMovie() {
  swf::MovieHeader header;
  header.frame = {0, 4000, 0, 3000};
  header.minRectBits = 13;
  auto writer = swf::SwfWriter::wrapperLike(header);
  writer.doActionGetURL("KW://KW_backChannel", "").showFrame().end();
  return writer.build();
}

// A user movie with a 21-byte header: 550 x 400 pixels need 15-bit fields.
inline swf::SwfWriter userMovie(bool compressed = false) {
  swf::MovieHeader header;
  header.compressed = compressed;
  header.version = 8;
  swf::SwfWriter writer(header);
  writer.setBackgroundColor(0x336699).doActionGetURL("http://example.com/", "_blank").showFrame().end();
  return writer;
}

// The little-endian file length of bytes 4..7.
inline uint32_t storedLength(const swf::Bytes& movie) {
  return uint32_t{movie[4]} | uint32_t{movie[5]} << 8 | uint32_t{movie[6]} << 16 | uint32_t{movie[7]} << 24;
}

}  // namespace kw::test
