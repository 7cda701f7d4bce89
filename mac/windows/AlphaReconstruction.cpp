// The alpha pass of the windowless frame copy: see AlphaReconstruction.h.
#include "mac/windows/AlphaReconstruction.h"

#include <bit>
#include <cstring>

namespace kw {
namespace {

// Over white a pixel of alpha a is lighter by 255 - a than over black; the
// colour bytes over black are already premultiplied and stay.
inline uint8_t alphaOf(uint8_t white, uint8_t black) { return static_cast<uint8_t>(255 - (white - black)); }

}  // namespace

void reconstructAlpha(uint8_t* overBlack, const uint8_t* overWhite, int32_t width, int32_t height,
                      size_t rowBytes) {
  if (overBlack == nullptr || overWhite == nullptr || width <= 0 || height <= 0) return;
  const auto pixels = static_cast<size_t>(width);
  if (rowBytes / 4 < pixels) return;  // rows shorter than their pixels: nothing is touched
  for (size_t row = 0; row < static_cast<size_t>(height); ++row) {
    uint8_t* black = overBlack + row * rowBytes;
    const uint8_t* white = overWhite + row * rowBytes;
    if constexpr (std::endian::native == std::endian::little) {
      // Whole pixels as words (the compiler runs several at once): red is
      // the low byte over black and bits 16-23 over white, alpha the high byte.
      for (size_t i = 0; i < pixels * 4; i += 4) {
        uint32_t b = 0;
        uint32_t w = 0;
        std::memcpy(&b, black + i, 4);
        std::memcpy(&w, white + i, 4);
        const uint32_t alpha = (255u - (((w >> 16) & 0xFFu) - (b & 0xFFu))) & 0xFFu;
        b = (b & 0x00FFFFFFu) | (alpha << 24);
        std::memcpy(black + i, &b, 4);
      }
    } else {
      for (size_t i = 0; i < pixels * 4; i += 4) black[i + 3] = alphaOf(white[i + 2], black[i]);
    }
  }
}

}  // namespace kw
