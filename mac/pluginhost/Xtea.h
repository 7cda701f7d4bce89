// XTEA block function (64-bit block, 128-bit key, 32 cycles) with a precomputed
// key schedule; blocks are two big-endian 32-bit words. Used by the movie cipher.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace kw {

class XteaKeySchedule {
 public:
  static constexpr std::size_t kCycles = 32;

  // Prepares the per-cycle subkeys k[sum & 3] + sum and k[(sum >> 11) & 3] + sum.
  explicit XteaKeySchedule(const std::array<uint32_t, 4>& key);

  // Enciphers or deciphers the 8 bytes at `block` in place.
  void encipher(uint8_t* block) const;
  void decipher(uint8_t* block) const;

 private:
  std::array<uint32_t, kCycles> first_{};   // mixed into v0 in cycle i
  std::array<uint32_t, kCycles> second_{};  // mixed into v1 in cycle i
};

}  // namespace kw
