// The alpha pass of a windowless movie's frame copy: the movie drawn over
// black (an RGBA bitmap) and over white (the port, 0xAARRGGBB pixels) give
// each pixel's alpha as 255 - (white - black) in 8-bit arithmetic.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kw {

// Sets byte 3 of every RGBA pixel of `overBlack` from byte 0 (red) of it and
// byte 2 (red) of the same pixel in `overWhite`. Both buffers have `height`
// rows of `rowBytes` bytes holding `width` 4-byte pixels.
void reconstructAlpha(uint8_t* overBlack, const uint8_t* overWhite, int32_t width, int32_t height,
                      size_t rowBytes);

}  // namespace kw
