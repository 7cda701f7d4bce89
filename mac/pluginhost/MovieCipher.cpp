// The movie cipher: XTEA with the fixed movie key, and the pass structure that
// covers lengths that are not a multiple of 8.
#include "mac/pluginhost/MovieCipher.h"

#include <cstring>

#include "mac/pluginhost/Xtea.h"

namespace kw {
namespace {

constexpr std::array<uint32_t, 4> kMovieKey = {0x7A1C3E95, 0xB4D2608F, 0x1E5A9C37, 0xC8F04B62};

// Prepared on first use; thread-safe by the rules for function-local statics.
const XteaKeySchedule& movieKeySchedule() {
  static const XteaKeySchedule schedule(kMovieKey);
  return schedule;
}

// Every whole block of `data` (length a multiple of 8) in order, `passes` times over.
void cipherBlocks(const XteaKeySchedule& ks, uint8_t* data, size_t length, int passes,
                  CipherDirection direction) {
  for (int pass = 0; pass < passes; ++pass) {
    for (size_t offset = 0; offset < length; offset += 8) {
      if (direction == CipherDirection::Encipher) {
        ks.encipher(data + offset);
      } else {
        ks.decipher(data + offset);
      }
    }
  }
}

}  // namespace

Status movieCipher(const uint8_t* source, uint8_t* destination, size_t length, int passes,
                   CipherDirection direction) {
  if (length < 8) return kStatusCipherTooShort;
  if (source != destination) std::memmove(destination, source, length);

  const XteaKeySchedule& ks = movieKeySchedule();
  const size_t prefix = length & ~size_t{7};
  uint8_t* const last = destination + length - 8;
  if (prefix == length) {
    cipherBlocks(ks, destination, length, passes, direction);
  } else if (direction == CipherDirection::Decipher) {
    cipherBlocks(ks, destination, prefix, passes, direction);
    ks.decipher(last);
  } else {
    ks.encipher(last);
    cipherBlocks(ks, destination, prefix, passes, direction);
  }
  return kStatusOK;
}

bool isPlainMovie(std::span<const uint8_t> bytes) {
  return bytes.size() >= 3 && bytes[1] == 'W' && bytes[2] == 'S';
}

}  // namespace kw
