// Builds SWF movies byte for byte: header, frame rectangle, tags and a few actions.
// Used for test fixtures, benchmarks and the swfmake tool.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "mac/pluginhost/SwfFormat.h"

namespace kw::swf {

using Bytes = std::vector<uint8_t>;

// A rectangle in twips (1/20 pixel), as stored in the movie header.
struct TwipsRect {
  int32_t xMin = 0;
  int32_t xMax = 0;
  int32_t yMin = 0;
  int32_t yMax = 0;
};

// The fields of a movie header.
struct MovieHeader {
  bool compressed = false;  // "CWS" with a zlib body instead of "FWS"
  uint8_t version = 10;
  TwipsRect frame{0, 550 * 20, 0, 400 * 20};
  uint16_t frameRate = 12 << 8;              // 8.8 fixed point (0x0C80 is 12.5)
  std::optional<uint16_t> frameCount;        // unset: the number of ShowFrame tags
  uint8_t minRectBits = 0;                   // widen the rectangle fields to at least this many bits
  std::optional<uint32_t> fileLength;        // unset: the true uncompressed length
  int compressionLevel = -1;                 // zlib level for "CWS": -1 default, 0 stored .. 9 best
};

// 8.8 fixed-point frame rate from frames per second (clamped to 0..255.996).
uint16_t fixed88(double framesPerSecond);

// The smallest bit count n that holds all four values as signed n-bit fields.
unsigned rectBits(const TwipsRect& rect);

// The encoded rectangle: n (5 bits), then Xmin, Xmax, Ymin, Ymax (n bits each),
// most significant bit first, padded to a byte. n is max(rectBits(rect), minBits), at most 31.
Bytes encodeRect(const TwipsRect& rect, unsigned minBits = 0);

// One tag: a short header (code << 6 | length) when the body is under 63 bytes
// and `forceLong` is false, else the long form (length field 63, then a u32 length).
Bytes encodeTag(uint16_t code, std::span<const uint8_t> body, bool forceLong = false);

// Actions for DoAction bodies.
Bytes actionGetURL(std::string_view url, std::string_view target);  // 0x83
Bytes actionPushString(std::string_view text);                      // 0x96, one string constant
Bytes actionGetURL2(uint8_t flags = 0);                             // 0x9A
Bytes actionEnd();                                                  // 0x00

// Appends `more` to `out`.
void append(Bytes& out, std::span<const uint8_t> more);

// Collects tags behind a header and produces the movie bytes.
class SwfWriter {
 public:
  explicit SwfWriter(MovieHeader header = {});

  // A movie whose first two tags are FileAttributes (6 bytes) and
  // SetBackgroundColor (5 bytes): the 11 bytes the movie merger drops from
  // its wrapper movie.
  static SwfWriter wrapperLike(MovieHeader header = {}, uint32_t fileAttributes = 0,
                               uint32_t background = 0xFFFFFF);

  MovieHeader& header() { return header_; }
  const MovieHeader& header() const { return header_; }

  // Generic tag; the body is written as given. Codes are 10 bits (higher bits are dropped).
  SwfWriter& tag(uint16_t code, std::span<const uint8_t> body, bool forceLong = false);
  // Already encoded bytes (for malformed or hand-made tags); not counted as frames.
  SwfWriter& raw(std::span<const uint8_t> bytes);

  SwfWriter& setBackgroundColor(uint32_t rgb);          // code 9: red, green, blue
  SwfWriter& fileAttributes(uint32_t flags);            // code 69: u32 flags
  SwfWriter& metadata(std::string_view xml);            // code 77: the text and a zero byte
  SwfWriter& doAction(std::span<const uint8_t> actions);  // code 12: the actions as given
  SwfWriter& doActionGetURL(std::string_view url, std::string_view target);  // GetURL + End
  SwfWriter& doABC(std::span<const uint8_t> body);       // code 82
  SwfWriter& showFrame();                                // code 1
  SwfWriter& end();                                      // code 0

  // The uncompressed movie: "FWS" header and the tags added so far.
  Bytes uncompressed() const;
  // The movie as the header asks: uncompressed, or "CWS" with the bytes
  // after the first 8 deflated. The length field is the uncompressed length.
  Bytes build() const;

 private:
  MovieHeader header_;
  Bytes tags_;
  uint16_t showFrames_ = 0;
};

}  // namespace kw::swf
