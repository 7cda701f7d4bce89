// Movie reading for the stand-in plug-in: header, tags, frames of getURL actions.
#include "tools/standin/MovieReader.h"

#include <zlib.h>

#include <algorithm>
#include <limits>

#include "mac/pluginhost/SwfFormat.h"

namespace kw::standin {
namespace {

using namespace swf;

// A checked little-endian reader over a byte span: every read that would pass
// the end fails and leaves the position alone.
class Reader {
 public:
  explicit Reader(std::span<const uint8_t> bytes) : bytes_(bytes) {}
  size_t remaining() const { return bytes_.size() - pos_; }
  bool u8(uint8_t& out) {
    if (remaining() < 1) return false;
    out = bytes_[pos_++];
    return true;
  }
  bool u16(uint16_t& out) {
    if (remaining() < 2) return false;
    out = static_cast<uint16_t>(bytes_[pos_] | (unsigned{bytes_[pos_ + 1]} << 8));
    pos_ += 2;
    return true;
  }
  bool u32(uint32_t& out) {
    if (remaining() < 4) return false;
    out = 0;
    for (size_t i = 4; i-- > 0;) out = (out << 8) | bytes_[pos_ + i];
    pos_ += 4;
    return true;
  }
  bool take(size_t count, std::span<const uint8_t>& out) {
    if (remaining() < count) return false;
    out = bytes_.subspan(pos_, count);
    pos_ += count;
    return true;
  }
  // A zero-terminated string; fails when no terminator is left.
  bool text(std::string& out) {
    const auto rest = bytes_.subspan(pos_);
    const auto zero = std::find(rest.begin(), rest.end(), uint8_t{0});
    if (zero == rest.end()) return false;
    out.assign(rest.begin(), zero);
    pos_ += out.size() + 1;
    return true;
  }

 private:
  std::span<const uint8_t> bytes_;
  size_t pos_ = 0;
};

// Reads n bits, most significant first, as a signed value.
int32_t signedBits(std::span<const uint8_t> bytes, size_t& bit, unsigned n) {
  uint32_t value = 0;
  for (unsigned i = 0; i < n; ++i, ++bit) {
    value = (value << 1) | ((unsigned{bytes[bit / 8]} >> (7U - static_cast<unsigned>(bit % 8))) & 1U);
  }
  if (n > 0 && n < 32 && (value & (1U << (n - 1))) != 0) value |= ~((1U << n) - 1);
  return static_cast<int32_t>(value);
}

// Inflates the body after the 8-byte prefix, up to kMaxInflatedBody bytes.
// False when zlib rejects the data outright; `complete` tells whether the
// stream ended properly.
bool inflateBody(std::span<const uint8_t> compressed, std::vector<uint8_t>& out, bool& complete) {
  z_stream zs{};
  if (inflateInit(&zs) != Z_OK) return false;
  zs.next_in = const_cast<Bytef*>(compressed.data());
  size_t fed = 0;
  int status = Z_OK;
  out.clear();
  while (status == Z_OK) {
    if (out.size() >= kMaxInflatedBody) break;
    const size_t have = out.size();
    const size_t grow = std::min<size_t>(std::max<size_t>(have, 64 * 1024), kMaxInflatedBody - have);
    out.resize(have + grow);
    zs.next_out = out.data() + have;
    zs.avail_out = static_cast<uInt>(grow);
    if (zs.avail_in == 0) {
      const size_t chunk = std::min<size_t>(compressed.size() - fed, std::numeric_limits<uInt>::max());
      zs.avail_in = static_cast<uInt>(chunk);
      fed += chunk;
    }
    status = inflate(&zs, Z_NO_FLUSH);
    out.resize(have + (grow - zs.avail_out));
    if (status == Z_BUF_ERROR && zs.avail_in == 0 && fed < compressed.size()) status = Z_OK;
  }
  inflateEnd(&zs);
  complete = status == Z_STREAM_END;
  return status == Z_STREAM_END || status == Z_OK || (status == Z_BUF_ERROR && !out.empty());
}

void readTags(Reader& tags, Movie& movie) {
  FrameActions current;
  bool pendingFrame = false;
  bool sawEnd = false;
  while (tags.remaining() > 0) {
    uint16_t codeAndLength = 0;
    if (!tags.u16(codeAndLength)) {
      movie.truncated = true;
      break;
    }
    const auto code = static_cast<uint16_t>(codeAndLength >> 6);
    uint32_t length = codeAndLength & 0x3FU;
    if (length == 0x3F && !tags.u32(length)) {
      movie.truncated = true;
      break;
    }
    std::span<const uint8_t> body;
    if (!tags.take(length, body)) {
      movie.truncated = true;
      break;
    }
    movie.tagCodes.push_back(code);
    switch (code) {
      case kTagEnd:
        break;
      case kTagShowFrame:
        movie.frames.push_back(std::move(current));
        current.clear();
        pendingFrame = false;
        break;
      case kTagSetBackgroundColor:
        if (!movie.background && body.size() >= 3) {
          movie.background = (uint32_t{body[0]} << 16) | (uint32_t{body[1]} << 8) | body[2];
        }
        break;
      case kTagDoAction: {
        FrameActions actions = decodeActions(body);
        current.insert(current.end(), actions.begin(), actions.end());
        pendingFrame = true;
        break;
      }
      case kTagScriptLimits:
        movie.hasScriptLimits = true;
        break;
      case kTagFileAttributes: {
        Reader flags(body);
        uint32_t value = 0;
        if (flags.u32(value) && (value & kFileAttributesAS3) != 0) movie.actionScript3 = true;
        break;
      }
      case kTagDoABCDefine:
      case kTagSymbolClass:
      case kTagDoABC:
        movie.actionScript3 = true;
        break;
      default:
        break;
    }
    if (code == kTagEnd) {
      sawEnd = true;
      break;
    }
  }
  if (!sawEnd) movie.truncated = true;
  if (pendingFrame) movie.frames.push_back(std::move(current));
}

}  // namespace

FrameActions decodeActions(std::span<const uint8_t> actions) {
  FrameActions found;
  std::vector<std::optional<std::string>> stack;  // pushed values; nullopt for non-strings
  Reader reader(actions);
  uint8_t code = 0;
  while (reader.u8(code) && code != 0) {
    std::span<const uint8_t> payload;
    if (code >= 0x80) {
      uint16_t length = 0;
      if (!reader.u16(length) || !reader.take(length, payload)) break;
    }
    Reader fields(payload);
    if (code == kActionGetURL) {
      GetURLAction action;
      if (fields.text(action.url) && fields.text(action.target)) found.push_back(std::move(action));
      stack.clear();
    } else if (code == kActionPush) {
      uint8_t type = 0;
      while (fields.u8(type)) {
        std::span<const uint8_t> skipped;
        // Sizes of the non-string push types: float, null, undefined, register,
        // boolean, double, integer, constant8, constant16.
        static constexpr int kSizes[] = {-1, 4, 0, 0, 1, 1, 8, 4, 1, 2};
        if (type == 0) {
          std::string text;
          if (!fields.text(text)) break;
          stack.emplace_back(std::move(text));
        } else if (type < std::size(kSizes) && fields.take(static_cast<size_t>(kSizes[type]), skipped)) {
          stack.emplace_back(std::nullopt);
        } else {
          stack.clear();  // an unknown or cut value: nothing pushed can be trusted
          break;
        }
      }
    } else if (code == kActionGetURL2) {
      if (stack.size() >= 2 && stack[stack.size() - 1] && stack[stack.size() - 2]) {
        found.push_back({*stack[stack.size() - 2], *stack[stack.size() - 1]});
      }
      stack.clear();
    } else {
      stack.clear();
    }
  }
  return found;
}

MovieResult readMovie(std::span<const uint8_t> bytes) {
  MovieResult result;
  if (bytes.size() < 8) return result;
  if ((bytes[0] != 'F' && bytes[0] != 'C') || bytes[1] != 'W' || bytes[2] != 'S') {
    result.error = MovieError::BadSignature;
    return result;
  }
  Movie movie;
  movie.compressed = bytes[0] == 'C';
  movie.version = bytes[3];
  movie.fileLength = uint32_t{bytes[4]} | (uint32_t{bytes[5]} << 8) | (uint32_t{bytes[6]} << 16) |
                     (uint32_t{bytes[7]} << 24);

  std::vector<uint8_t> inflated;
  std::span<const uint8_t> body = bytes.subspan(8);
  if (movie.compressed) {
    bool complete = false;
    if (!inflateBody(body, inflated, complete)) {
      result.error = MovieError::BadBody;
      return result;
    }
    movie.truncated = !complete;
    body = inflated;
  }

  // Frame rectangle: 5 bits of field size, then four fields of that size.
  if (body.empty()) return result;
  const unsigned bits = body[0] >> 3;
  const size_t rectBytes = (5 + 4 * size_t{bits} + 7) / 8;
  if (body.size() < rectBytes + 4) return result;
  size_t bit = 5;
  movie.xMin = signedBits(body, bit, bits);
  movie.xMax = signedBits(body, bit, bits);
  movie.yMin = signedBits(body, bit, bits);
  movie.yMax = signedBits(body, bit, bits);
  Reader reader(body.subspan(rectBytes));
  reader.u16(movie.frameRate);
  reader.u16(movie.frameCount);
  readTags(reader, movie);
  result.movie = std::move(movie);
  return result;
}

uint32_t frameDue(uint32_t elapsedTicks, uint16_t frameRate, uint32_t lastFrame) {
  // frames = ticks / 60 * (rate / 256), in 64 bits so nothing overflows.
  const uint64_t due = uint64_t{elapsedTicks} * frameRate / (60U * 256U);
  return static_cast<uint32_t>(std::min<uint64_t>(due, lastFrame));
}

}  // namespace kw::standin
