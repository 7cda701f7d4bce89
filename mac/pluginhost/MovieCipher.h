// The movie cipher: movies may be stored enciphered in an application bundle.
// A keyed 64-bit block function runs over the buffer block by block; a tail
// that is not a whole block is covered by also treating the buffer's last 8
// bytes (which overlap the whole-block prefix) once.
//
// Block function: XTEA (64-bit block, 128-bit key, 32 cycles). Each 8-byte
// block is read as two big-endian 32-bit words v0 (bytes 0-3) and v1 (bytes
// 4-7) and written back the same way. The fixed key, as four 32-bit words
// k[0..3], is
//     0x7A1C3E95 0xB4D2608F 0x1E5A9C37 0xC8F04B62
// The per-round subkeys (k[sum & 3] + sum and k[(sum >> 11) & 3] + sum, with
// sum stepping by 0x9E3779B9 over the 32 cycles) are computed once, on first
// use, and serve both directions.
//
// Pass structure for a buffer of length n >= 8:
//   n a multiple of 8: every block in order, the whole pass repeated `passes` times.
//   otherwise, with p = n rounded down to a multiple of 8:
//     Encipher: the last 8 bytes once, then the first p bytes as above.
//     Decipher: the first p bytes as above, then the last 8 bytes once.
// So deciphering undoes enciphering for every length of 8 or more and every
// pass count. A pass count below 1 leaves the whole-block prefix as it is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "mac/pluginhost/Status.h"

namespace kw {

enum class CipherDirection { Decipher, Encipher };

// Copies `length` bytes from `source` to `destination` (when they differ) and
// deciphers or enciphers them there in `passes` passes. Lengths under 8 give
// kStatusCipherTooShort and leave the destination untouched.
Status movieCipher(const uint8_t* source, uint8_t* destination, size_t length, int passes,
                   CipherDirection direction);

// True when bytes 1 and 2 are "W" and "S": an uncompressed (FWS) or
// compressed (CWS) movie that is stored plain.
bool isPlainMovie(std::span<const uint8_t> bytes);

}  // namespace kw
