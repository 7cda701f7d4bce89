// Builds SWF movies byte for byte: header, frame rectangle, tags and a few actions.
#include "tools/swf/SwfWriter.h"

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace kw::swf {
namespace {

void putU16(Bytes& out, uint32_t value) {
  out.push_back(static_cast<uint8_t>(value & 0xFF));
  out.push_back(static_cast<uint8_t>((value >> 8) & 0xFF));
}

void putU32(Bytes& out, uint32_t value) {
  putU16(out, value & 0xFFFF);
  putU16(out, value >> 16);
}

void putText(Bytes& out, std::string_view text) {
  out.insert(out.end(), text.begin(), text.end());
  out.push_back(0);
}

// Bits needed for `value` as a signed field.
unsigned signedBits(int32_t value) {
  const int64_t v = value;
  unsigned bits = 1;
  while (v < -(int64_t{1} << (bits - 1)) || v > (int64_t{1} << (bits - 1)) - 1) ++bits;
  return bits;
}

// Most significant bit first.
class BitWriter {
 public:
  explicit BitWriter(Bytes& out) : out_(out) {}
  void put(uint32_t value, unsigned bits) {
    for (unsigned i = bits; i-- > 0;) {
      if (used_ == 0) out_.push_back(0);
      if ((value >> i) & 1U) out_.back() = static_cast<uint8_t>(out_.back() | (0x80U >> used_));
      used_ = (used_ + 1) % 8;
    }
  }

 private:
  Bytes& out_;
  unsigned used_ = 0;
};

Bytes actionRecord(uint8_t code, std::span<const uint8_t> payload) {
  Bytes out{code};
  putU16(out, static_cast<uint32_t>(payload.size()));
  append(out, payload);
  return out;
}

}  // namespace

uint16_t fixed88(double framesPerSecond) {
  const double scaled = std::round(std::clamp(framesPerSecond, 0.0, 255.99609375) * 256.0);
  return static_cast<uint16_t>(std::min(scaled, 65535.0));
}

unsigned rectBits(const TwipsRect& rect) {
  return std::max({signedBits(rect.xMin), signedBits(rect.xMax), signedBits(rect.yMin),
                   signedBits(rect.yMax)});
}

Bytes encodeRect(const TwipsRect& rect, unsigned minBits) {
  const unsigned n = std::min(31U, std::max(rectBits(rect), minBits));
  Bytes out;
  BitWriter bits(out);
  bits.put(n, 5);
  for (int32_t v : {rect.xMin, rect.xMax, rect.yMin, rect.yMax}) bits.put(static_cast<uint32_t>(v), n);
  return out;
}

Bytes encodeTag(uint16_t code, std::span<const uint8_t> body, bool forceLong) {
  if (body.size() > UINT32_MAX) throw std::length_error("tag body too long");
  const uint32_t codeBits = static_cast<uint32_t>(code & 0x3FF) << 6;
  Bytes out;
  if (!forceLong && body.size() < 63) {
    putU16(out, codeBits | static_cast<uint32_t>(body.size()));
  } else {
    putU16(out, codeBits | 63U);
    putU32(out, static_cast<uint32_t>(body.size()));
  }
  append(out, body);
  return out;
}

Bytes actionGetURL(std::string_view url, std::string_view target) {
  Bytes payload;
  putText(payload, url);
  putText(payload, target);
  return actionRecord(kActionGetURL, payload);
}

Bytes actionPushString(std::string_view text) {
  Bytes payload{0};  // value type 0: string
  putText(payload, text);
  return actionRecord(kActionPush, payload);
}

Bytes actionGetURL2(uint8_t flags) {
  const uint8_t payload[1] = {flags};
  return actionRecord(kActionGetURL2, payload);
}

Bytes actionEnd() { return Bytes{0}; }

void append(Bytes& out, std::span<const uint8_t> more) { out.insert(out.end(), more.begin(), more.end()); }

SwfWriter::SwfWriter(MovieHeader header) : header_(header) {}

SwfWriter SwfWriter::wrapperLike(MovieHeader header, uint32_t fileAttributesFlags, uint32_t background) {
  SwfWriter writer(header);
  writer.fileAttributes(fileAttributesFlags).setBackgroundColor(background);
  return writer;
}

SwfWriter& SwfWriter::tag(uint16_t code, std::span<const uint8_t> body, bool forceLong) {
  if (code == kTagShowFrame) ++showFrames_;
  return raw(encodeTag(code, body, forceLong));
}

SwfWriter& SwfWriter::raw(std::span<const uint8_t> bytes) {
  append(tags_, bytes);
  return *this;
}

SwfWriter& SwfWriter::setBackgroundColor(uint32_t rgb) {
  const uint8_t body[3] = {static_cast<uint8_t>(rgb >> 16), static_cast<uint8_t>(rgb >> 8),
                           static_cast<uint8_t>(rgb)};
  return tag(kTagSetBackgroundColor, body);
}

SwfWriter& SwfWriter::fileAttributes(uint32_t flags) {
  Bytes body;
  putU32(body, flags);
  return tag(kTagFileAttributes, body);
}

SwfWriter& SwfWriter::metadata(std::string_view xml) {
  Bytes body;
  putText(body, xml);
  return tag(kTagMetadata, body);
}

SwfWriter& SwfWriter::doAction(std::span<const uint8_t> actions) { return tag(kTagDoAction, actions); }

SwfWriter& SwfWriter::doActionGetURL(std::string_view url, std::string_view target) {
  Bytes actions = actionGetURL(url, target);
  append(actions, actionEnd());
  return doAction(actions);
}

SwfWriter& SwfWriter::doABC(std::span<const uint8_t> body) { return tag(kTagDoABC, body); }

SwfWriter& SwfWriter::showFrame() { return tag(kTagShowFrame, {}); }

SwfWriter& SwfWriter::end() { return tag(kTagEnd, {}); }

Bytes SwfWriter::uncompressed() const {
  Bytes out{'F', 'W', 'S', header_.version, 0, 0, 0, 0};
  append(out, encodeRect(header_.frame, header_.minRectBits));
  putU16(out, header_.frameRate);
  putU16(out, header_.frameCount.value_or(showFrames_));
  append(out, tags_);
  if (out.size() > UINT32_MAX) throw std::length_error("movie too long");
  const uint32_t length = header_.fileLength.value_or(static_cast<uint32_t>(out.size()));
  for (size_t i = 0; i < 4; ++i) out[4 + i] = static_cast<uint8_t>(length >> (8 * i));
  return out;
}

Bytes SwfWriter::build() const {
  Bytes plain = uncompressed();
  if (!header_.compressed) return plain;
  const uLong sourceLength = static_cast<uLong>(plain.size() - 8);
  uLongf packedLength = compressBound(sourceLength);
  Bytes out(plain.begin(), plain.begin() + 8);
  out[0] = 'C';
  out.resize(8 + packedLength);
  if (compress2(out.data() + 8, &packedLength, plain.data() + 8, sourceLength, header_.compressionLevel) != Z_OK) {
    throw std::runtime_error("zlib compress2 failed");
  }
  out.resize(8 + packedLength);
  return out;
}

}  // namespace kw::swf
