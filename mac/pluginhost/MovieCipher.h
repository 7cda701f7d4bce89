// The movie cipher: movies may be stored enciphered in an application bundle.
// A keyed 64-bit block function runs over the buffer block by block; a tail
// that is not a whole block is covered by also treating the buffer's last 8
// bytes (which overlap the whole-block prefix) once.
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
