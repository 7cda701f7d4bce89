// XTEA block function over big-endian words, driven by a precomputed key schedule.
#include "mac/pluginhost/Xtea.h"

namespace kw {
namespace {

constexpr uint32_t kDelta = 0x9E3779B9;

uint32_t loadBigEndian(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | uint32_t{p[3]};
}

void storeBigEndian(uint8_t* p, uint32_t value) {
  p[0] = static_cast<uint8_t>(value >> 24);
  p[1] = static_cast<uint8_t>(value >> 16);
  p[2] = static_cast<uint8_t>(value >> 8);
  p[3] = static_cast<uint8_t>(value);
}

uint32_t mix(uint32_t v) { return ((v << 4) ^ (v >> 5)) + v; }

}  // namespace

XteaKeySchedule::XteaKeySchedule(const std::array<uint32_t, 4>& key) {
  uint32_t sum = 0;
  for (std::size_t i = 0; i < kCycles; ++i) {
    first_[i] = sum + key[sum & 3];
    sum += kDelta;
    second_[i] = sum + key[(sum >> 11) & 3];
  }
}

void XteaKeySchedule::encipher(uint8_t* block) const {
  uint32_t v0 = loadBigEndian(block);
  uint32_t v1 = loadBigEndian(block + 4);
  for (std::size_t i = 0; i < kCycles; ++i) {
    v0 += mix(v1) ^ first_[i];
    v1 += mix(v0) ^ second_[i];
  }
  storeBigEndian(block, v0);
  storeBigEndian(block + 4, v1);
}

void XteaKeySchedule::decipher(uint8_t* block) const {
  uint32_t v0 = loadBigEndian(block);
  uint32_t v1 = loadBigEndian(block + 4);
  for (std::size_t i = kCycles; i-- > 0;) {
    v1 -= mix(v0) ^ second_[i];
    v0 -= mix(v1) ^ first_[i];
  }
  storeBigEndian(block, v0);
  storeBigEndian(block + 4, v1);
}

}  // namespace kw
