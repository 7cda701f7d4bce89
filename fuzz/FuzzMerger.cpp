// libFuzzer target for the movie merger: the input is split into options, a
// wrapper and a movie; merged output must be a self-consistent FWS movie.
#include <zlib.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include "mac/pluginhost/MovieMerger.h"

// Input: byte 0 options (bit 0 wrapper flag, bit 1 NPP_WriteReady answers 0,
// bit 2 deflate the movie's bytes after its first 8 so that inflate sees valid
// streams), bytes 1-2 the wrapper length (little-endian), the wrapper, the movie.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const uint8_t options = data[0];
  const size_t wrapperLength = std::min<size_t>(size - 3, size_t{data[1]} | size_t{data[2]} << 8);
  const std::span<const uint8_t> wrapper(data + 3, wrapperLength);
  std::vector<uint8_t> movie(data + 3 + wrapperLength, data + size);

  if ((options & 4) != 0 && movie.size() >= 8) {
    const auto sourceLength = static_cast<uLong>(movie.size() - 8);
    uLongf packedLength = compressBound(sourceLength);
    std::vector<uint8_t> packed(8 + packedLength);
    std::copy(movie.begin(), movie.begin() + 8, packed.begin());
    if (compress(packed.data() + 8, &packedLength, movie.data() + 8, sourceLength) != Z_OK) return 0;
    packed.resize(8 + packedLength);
    movie = std::move(packed);
  }

  const bool wrapperFlag = (options & 1) != 0;
  kw::PluginWriteConditions plugin;
  plugin.writeReady = (options & 2) == 0;
  const kw::MergeResult result = kw::mergeMovie(wrapper, movie, wrapperFlag, plugin);

  if (result.written) {
    const std::vector<uint8_t>& out = *result.written;
    if (!wrapperFlag) {
      if (out.size() != movie.size()) __builtin_trap();
    } else {
      if (result.status != kw::kStatusOK || out.size() < 8) __builtin_trap();
      const uint32_t stored = uint32_t{out[4]} | uint32_t{out[5]} << 8 | uint32_t{out[6]} << 16 |
                              uint32_t{out[7]} << 24;
      if (out[0] != 'F' || out[1] != 'W' || out[2] != 'S' || out[3] != 9 || stored != out.size()) {
        __builtin_trap();
      }
    }
  }
  return 0;
}
