// The movie merger: deciphers, inflates and merges a movie with the wrapper
// movie into the one buffer that the plug-in stream receives.
#define ZLIB_CONST
#include "mac/pluginhost/MovieMerger.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

#include "mac/pluginhost/MovieCipher.h"

namespace kw {
namespace {

static_assert(kStatusMalformedMovie == Z_DATA_ERROR);

constexpr size_t kMovieHeaderFixedBytes = 8;  // signature, version, file length
constexpr uint8_t kMergedVersion = 9;
constexpr size_t kInitialRatio = 4;                // first guess of inflated / compressed size
constexpr size_t kMinimumAllocation = 64 * 1024;

// Deflate emits at most 258 bytes per 2 bits of input (a length and a distance
// code of one bit each), so a stream of n bytes inflates to at most 1032 * n.
// A declared length beyond that is a lie and is not allocated.
size_t maxInflatedLength(size_t compressedLength) {
  constexpr size_t kRatio = 1032;
  if (compressedLength > std::numeric_limits<size_t>::max() / kRatio - 1) {
    return std::numeric_limits<size_t>::max();
  }
  return (compressedLength + 1) * kRatio;
}

uint32_t loadLittleEndian32(const uint8_t* p) {
  return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

void storeLittleEndian32(uint8_t* p, uint32_t value) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(value >> (8 * i));
}

// The plain bytes of a stored movie: `stored` itself, or a copy deciphered in
// `storage` when bytes 1 and 2 are not "W", "S".
Status plainBytes(std::span<const uint8_t> stored, std::vector<uint8_t>& storage,
                  std::span<const uint8_t>& plain) {
  plain = stored;
  if (isPlainMovie(stored)) return kStatusOK;
  storage.assign(stored.begin(), stored.end());
  plain = storage;
  return movieCipher(storage.data(), storage.data(), storage.size(), 1, CipherDirection::Decipher);
}

// Inflates one zlib stream into a sequence of output ranges, with the results
// of zlib's uncompress: a stream cut short is Z_DATA_ERROR, a stream with more
// output than the ranges hold is Z_BUF_ERROR.
class RangeInflater {
 public:
  explicit RangeInflater(std::span<const uint8_t> input) : pending_(input) {}
  RangeInflater(const RangeInflater&) = delete;
  RangeInflater& operator=(const RangeInflater&) = delete;
  ~RangeInflater() {
    if (initialised_) inflateEnd(&stream_);
  }

  int init() {
    const int result = inflateInit(&stream_);
    initialised_ = result == Z_OK;
    return result;
  }

  // Fills `out`, adding the bytes written to `produced`. Z_OK: `out` is full
  // and the stream goes on; Z_STREAM_END: the stream has ended (perhaps exactly
  // filling `out`); anything else is an error.
  int fill(std::span<uint8_t> out, size_t& produced) {
    size_t done = 0;
    while (done < out.size() && !ended_) {
      feed();
      const size_t room = std::min<size_t>(out.size() - done, kMaxChunk);
      stream_.next_out = out.data() + done;
      stream_.avail_out = static_cast<uInt>(room);
      const int result = inflate(&stream_, Z_NO_FLUSH);
      done += room - stream_.avail_out;
      if (result == Z_STREAM_END) {
        ended_ = true;
        break;
      }
      if (result != Z_OK) {
        produced += done;
        return failure(result);
      }
    }
    produced += done;
    return ended_ ? Z_STREAM_END : Z_OK;
  }

  // Called once the ranges are full: Z_STREAM_END when the stream ends there,
  // Z_BUF_ERROR when it would produce more.
  int finish() {
    uint8_t spare = 0;
    while (!ended_) {
      feed();
      stream_.next_out = &spare;
      stream_.avail_out = 0;
      const int result = inflate(&stream_, Z_NO_FLUSH);
      if (result == Z_STREAM_END) ended_ = true;
      else if (result != Z_OK) return result == Z_NEED_DICT ? Z_DATA_ERROR : result;
    }
    return Z_STREAM_END;
  }

 private:
  static constexpr size_t kMaxChunk = std::numeric_limits<uInt>::max();

  void feed() {
    if (stream_.avail_in != 0 || pending_.empty()) return;
    const size_t chunk = std::min(pending_.size(), kMaxChunk);
    stream_.next_in = pending_.data();
    stream_.avail_in = static_cast<uInt>(chunk);
    pending_ = pending_.subspan(chunk);
  }

  // With room left in the output, "no progress" means the input ran out.
  static int failure(int result) {
    return result == Z_BUF_ERROR || result == Z_NEED_DICT ? Z_DATA_ERROR : result;
  }

  z_stream stream_{};
  std::span<const uint8_t> pending_;  // input not yet handed to zlib
  bool initialised_ = false;
  bool ended_ = false;
};

// Places the wrapper's contribution and the ScriptLimits tag behind the user's
// header and stamps the header: "FWS", version 9, the total length.
Status finishMergedMovie(std::vector<uint8_t>& merged, size_t userHeaderLength,
                         std::span<const uint8_t> contribution) {
  if (merged.size() > std::numeric_limits<uint32_t>::max()) return kStatusMalformedMovie;
  uint8_t* const out = merged.data();
  if (!contribution.empty()) {
    std::memcpy(out + userHeaderLength, contribution.data(), contribution.size());
  }
  std::memcpy(out + userHeaderLength + contribution.size(), kScriptLimitsTag,
              sizeof kScriptLimitsTag);
  out[0] = 'F';
  out[1] = 'W';
  out[2] = 'S';
  out[3] = kMergedVersion;
  storeLittleEndian32(out + 4, static_cast<uint32_t>(merged.size()));
  return kStatusOK;
}

// User movie stored uncompressed: header and body are copied around the
// wrapper's part. A declared length beyond the data present is not trusted.
Status mergeUncompressed(std::span<const uint8_t> movie, uint32_t declaredLength,
                         std::span<const uint8_t> contribution, std::vector<uint8_t>& merged) {
  if (movie.size() <= kMovieHeaderFixedBytes) return kStatusMalformedMovie;
  const size_t headerLength = movieHeaderLength(movie[8]);
  if (declaredLength < headerLength || movie.size() < headerLength) return kStatusMalformedMovie;
  const size_t length = std::min<size_t>(declaredLength, movie.size());
  const size_t insertLength = contribution.size() + sizeof kScriptLimitsTag;

  merged.resize(length + insertLength);
  std::memcpy(merged.data(), movie.data(), headerLength);
  std::memcpy(merged.data() + headerLength + insertLength, movie.data() + headerLength,
              length - headerLength);
  return finishMergedMovie(merged, headerLength, contribution);
}

// User movie stored compressed: the stream is inflated straight into the merged
// buffer, its header bytes in front of the wrapper's part and its tags behind.
Status mergeCompressed(std::span<const uint8_t> movie, uint32_t declaredLength,
                       std::span<const uint8_t> contribution, std::vector<uint8_t>& merged) {
  if (declaredLength <= kMovieHeaderFixedBytes) return kStatusMalformedMovie;
  const auto compressed = movie.subspan(kMovieHeaderFixedBytes);
  const size_t capacity =
      std::min<size_t>(declaredLength - kMovieHeaderFixedBytes, maxInflatedLength(compressed.size()));
  const size_t insertLength = contribution.size() + sizeof kScriptLimitsTag;

  // Room for a typical compression ratio first; it grows while data really
  // inflates, so a lying length costs no more memory than the data fills.
  size_t allocated = std::min(capacity, std::max(kInitialRatio * compressed.size(), kMinimumAllocation));
  merged.resize(kMovieHeaderFixedBytes + allocated + insertLength);
  const std::span<uint8_t> out(merged);

  RangeInflater inflater(compressed);
  int result = inflater.init();
  if (result != Z_OK) return static_cast<Status>(result);

  // Byte 8 first: it tells where the header ends and the tags begin.
  size_t produced = 0;
  result = inflater.fill(out.subspan(kMovieHeaderFixedBytes, 1), produced);
  if (result != Z_OK && result != Z_STREAM_END) return static_cast<Status>(result);
  if (produced == 0) return kStatusMalformedMovie;
  const size_t headerLength = movieHeaderLength(out[kMovieHeaderFixedBytes]);
  // capacity >= headerLength - 8 follows, as the inflate bound exceeds any header.
  if (declaredLength < headerLength) return kStatusMalformedMovie;

  const size_t bodyOffset = headerLength + insertLength;
  if (result == Z_OK) {
    result = inflater.fill(out.subspan(kMovieHeaderFixedBytes + 1, headerLength - 9), produced);
  }
  while (result == Z_OK) {
    const size_t bodyWritten = produced - (headerLength - kMovieHeaderFixedBytes);
    result = inflater.fill(std::span<uint8_t>(merged).subspan(bodyOffset + bodyWritten), produced);
    if (result != Z_OK || allocated == capacity) break;
    allocated = std::min(capacity, 2 * allocated);
    merged.resize(kMovieHeaderFixedBytes + allocated + insertLength);
  }
  if (result == Z_OK) result = inflater.finish();
  if (result != Z_STREAM_END) return static_cast<Status>(result);

  // The true length: a stream that ends early leaves no unwritten bytes behind.
  const size_t length = kMovieHeaderFixedBytes + produced;
  if (length < headerLength) return kStatusMalformedMovie;
  merged.resize(length + insertLength);
  return finishMergedMovie(merged, headerLength, contribution);
}

MergeResult mergeWithWrapper(std::span<const uint8_t> wrapper, std::span<const uint8_t> movie,
                             const PluginWriteConditions& plugin) {
  if (wrapper.empty() || movie.empty() || !plugin.hasWriteReady || !plugin.hasWrite) {
    return {kStatusOK, std::nullopt};
  }

  std::vector<uint8_t> wrapperStorage;
  std::span<const uint8_t> plainWrapper;
  Status status = plainBytes(wrapper, wrapperStorage, plainWrapper);
  if (status != kStatusOK) return {status, std::nullopt};
  // The wrapper's End tag and the 4 bytes around it are dropped.
  if (plainWrapper.size() < 4 + kMovieHeaderFixedBytes + 1) return {kStatusMalformedMovie, std::nullopt};
  plainWrapper = plainWrapper.first(plainWrapper.size() - 4);
  const size_t wrapperSkip = movieHeaderLength(plainWrapper[8]) + kWrapperSkippedTagBytes;
  if (plainWrapper.size() < wrapperSkip) return {kStatusMalformedMovie, std::nullopt};
  const auto contribution = plainWrapper.subspan(wrapperSkip);

  std::vector<uint8_t> movieStorage;
  std::span<const uint8_t> plainMovie;
  status = plainBytes(movie, movieStorage, plainMovie);
  if (status != kStatusOK) return {status, std::nullopt};
  if (plainMovie.size() < kMovieHeaderFixedBytes) return {kStatusMalformedMovie, std::nullopt};
  const uint32_t declaredLength = loadLittleEndian32(plainMovie.data() + 4);

  std::vector<uint8_t> merged;
  status = plainMovie[0] == 'C'
               ? mergeCompressed(plainMovie, declaredLength, contribution, merged)
               : mergeUncompressed(plainMovie, declaredLength, contribution, merged);
  if (status != kStatusOK || !plugin.writeReady) return {status, std::nullopt};
  return {kStatusOK, std::move(merged)};
}

MergeResult passThrough(std::span<const uint8_t> movie, const PluginWriteConditions& plugin) {
  std::vector<uint8_t> bytes(movie.begin(), movie.end());
  Status status = kStatusOK;
  if (!isPlainMovie(bytes)) {
    status = movieCipher(bytes.data(), bytes.data(), bytes.size(), 1, CipherDirection::Decipher);
  }
  // Written whatever the deciphering gave.
  if (!plugin.hasWriteReady || !plugin.hasWrite || !plugin.writeReady) return {status, std::nullopt};
  return {status, std::move(bytes)};
}

}  // namespace

MergeResult mergeMovie(std::span<const uint8_t> wrapper, std::span<const uint8_t> movie,
                       bool wrapperFlag, const PluginWriteConditions& plugin) {
  try {
    return wrapperFlag ? mergeWithWrapper(wrapper, movie, plugin) : passThrough(movie, plugin);
  } catch (const std::bad_alloc&) {
    return {kStatusOutOfMemory, std::nullopt};
  }
}

}  // namespace kw
