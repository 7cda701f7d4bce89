// The movie header probe: deciphers and inflates the first bytes of a movie as
// needed, reads its header and scans the tags that start right behind it.
#include "mac/windows/MovieHeaderProbe.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>

#include "mac/pluginhost/MovieCipher.h"
#include "mac/pluginhost/MovieMerger.h"

namespace kw {
namespace {

constexpr size_t kFileHeaderBytes = 8;  // signature, version, file length

using swf::isActionScript3Tag;
using swf::kFileAttributesAS3;
using swf::kTagFileAttributes;
using swf::kTagSetBackgroundColor;

// Reads the window of kProbeWindowBytes behind the file header, most
// significant bit first; every bit past the window reads as 0. Positions are
// 64-bit so that skipping a 32-bit tag length cannot overflow.
class WindowReader {
 public:
  explicit WindowReader(const uint8_t* window) : window_(window) {}

  uint32_t bits(unsigned count) {
    uint32_t value = 0;
    for (unsigned i = 0; i < count; ++i) {
      const uint64_t index = bit_ / 8;
      const unsigned bit =
          index < kProbeWindowBytes ? (window_[index] >> (7 - bit_ % 8)) & 1U : 0U;
      value = (value << 1) | bit;
      ++bit_;
    }
    return value;
  }
  void align() { bit_ = (bit_ + 7) & ~uint64_t{7}; }
  uint8_t u8() { return static_cast<uint8_t>(bits(8)); }
  uint16_t u16() {
    const uint32_t low = u8();
    return static_cast<uint16_t>(low | (uint32_t{u8()} << 8));
  }
  uint32_t u32() {
    const uint32_t low = u16();
    return low | (uint32_t{u16()} << 16);
  }
  // The byte at a window offset, 0 past the window.
  uint8_t at(uint64_t offset) const { return offset < kProbeWindowBytes ? window_[offset] : 0; }
  uint64_t offset() const { return bit_ / 8; }
  bool within() const { return offset() < kProbeWindowBytes; }
  void skip(uint64_t bytes) { bit_ += bytes * 8; }

 private:
  const uint8_t* window_;
  uint64_t bit_ = 0;
};

int16_t pixels(uint32_t twips) { return static_cast<int16_t>(std::min<uint32_t>(twips / 20, INT16_MAX)); }

// Reads the header and scans the tags of a movie whose first `available`
// bytes are in `movie` (zero-filled behind them, at least 8 + window bytes).
void parseMovie(const uint8_t* movie, size_t available, MovieHeaderInfo& info) {
  if (available < kFileHeaderBytes + 1 || available < movieHeaderLength(movie[kFileHeaderBytes])) {
    info.status = kProbeTooShort;
    return;
  }
  info.version = movie[3];
  WindowReader reader(movie + kFileHeaderBytes);
  const unsigned n = reader.bits(5);
  const uint32_t xMin = reader.bits(n);
  const uint32_t xMax = reader.bits(n);
  const uint32_t yMin = reader.bits(n);
  const uint32_t yMax = reader.bits(n);
  info.rect = {pixels(yMin), pixels(xMin), pixels(yMax), pixels(xMax)};
  reader.align();
  reader.u8();  // the frame rate's fraction byte is dropped
  info.frameRate = reader.u8();
  info.frameCount = reader.u16();

  while (reader.within()) {
    const uint16_t tagHeader = reader.u16();
    const uint16_t code = static_cast<uint16_t>(tagHeader >> 6);
    uint64_t length = tagHeader & 0x3FU;
    if (length == 0x3F) length = reader.u32();
    const uint64_t body = reader.offset();
    // The colour counts only when all three bytes are inside the window:
    // bytes past it read as 0 and would give a wrong colour.
    if (code == kTagSetBackgroundColor && length >= 3 && body + 3 <= kProbeWindowBytes) {
      info.backgroundColor = uint32_t{reader.at(body)} << 16 | uint32_t{reader.at(body + 1)} << 8 |
                             reader.at(body + 2);
    }
    if (isActionScript3Tag(code)) info.actionScript3 = true;
    // ActionScript 3 movies announce themselves in their FileAttributes tag;
    // their code tags usually lie far behind a large Metadata tag.
    if (code == kTagFileAttributes && length >= 1 && (reader.at(body) & kFileAttributesAS3) != 0) {
      info.actionScript3 = true;
    }
    if (body + length > kProbeWindowBytes) break;
    reader.skip(length);
  }
}

// The probe over the first bytes of a file (at most kProbeReadBytes) whose
// whole length is `fileLength`.
MovieHeaderInfo probeReadBytes(std::span<const uint8_t> read, uintmax_t fileLength) {
  MovieHeaderInfo info;
  std::array<uint8_t, kProbeReadBytes> input{};
  const size_t count = std::min(read.size(), input.size());
  std::copy_n(read.begin(), count, input.begin());

  if (!isPlainMovie(std::span(input.data(), count))) {
    // Not plain: the movie is stored enciphered. Too short a buffer stays as
    // it is and fails the signature check below.
    movieCipher(input.data(), input.data(), count, 1, CipherDirection::Decipher);
  }
  info.signature.assign(input.begin(), input.begin() + static_cast<std::ptrdiff_t>(std::min<size_t>(count, 3)));
  if (!isPlainMovie(std::span(input.data(), count))) {
    info.status = kProbeNotAMovie;
    return info;
  }

  // The window behind the header always lies inside the output buffer.
  static_assert(kFileHeaderBytes + kProbeWindowBytes <= kProbeOutputBytes);
  auto output = std::make_unique<std::array<uint8_t, kProbeOutputBytes>>();
  size_t available = 0;
  if (input[0] == 'F') {
    std::copy_n(input.begin(), count, output->begin());
    available = count;
  } else if (input[0] == 'C') {
    if (count < kFileHeaderBytes || fileLength < kFileHeaderBytes) {
      info.status = kProbeTooShort;
      return info;
    }
    std::copy_n(input.begin(), kFileHeaderBytes, output->begin());
    // The output, header included, is bounded by the file's length as well.
    const size_t capacity = static_cast<size_t>(std::min<uintmax_t>(kProbeOutputBytes, fileLength));
    uLongf inflated = static_cast<uLongf>(capacity - kFileHeaderBytes);
    const int z = uncompress(output->data() + kFileHeaderBytes, &inflated,
                             input.data() + kFileHeaderBytes, static_cast<uLong>(count - kFileHeaderBytes));
    // The input is only the first part of the stream and the output is
    // bounded: running out of either is expected.
    if (z < 0 && z != Z_BUF_ERROR && z != Z_DATA_ERROR) {
      info.status = static_cast<Status>(z);
      return info;
    }
    available = kFileHeaderBytes + std::min<size_t>(inflated, capacity - kFileHeaderBytes);
  } else {
    info.status = kProbeNotAMovie;
    return info;
  }
  parseMovie(output->data(), available, info);
  return info;
}

}  // namespace

MovieHeaderInfo probeMovieHeader(std::span<const uint8_t> bytes) {
  return probeReadBytes(bytes.first(std::min(bytes.size(), kProbeReadBytes)), bytes.size());
}

MovieHeaderInfo probeMovieHeader(const std::filesystem::path& path) {
  MovieHeaderInfo info;
  std::error_code error;
  const uintmax_t length = std::filesystem::file_size(path, error);
  if (error) {
    info.status = std::filesystem::exists(path, error) ? kProbeReadError : kProbeFileNotFound;
    return info;
  }
  const std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!file) {
    info.status = kProbeFileNotFound;
    return info;
  }
  std::array<uint8_t, kProbeReadBytes> buffer{};
  const size_t wanted = static_cast<size_t>(std::min<uintmax_t>(length, buffer.size()));
  if (std::fread(buffer.data(), 1, wanted, file.get()) != wanted) {
    info.status = kProbeReadError;
    return info;
  }
  return probeReadBytes(std::span(buffer.data(), wanted), length);
}

Status probeMovieHeader(const std::filesystem::path& path, QDRect& rect, uint32_t& frameRate,
                        uint32_t* frameCount, uint32_t* backgroundColor, uint8_t& version,
                        bool& actionScript3) {
  actionScript3 = false;
  const MovieHeaderInfo info = probeMovieHeader(path);
  if (info.status != kStatusOK) return info.status;
  rect = info.rect;
  frameRate = info.frameRate;
  if (frameCount != nullptr) *frameCount = info.frameCount;
  if (backgroundColor != nullptr && info.backgroundColor) *backgroundColor = *info.backgroundColor;
  version = info.version;
  actionScript3 = info.actionScript3;
  return kStatusOK;
}

Status probeMovieSize(const std::filesystem::path& path, QDRect& rect) {
  uint32_t frameRate = 0;
  uint8_t version = 0;
  bool actionScript3 = false;
  return probeMovieHeader(path, rect, frameRate, nullptr, nullptr, version, actionScript3);
}

Status probeIsActionScript3(const std::filesystem::path& path, bool& actionScript3) {
  QDRect rect;
  uint32_t frameRate = 0;
  uint8_t version = 0;
  return probeMovieHeader(path, rect, frameRate, nullptr, nullptr, version, actionScript3);
}

}  // namespace kw
